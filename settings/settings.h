// The four settings, their file beside the module, and the dialog that edits them.
#pragma once

#include <windows.h>

struct PluginSettings {
    char channel[40];
    char message[80];
    int active;
    int ddetimeout;
};

enum { SETTINGS_PATH_SIZE = 128 };

extern PluginSettings pluginSettings;
// Empty when the module's directory leaves no room for the file name: then
// the plug-in runs on the defaults and touches no file.
extern char settingsPath[SETTINGS_PATH_SIZE];

void locateSettingsFile(HINSTANCE module);
void loadSettings(void);
void saveSettings(void);

void configPlugin(void);
INT_PTR CALLBACK configDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
