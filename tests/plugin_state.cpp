#include "plugin_state.h"

#include <cstring>

#include "announcer/announcer.h"
#include "settings/settings.h"
#include "shell/plugin.h"

void resetPluginState()
{
    std::memset(lastTitle, 0, sizeof lastTitle);
    previousWndProc = nullptr;
    ddeLink = DdeLink{};
    std::memset(announcementText, 0, sizeof announcementText);
    pluginSettings = PluginSettings{};
    std::memset(settingsPath, 0, sizeof settingsPath);
    pluginRecord.hostWindow = nullptr;
    pluginRecord.moduleInstance = nullptr;
}
