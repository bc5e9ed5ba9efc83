#include <string.h>

#include "announcer/announcer.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "shell/plugin.h"

void configPlugin(void)
{
    DialogBoxParamA(pluginRecord.moduleInstance, MAKEINTRESOURCEA(IDD_CONFIG),
                    pluginRecord.hostWindow, configDialogProc, 0);
}

// The record changes here and nowhere else in the dialog: the fields are
// read, saved and rebound in one pass, so an announcement made from the
// modal loop never sees half of it.
static void takeOverValues(HWND dialog, int save)
{
    pluginSettings.active = IsDlgButtonChecked(dialog, IDC_ACTIVE) ? 1 : 0;
    memset(pluginSettings.message, 0, sizeof pluginSettings.message);
    SendDlgItemMessageA(dialog, IDC_MESSAGE, WM_GETTEXT, sizeof pluginSettings.message,
                        (LPARAM)pluginSettings.message);
    memset(pluginSettings.channel, 0, sizeof pluginSettings.channel);
    SendDlgItemMessageA(dialog, IDC_CHANNEL, WM_GETTEXT, sizeof pluginSettings.channel,
                        (LPARAM)pluginSettings.channel);
    if (save)
        saveSettings();
    rebindChannel();
}

INT_PTR CALLBACK configDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        CheckDlgButton(dialog, IDC_ACTIVE, pluginSettings.active ? BST_CHECKED : BST_UNCHECKED);
        SendDlgItemMessageA(dialog, IDC_MESSAGE, WM_SETTEXT, 0, (LPARAM)pluginSettings.message);
        SendDlgItemMessageA(dialog, IDC_CHANNEL, WM_SETTEXT, 0, (LPARAM)pluginSettings.channel);
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            takeOverValues(dialog, 1);
            EndDialog(dialog, 0);
            break;
        case IDC_APPLY:
            takeOverValues(dialog, 0);
            EndDialog(dialog, 0);
            break;
        case IDCANCEL:
            EndDialog(dialog, 0);
            break;
        }
        break;
    }
    return 0;
}
