// A stand-in for the media player: a main window that answers the plug-in's
// three queries from a scripted playlist, and the host's order of calls to a
// plug-in: the export, the record's two fields, init, config any number of
// times, quit, then unloading the module while the window lives on.
//
//   standin_host [--ansi] PLUGIN.dll SCRIPT
//
// PLUGIN "none" runs the window without a plug-in, to time the host alone.
//
// The window is a Unicode window unless --ansi is given. SCRIPT holds one
// command a line (see run() below); the host prints what it sees.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace
{

struct Record {
    int version;
    const char *description;
    int (*initHook)(void);
    void (*configHook)(void);
    void (*quitHook)(void);
    HWND hostWindow;
    HINSTANCE moduleInstance;
};

enum { ENTRIES = 16, TICK_MESSAGE = WM_APP + 1, TITLE_MESSAGE = WM_APP + 2 };

HWND mainWindow;
HMODULE plugin;
Record *record;
int playing; // 0 stopped, 1 playing, 3 paused, as the player answers query 104
int position;
char titles[ENTRIES][512];
bool noTitle[ENTRIES]; // the title query answers 0
long queries[3];       // 104, 125, 212 answered
long queriesInWmUser;  // queries that arrived while a plain WM_USER was being handled
int inPlainWmUser;
long received, mismatches;
WNDPROC chainedUnder; // set by "subclass": another module's procedure over the plug-in's

void say(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    fflush(stdout);
}

LRESULT answer(UINT message, WPARAM wParam, LPARAM lParam)
{
    ++received;
    if (message == WM_USER) {
        if (inPlainWmUser && (lParam == 104 || lParam == 125 || lParam == 212))
            ++queriesInWmUser;
        switch (lParam) {
        case 104:
            ++queries[0];
            return playing;
        case 125:
            ++queries[1];
            return position;
        case 212:
            ++queries[2];
            if (wParam >= ENTRIES || noTitle[wParam])
                return 0;
            return (LRESULT)titles[wParam];
        }
        return 4242;
    }
    if (message == TICK_MESSAGE || message == TITLE_MESSAGE)
        return (LRESULT)wParam * 3 + 1;
    return -1;
}

LRESULT CALLBACK hostProcA(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    LRESULT r = answer(m, wp, lp);
    return r == -1 ? DefWindowProcA(w, m, wp, lp) : r;
}

LRESULT CALLBACK hostProcW(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    LRESULT r = answer(m, wp, lp);
    return r == -1 ? DefWindowProcW(w, m, wp, lp) : r;
}

// The least a watcher of the window can do per message: the plug-in's three
// queries and the pass-on, installed the same way ("bare-watch").
WNDPROC bareNext;
LRESULT CALLBACK bareWatchProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (m != WM_USER && SendMessageA(w, WM_USER, 0, 104)) {
        WPARAM at = (WPARAM)SendMessageA(w, WM_USER, 0, 125);
        volatile LRESULT title = SendMessageA(w, WM_USER, at, 212);
        (void)title;
    }
    return CallWindowProcA(bareNext, w, m, wp, lp);
}

// Another module's subclass, put over the plug-in's before quit.
LRESULT CALLBACK chainProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return CallWindowProcA(chainedUnder, w, m, wp, lp);
}

