// Identifiers shared by the dialog template and the code that drives it.
#pragma once

#define IDD_CONFIG 101
#define IDC_APPLY 1000
#define IDC_ACTIVE 1001
#define IDC_CHANNEL 1002
#define IDC_MESSAGE 1003
