// The plug-in's static state as the loader leaves it, for a fresh start
// between tests and fuzz inputs.
#pragma once

void resetPluginState();
