// The scripted world behind the stand-in Win32 functions: what the host
// answers, what the DDE server does, what is in the files, what a user does
// in a dialog; and the log of every platform call, in order, with arguments.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <windows.h>

namespace standin
{

struct Window {
    std::string name;
    WNDPROC proc = nullptr;
};

// The host's own window procedure answers from here.
struct Host {
    LRESULT state = 1; // 104: 0 stopped, 1 playing, 3 paused
    LRESULT position = 0;
    std::map<WPARAM, std::string> titles; // 212: no entry answers 0
    std::vector<std::string> received;    // every message the host's procedure got
    std::function<void(UINT message, WPARAM wParam, LPARAM lParam)> onMessage;
};

struct Poke {
    std::string data; // the bytes sent, terminator included
    DWORD length;
    std::string item; // text of the item handle
    UINT format;
    UINT type;
    DWORD timeout;
};

struct Dde {
    bool initFails = false;
    bool acceptConnect = true;
    std::function<void()> duringConnect; // runs while the connect waits
    std::function<void()> duringPoke;    // runs while the poke waits
    PFNCALLBACK callback = nullptr;
    std::vector<Poke> pokes;
    int connects = 0, disconnects = 0;
    std::map<std::string, int> liveStrings; // text -> handles alive
};

struct DialogAction {
    enum Kind { Type, Toggle, Press, Message, HostMessage } kind;
    int id;
    std::string text;
};

struct Dialog {
    bool templateMissing = false;
    std::vector<DialogAction> script;
    // What WM_INITDIALOG left in the controls.
    bool shownChecked = false;
    std::string shownChannel, shownMessage;
    // The live controls.
    bool checked = false;
    std::map<int, std::string> edits;
    bool ended = false;
    bool open = false;
};

struct World {
    bool quiet = false; // no call log: for fuzzing and timing
    std::vector<std::string> calls;
    std::vector<std::string> faults; // misuse of the platform the code must never commit
    std::string modulePath = "C:\\Player\\Plugins\\gen_brelk.dll";
    bool oldModuleNameSemantics = false; // a cut name left unterminated
    std::map<std::string, std::string> files;
    std::vector<std::string> loadedLibraries;
    Window host{"host"}, other{"other"};
    Host hostAnswers;
    Dde dde;
    Dialog dialog;
};

extern World world;

// Starts a fresh world: the host window with the host's own procedure.
void reset();

// Lets the log show a procedure by name.
void nameProcedure(const void *proc, const std::string &procName);

HWND hostWindow();
HWND otherWindow();
HINSTANCE moduleHandle();
WNDPROC hostProcedure();

// The calls logged so far whose name is one of names, in order.
std::vector<std::string> callsNamed(std::initializer_list<const char *> names);

// Delivers a message to the host window as the platform would.
LRESULT deliver(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

} // namespace standin
