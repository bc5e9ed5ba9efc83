#include "shell/plugin.h"

#include <stddef.h>
#include <string.h>

#include "announcer/announcer.h"
#include "settings/settings.h"

#if defined(_WIN32) && !defined(_WIN64)
// The 32-bit host reads the record at these offsets.
static_assert(sizeof(PluginRecord) == 28 && offsetof(PluginRecord, hostWindow) == 20 &&
                  offsetof(PluginRecord, moduleInstance) == 24,
              "record layout");
#endif

PluginRecord pluginRecord = {
    0x10, "Mirt's Brelk DDE Control Plug-in v0.2", initPlugin, configPlugin, quitPlugin, 0, 0,
};

char lastTitle[TITLE_SIZE];
WNDPROC previousWndProc;

// How many runs of hostWindowProc are on the stack: quit can arrive from
// inside the host's own procedure, which we called.
static int windowProcDepth;

PluginRecord *winampGetGeneralPurposePlugin(void)
{
    return &pluginRecord;
}

int initPlugin(void)
{
    locateSettingsFile(pluginRecord.moduleInstance);
    loadSettings();
    openDdeLink();
    previousWndProc = (WNDPROC)GetWindowLongPtrA(pluginRecord.hostWindow, GWLP_WNDPROC);
    SetWindowLongPtrA(pluginRecord.hostWindow, GWLP_WNDPROC, (LONG_PTR)hostWindowProc);
    return 0;
}

// Take one more reference on our own module so that the host's FreeLibrary
// cannot unmap code that the platform will still call or return into.
static void pinModule(void)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(pluginRecord.moduleInstance, path, sizeof path);

    if (length > 0 && length < sizeof path)
        LoadLibraryA(path);
}

void quitPlugin(void)
{
    int ours;

    closeDdeLink();

    // Only while ours is the newest procedure on the window can we step out
    // of the chain; someone who subclassed after us still calls us. And when
    // the host quits from inside its window procedure, our hostWindowProc
    // is further up the stack, waiting for that call to return.
    ours = GetWindowLongPtrA(pluginRecord.hostWindow, GWLP_WNDPROC) == (LONG_PTR)hostWindowProc;
    if (ours)
        SetWindowLongPtrA(pluginRecord.hostWindow, GWLP_WNDPROC, (LONG_PTR)previousWndProc);
    if (!ours || windowProcDepth > 0)
        pinModule();
}

static void checkTitle(HWND window)
{
    WPARAM position;
    const char *title;

    if (SendMessageA(window, WM_USER, 0, QUERY_PLAYBACK_STATE) == 0)
        return;
    position = (WPARAM)SendMessageA(window, WM_USER, 0, QUERY_PLAYLIST_POSITION);
    title = (const char *)SendMessageA(window, WM_USER, position, QUERY_PLAYLIST_TITLE);
    if (!title)
        return;

    // A longer title is kept cut, and compared the same way, so it counts
    // as one change and not as a new one on every message.
    if (strncmp(title, lastTitle, sizeof lastTitle - 1) == 0)
        return;

    // Stored before announcing: a run nested in the announcement's wait
    // then sees no change for this title.
    memset(lastTitle, 0, sizeof lastTitle);
    strncpy(lastTitle, title, sizeof lastTitle - 1);
    announceTitle();
}

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result;

    ++windowProcDepth;
    // Our own queries come back through here as WM_USER; checking them
    // would recurse without end.
    if (message != WM_USER)
        checkTitle(window);
    result = CallWindowProcA(previousWndProc, window, message, wParam, lParam);
    --windowProcDepth;
    return result;
}