void pump(DWORD ms)
{
    DWORD end = GetTickCount() + ms;
    MSG msg;
    while ((LONG)(end - GetTickCount()) > 0) {
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
}

// One ordinary message through the window; its result must come back as
// the host's procedure gave it. Returns how long it took.
DWORD tick()
{
    static WPARAM counter;
    WPARAM n = ++counter;
    DWORD start = GetTickCount();
    LRESULT r = SendMessageA(mainWindow, TICK_MESSAGE, n, 0);
    DWORD took = GetTickCount() - start;
    if (r != (LRESULT)n * 3 + 1) {
        ++mismatches;
        say("mismatch message=%#x result=%ld\n", TICK_MESSAGE, (long)r);
    }
    return took;
}

// What "config" does to the dialog, from a thread of its own, as a user
// would: typing, keys, clicks, the close box.
char configActions[64][512];
int configActionCount;

HWND findDialog()
{
    for (int i = 0; i < 3000; ++i) {
        HWND d = FindWindowA("#32770", "BRELK DDE Config Dialog");
        if (d && IsWindowVisible(d))
            return d;
        Sleep(10);
    }
    return NULL;
}

void typeInto(HWND control, const char *text)
{
    for (const char *p = text; *p; ++p)
        SendMessageA(control, WM_CHAR, (WPARAM)(unsigned char)*p, 1);
}

void pressKey(HWND target, WPARAM key)
{
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

DWORD WINAPI driveDialog(LPVOID)
{
    HWND dialog = findDialog();
    if (!dialog) {
        say("dialog not found\n");
        return 0;
    }
    for (int i = 0; i < configActionCount; ++i) {
        char *a = configActions[i];
        Sleep(30);
        int id;
        char text[512];
        if (sscanf(a, "type %d %511[^\n]", &id, text) == 2) {
            typeInto(GetDlgItem(dialog, id), text);
        } else if (sscanf(a, "typen %d %511s", &id, text) == 2) {
            // "typen ID N": N characters, cycling through the alphabet.
            int n = atoi(text);
            char buffer[512];
            for (int k = 0; k < n && k < 511; ++k)
                buffer[k] = (char)('a' + k % 26);
            buffer[n < 511 ? n : 511] = 0;
            typeInto(GetDlgItem(dialog, id), buffer);
        } else if (sscanf(a, "clear %d", &id) == 1) {
            HWND edit = GetDlgItem(dialog, id);
            SendMessageA(edit, EM_SETSEL, 0, -1);
            SendMessageA(edit, WM_CHAR, VK_BACK, 1);
        } else if (!strcmp(a, "toggle")) {
            HWND box = GetDlgItem(dialog, 1001);
            LRESULT state = SendMessageA(box, BM_GETCHECK, 0, 0);
            SendMessageA(box, BM_SETCHECK, state == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
        } else if (sscanf(a, "click %d", &id) == 1) {
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         (LPARAM)GetDlgItem(dialog, id));
        } else if (sscanf(a, "enter %d", &id) == 1) {
            pressKey(GetDlgItem(dialog, id), VK_RETURN);
        } else if (sscanf(a, "esc %d", &id) == 1) {
            pressKey(GetDlgItem(dialog, id), VK_ESCAPE);
        } else if (!strcmp(a, "close")) {
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else if (!strcmp(a, "show")) {
            char channel[512], message[512];
            GetDlgItemTextA(dialog, 1002, channel, sizeof channel);
            GetDlgItemTextA(dialog, 1003, message, sizeof message);
            say("dialog checked=%d channel=%s message=%s\n",
                (int)SendMessageA(GetDlgItem(dialog, 1001), BM_GETCHECK, 0, 0), channel, message);
        } else if (sscanf(a, "sleep %d", &id) == 1) {
            Sleep((DWORD)id);
        } else if (!strcmp(a, "host-tick")) {
            // The owner's messages go on through the modal loop.
            SendMessageA(mainWindow, TITLE_MESSAGE, 0, 0);
        } else {
            say("unknown dialog action: %s\n", a);
        }
    }
    return 0;
}

// "later MS ENTRY TITLE": from another thread, after MS milliseconds, the
// title changes and a message is sent to the window.
struct Later {
    DWORD ms;
    int entry;
    char title[512];
} later;

DWORD WINAPI changeLater(LPVOID)
{
    Sleep(later.ms);
    strcpy(titles[later.entry], later.title);
    say("thread: title changed\n");
    SendMessageA(mainWindow, TITLE_MESSAGE, 1, 0);
    say("thread: message delivered\n");
    return 0;
}

double milliseconds(LARGE_INTEGER from)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (double)(now.QuadPart - from.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

// The least a DDE client can do for one line: connect, poke, disconnect.
void bareDdeClient(int count)
{
    DWORD instance = 0;
    DdeInitializeA(&instance, NULL, APPCMD_CLIENTONLY | CBF_SKIP_ALLNOTIFICATIONS, 0);
    HSZ service = DdeCreateStringHandleA(instance, "BRELK", CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(instance, "IRC_COMMAND", CP_WINANSI);
    HSZ item = DdeCreateStringHandleA(instance, "active", CP_WINANSI);
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < count; ++i) {
        char text[64];
        snprintf(text, sizeof text, "/me is listening to Bench %d on Winamp", i);
        HCONV c = DdeConnect(instance, service, topic, NULL);
        if (c) {
            DdeClientTransaction((LPBYTE)text, (DWORD)strlen(text) + 1, c, item, CF_TEXT, XTYP_POKE,
                                 3000, NULL);
            DdeDisconnect(c);
        }
    }
    say("bench dde count=%d ms=%.3f\n", count, milliseconds(start));
    DdeFreeStringHandle(instance, service);
    DdeFreeStringHandle(instance, topic);
    DdeFreeStringHandle(instance, item);
    DdeUninitialize(instance);
}

bool load(const char *path)
{
    if (!strcmp(path, "none"))
        return true;
    plugin = LoadLibraryA(path);
    if (!plugin) {
        say("cannot load %s: error %lu\n", path, GetLastError());
        return false;
    }
    typedef Record *(*GetRecord)(void);
    GetRecord get =
        (GetRecord)(void (*)(void))GetProcAddress(plugin, "winampGetGeneralPurposePlugin");
    if (!get) {
        say("no export winampGetGeneralPurposePlugin\n");
        return false;
    }
    record = get();
    say("record version=%#x description=%s\n", record->version, record->description);
    record->hostWindow = mainWindow;
    record->moduleInstance = plugin;
    return true;
}

void run(FILE *script)
{
    char line[1024];
    while (fgets(line, sizeof line, script)) {
        line[strcspn(line, "\r\n")] = 0;
        char text[1024];
        int n, m;
        if (!line[0] || line[0] == '#')
            continue;
        if (!strcmp(line, "init")) {
            if (record)
                say("init=%d\n", record->initHook());
        } else if (sscanf(line, "bench-messages %d", &n) == 1) {
            LARGE_INTEGER start;
            QueryPerformanceCounter(&start);
            for (int k = 0; k < n; ++k)
                tick();
            say("bench messages count=%d ms=%.3f\n", n, milliseconds(start));
        } else if (sscanf(line, "bench-announce %d", &n) == 1) {
            // Each change of title, and the one message that notices it.
            LARGE_INTEGER start;
            QueryPerformanceCounter(&start);
            for (int k = 0; k < n; ++k) {
                snprintf(titles[position], sizeof titles[0], "Bench %d", k);
                tick();
            }
            say("bench announce count=%d ms=%.3f\n", n, milliseconds(start));
        } else if (sscanf(line, "bench-dde %d", &n) == 1) {
            bareDdeClient(n);
        } else if (!strcmp(line, "play")) {
            playing = 1;
        } else if (!strcmp(line, "pause")) {
            playing = 3;
        } else if (!strcmp(line, "stop")) {
            playing = 0;
        } else if (sscanf(line, "goto %d", &n) == 1) {
            position = n;
        } else if (sscanf(line, "title %d %1023[^\n]", &n, text) == 2 && n >= 0 && n < ENTRIES) {
            snprintf(titles[n], sizeof titles[n], "%s", text);
            noTitle[n] = false;
        } else if (sscanf(line, "title %d", &n) == 1 && n >= 0 && n < ENTRIES) {
            titles[n][0] = 0;
            noTitle[n] = false;
        } else if (sscanf(line, "notitle %d", &n) == 1 && n >= 0 && n < ENTRIES) {
            noTitle[n] = true;
        } else if (sscanf(line, "titlen %d %d", &n, &m) == 2 && n >= 0 && n < ENTRIES) {
            // A long title: m characters of a pattern.
            for (int k = 0; k < m && k < 511; ++k)
                titles[n][k] = (char)('A' + k % 26);
            titles[n][m < 511 ? m : 511] = 0;
        } else if (!strcmp(line, "tick")) {
            say("tick ms=%lu\n", (unsigned long)tick());
        } else if (sscanf(line, "burst %d", &n) == 1) {
            for (int k = 0; k < n; ++k)
                tick();
        } else if (!strcmp(line, "wmuser")) {
            long before = queries[0] + queries[1] + queries[2];
            inPlainWmUser = 1;
            LRESULT r = SendMessageA(mainWindow, WM_USER, 7, 999);
            inPlainWmUser = 0;
            say("wmuser result=%ld queries=%ld\n", (long)r,
                queries[0] + queries[1] + queries[2] - before);
        } else if (!strcmp(line, "config")) {
            configActionCount = 0;
            while (fgets(line, sizeof line, script)) {
                line[strcspn(line, "\r\n")] = 0;
                if (!strcmp(line, "end"))
                    break;
                if (configActionCount < 64)
                    snprintf(configActions[configActionCount++], sizeof configActions[0], "%s",
                             line);
            }
            HANDLE driver = CreateThread(NULL, 0, driveDialog, NULL, 0, NULL);
            record->configHook();
            WaitForSingleObject(driver, 60000);
            CloseHandle(driver);
            say("config done\n");
        } else if (sscanf(line, "later %d %d %511[^\n]", &n, &m, text) == 3) {
            later.ms = (DWORD)n;
            later.entry = m;
            snprintf(later.title, sizeof later.title, "%s", text);
            CloseHandle(CreateThread(NULL, 0, changeLater, NULL, 0, NULL));
        } else if (sscanf(line, "pump %d", &n) == 1) {
            pump((DWORD)n);
        } else if (sscanf(line, "sleep %d", &n) == 1) {
            Sleep((DWORD)n);
        } else if (!strcmp(line, "bare-watch")) {
            bareNext =
                (WNDPROC)SetWindowLongPtrA(mainWindow, GWLP_WNDPROC, (LONG_PTR)bareWatchProc);
        } else if (!strcmp(line, "subclass")) {
            chainedUnder =
                (WNDPROC)SetWindowLongPtrA(mainWindow, GWLP_WNDPROC, (LONG_PTR)chainProc);
        } else if (!strcmp(line, "quit")) {
            record->quitHook();
            say("quit done\n");
        } else if (!strcmp(line, "unload")) {
            say("unload=%d\n", FreeLibrary(plugin) ? 1 : 0);
            record = NULL;
        } else if (!strcmp(line, "wait-irc")) {
            // Until the stand-in IRC client's window exists, pumping meanwhile.
            for (int k = 0; k < 600 && !FindWindowA("StandinIrcListener", NULL); ++k)
                pump(100);
        } else if (!strcmp(line, "close-irc")) {
            HWND irc = FindWindowA("StandinIrcListener", NULL);
            if (irc)
                PostMessageA(irc, WM_CLOSE, 0, 0);
        } else {
            say("unknown command: %s\n", line);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    int ansi = 0, arg = 1;
    if (arg < argc && !strcmp(argv[arg], "--ansi")) {
        ansi = 1;
        ++arg;
    }
    if (argc - arg != 2) {
        fprintf(stderr, "usage: standin_host [--ansi] PLUGIN.dll SCRIPT\n");
        return 2;
    }
    FILE *script = fopen(argv[arg + 1], "r");
    if (!script) {
        fprintf(stderr, "cannot open %s\n", argv[arg + 1]);
        return 2;
    }

    HINSTANCE instance = GetModuleHandleA(NULL);
    if (ansi) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = hostProcA;
        wc.hInstance = instance;
        wc.lpszClassName = "StandinHost";
        RegisterClassA(&wc);
        mainWindow = CreateWindowA("StandinHost", "standin host", WS_OVERLAPPEDWINDOW, 0, 0, 300,
                                   100, NULL, NULL, instance, NULL);
    } else {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = hostProcW;
        wc.hInstance = instance;
        wc.lpszClassName = L"StandinHost";
        RegisterClassW(&wc);
        mainWindow = CreateWindowW(L"StandinHost", L"standin host", WS_OVERLAPPEDWINDOW, 0, 0, 300,
                                   100, NULL, NULL, instance, NULL);
    }
    say("window unicode=%d\n", IsWindowUnicode(mainWindow) ? 1 : 0);
    if (!load(argv[arg]))
        return 1;
    run(script);
    say("host received=%ld mismatches=%ld queries=%ld/%ld/%ld wmuser-queries=%ld\n", received,
        mismatches, queries[0], queries[1], queries[2], queriesInWmUser);
    DestroyWindow(mainWindow);
    return 0;
}
