// A stand-in for an IRC client's DDE server: service "BRELK", topic
// "IRC_COMMAND". It prints one line for each poke it takes (the item, the
// byte count, the text) and for each connect and disconnect.
//
// It speaks DDE on window messages directly rather than through the DDE
// library, so that it can leave a poke unanswered (--hold) or answer it late
// (--delay MS) while staying responsive, or refuse every conversation
// (--refuse).
//
//   standin_irc [--hold | --delay MS | --refuse]
#include <windows.h>
#include <dde.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace
{

enum Mode { ANSWER, HOLD, DELAY, REFUSE } mode = ANSWER;
UINT delayMs;
int connects, disconnects, pokes;
ATOM serviceAtom, topicAtom;
HINSTANCE instance;

const char conversationClass[] = "StandinIrcConversation";
const char listenerClass[] = "StandinIrcListener";

void say(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    fflush(stdout);
}

// Replies to a poke: a positive acknowledgement for the same item.
void acknowledge(HWND conversation, HWND client, LPARAM pokeParam)
{
    UINT_PTR data, item;
    UnpackDDElParam(WM_DDE_POKE, pokeParam, &data, &item);
    LPARAM ack = ReuseDDElParam(pokeParam, WM_DDE_POKE, WM_DDE_ACK, 0x8000, item);
    if (!PostMessageA(client, WM_DDE_ACK, (WPARAM)conversation, ack))
        FreeDDElParam(WM_DDE_ACK, ack);
}

struct Held {
    HWND client;
    LPARAM param;
};

LRESULT CALLBACK conversationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DDE_POKE: {
        UINT_PTR data, item;
        UnpackDDElParam(WM_DDE_POKE, lParam, &data, &item);
        char itemName[256] = "";
        GlobalGetAtomNameA((ATOM)item, itemName, sizeof itemName);
        HGLOBAL memory = (HGLOBAL)data;
        DDEPOKE *poke = (DDEPOKE *)GlobalLock(memory);
        SIZE_T size = GlobalSize(memory);
        SIZE_T header = offsetof(DDEPOKE, Value);
        SIZE_T bytes = poke && size >= header ? size - header : 0;
        const char *text = poke ? (const char *)poke->Value : "";
        SIZE_T length = 0;
        while (length < bytes && text[length])
            ++length;
        ++pokes;
        say("poke item=%s format=%d bytes=%lu text=%.*s\n", itemName, poke ? poke->cfFormat : -1,
            (unsigned long)bytes, (int)length, text);
        BOOL release = poke && poke->fRelease;
        if (poke)
            GlobalUnlock(memory);
        if (mode == HOLD)
            return 0; // never answered: the client's time-out runs out
        if (mode == DELAY) {
            Held *held = new Held{(HWND)wParam, lParam};
            SetTimer(window, (UINT_PTR)held, delayMs, NULL);
            return 0;
        }
        acknowledge(window, (HWND)wParam, lParam);
        if (release)
            GlobalFree(memory);
        return 0;
    }
    case WM_TIMER: {
        KillTimer(window, wParam);
        Held *held = (Held *)wParam;
        acknowledge(window, held->client, held->param);
        delete held;
        return 0;
    }
    case WM_DDE_TERMINATE:
        PostMessageA((HWND)wParam, WM_DDE_TERMINATE, (WPARAM)window, 0);
        ++disconnects;
        say("disconnect connects=%d disconnects=%d\n", connects, disconnects);
        DestroyWindow(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK listenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DDE_INITIATE) {
        ATOM service = LOWORD(lParam), topic = HIWORD(lParam);
        if (mode == REFUSE || (service && service != serviceAtom) || (topic && topic != topicAtom))
            return 0;
        // One window per conversation, as the protocol pairs windows.
        HWND conversation =
            CreateWindowA(conversationClass, "", WS_POPUP, 0, 0, 0, 0, NULL, NULL, instance, NULL);
        ++connects;
        say("connect connects=%d\n", connects);
        SendMessageA((HWND)wParam, WM_DDE_ACK, (WPARAM)conversation,
                     MAKELPARAM(GlobalAddAtomA("BRELK"), GlobalAddAtomA("IRC_COMMAND")));
        return 0;
    }
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--hold"))
            mode = HOLD;
        else if (!strcmp(argv[i], "--refuse"))
            mode = REFUSE;
        else if (!strcmp(argv[i], "--delay") && i + 1 < argc) {
            mode = DELAY;
            delayMs = (UINT)atoi(argv[++i]);
        } else {
            fprintf(stderr, "usage: standin_irc [--hold | --delay MS | --refuse]\n");
            return 2;
        }
    }
    instance = GetModuleHandleA(NULL);
    serviceAtom = GlobalAddAtomA("BRELK");
    topicAtom = GlobalAddAtomA("IRC_COMMAND");

    WNDCLASSA wc = {};
    wc.lpfnWndProc = conversationProc;
    wc.hInstance = instance;
    wc.lpszClassName = conversationClass;
    RegisterClassA(&wc);
    wc.lpfnWndProc = listenerProc;
    wc.lpszClassName = listenerClass;
    RegisterClassA(&wc);
    // A top-level window: initiates are broadcast to those only.
    if (!CreateWindowA(listenerClass, "standin IRC client", WS_POPUP, 0, 0, 0, 0, NULL, NULL,
                       instance, NULL)) {
        fprintf(stderr, "cannot create the listener window\n");
        return 1;
    }
    say("ready\n");

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    say("exit connects=%d disconnects=%d pokes=%d\n", connects, disconnects, pokes);
    return 0;
}
