// The module's face towards the host: the record the host reads and fills,
// the hooks it calls, and the watch on its main window.
#pragma once

#include <windows.h>

// Layout the host expects; fields in this order, nothing added.
struct PluginRecord {
    int version;
    const char *description;
    int (*initHook)(void);
    void (*configHook)(void);
    void (*quitHook)(void);
    HWND hostWindow;
    HINSTANCE moduleInstance;
};

// Queries the host answers when sent WM_USER with the number in lParam.
enum {
    QUERY_PLAYBACK_STATE = 104,
    QUERY_PLAYLIST_POSITION = 125,
    QUERY_PLAYLIST_TITLE = 212,
};

// Room for a title of up to 255 bytes, as long as the longest announcement;
// titles are compared on that much of their text.
enum { TITLE_SIZE = 256 };

extern PluginRecord pluginRecord;
extern char lastTitle[TITLE_SIZE];
extern WNDPROC previousWndProc;

#if defined(_WIN32)
#define PLUGIN_EXPORT extern "C" __declspec(dllexport)
#else
#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

PLUGIN_EXPORT PluginRecord *winampGetGeneralPurposePlugin(void);

int initPlugin(void);
void quitPlugin(void);
LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
