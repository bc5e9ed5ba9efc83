#include "standin.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>

namespace standin
{

World world;

namespace
{

const DWORD instanceValue = 81;
HINSTANCE const module = reinterpret_cast<HINSTANCE>(0x10000000);

std::map<const void *, std::string> procNames;
std::map<HSZ, std::string> strings; // every handle ever made, by text
std::set<HSZ> liveHandles;
std::set<HCONV> liveConversations;
unsigned nextString, nextConversation;
bool instanceLive;
int sendDepth;

Window *windowOf(HWND window)
{
    Window *w = reinterpret_cast<Window *>(window);
    return w == &world.host || w == &world.other ? w : nullptr;
}

std::string name(const void *p)
{
    if (!p)
        return "null";
    auto it = procNames.find(p);
    if (it != procNames.end())
        return it->second;
    if (Window *w = windowOf((HWND)p))
        return w->name;
    if (p == module)
        return "module";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%p", p);
    return buffer;
}

std::string handleName(HSZ h)
{
    return h ? "hsz" + std::to_string(reinterpret_cast<uintptr_t>(h)) : "0";
}

std::string convName(HCONV c)
{
    return c ? "conv" + std::to_string(reinterpret_cast<uintptr_t>(c)) : "0";
}

std::string quoted(const char *s)
{
    return s ? "\"" + std::string(s) + "\"" : "null";
}

void log(const std::string &line)
{
    if (!world.quiet)
        world.calls.push_back(line);
}

void fault(const std::string &what)
{
    world.faults.push_back(what);
}

LRESULT CALLBACK hostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Host &h = world.hostAnswers;
    if (!world.quiet) {
        char line[96];
        std::snprintf(line, sizeof line, "%s %#x %lu %ld", name(window).c_str(), message,
                      (unsigned long)wParam, (long)lParam);
        h.received.push_back(line);
    }
    if (h.onMessage)
        h.onMessage(message, wParam, lParam);
    if (message == WM_USER) {
        switch (lParam) {
        case 104:
            return h.state;
        case 125:
            return h.position;
        case 212: {
            auto it = h.titles.find(wParam);
            return it == h.titles.end() ? 0 : reinterpret_cast<LRESULT>(it->second.c_str());
        }
        }
    }
    // A result the caller can recognise as the host's own.
    return static_cast<LRESULT>(message) * 7 + 3;
}

LRESULT CALLBACK otherProc(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}

// Initialization files: sections of key=value lines, names without regard
// to case, values trimmed of blanks; lines end in CR LF.
std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out.push_back(line);
    }
    return out;
}

std::string trim(const std::string &s)
{
    size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

bool sameName(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower((unsigned char)x) == std::tolower((unsigned char)y);
           });
}

bool isSection(const std::string &line, std::string *sectionName)
{
    std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']')
        return false;
    *sectionName = trim(t.substr(1, t.size() - 2));
    return true;
}

bool lookUp(const char *section, const char *key, const char *file, std::string *value)
{
    auto f = world.files.find(file);
    if (f == world.files.end())
        return false;
    bool inSection = false;
    for (const std::string &line : lines(f->second)) {
        std::string s;
        if (isSection(line, &s)) {
            inSection = sameName(s, section);
            continue;
        }
        size_t eq = line.find('=');
        if (inSection && eq != std::string::npos && sameName(trim(line.substr(0, eq)), key)) {
            *value = trim(line.substr(eq + 1));
            return true;
        }
    }
    return false;
}

} // namespace

void reset()
{
    world = World{};
    world.host.proc = hostProc;
    world.other.proc = otherProc;
    strings.clear();
    liveHandles.clear();
    liveConversations.clear();
    nextString = 0;
    nextConversation = 0;
    instanceLive = false;
    sendDepth = 0;
    procNames[(const void *)hostProc] = "hostProc";
    procNames[(const void *)otherProc] = "otherProc";
}

void nameProcedure(const void *proc, const std::string &procName)
{
    procNames[proc] = procName;
}

HWND hostWindow()
{
    return reinterpret_cast<HWND>(&world.host);
}

HWND otherWindow()
{
    return reinterpret_cast<HWND>(&world.other);
}

HINSTANCE moduleHandle()
{
    return module;
}

WNDPROC hostProcedure()
{
    return hostProc;
}

std::vector<std::string> callsNamed(std::initializer_list<const char *> names)
{
    std::vector<std::string> out;
    for (const std::string &call : world.calls)
        for (const char *n : names)
            if (call.compare(0, std::strlen(n) + 1, std::string(n) + "(") == 0)
                out.push_back(call);
    return out;
}

LRESULT deliver(UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *w = &world.host;
    return w->proc(hostWindow(), message, wParam, lParam);
}

} // namespace standin

using namespace standin;

DWORD GetModuleFileNameA(HMODULE m, LPSTR out, DWORD size)
{
    log("GetModuleFileNameA(" + name(m) + ", " + std::to_string(size) + ")");
    const std::string &path = world.modulePath;
    if (path.size() < size) {
        std::memcpy(out, path.c_str(), path.size() + 1);
        return (DWORD)path.size();
    }
    // The whole buffer is used; newer systems terminate it, older do not.
    if (world.oldModuleNameSemantics) {
        std::memcpy(out, path.data(), size);
    } else {
        std::memcpy(out, path.data(), size - 1);
        out[size - 1] = 0;
    }
    return size;
}

HMODULE LoadLibraryA(LPCSTR path)
{
    log("LoadLibraryA(" + quoted(path) + ")");
    world.loadedLibraries.push_back(path);
    return module;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index)
{
    log("GetWindowLongPtrA(" + name(window) + ", " + std::to_string(index) + ")");
    Window *w = windowOf(window);
    return w && index == GWLP_WNDPROC ? reinterpret_cast<LONG_PTR>(w->proc) : 0;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value)
{
    log("SetWindowLongPtrA(" + name(window) + ", " + std::to_string(index) + ", " +
        name(reinterpret_cast<const void *>(value)) + ")");
    Window *w = windowOf(window);
    if (!w || index != GWLP_WNDPROC)
        return 0;
    WNDPROC old = w->proc;
    w->proc = reinterpret_cast<WNDPROC>(value);
    return reinterpret_cast<LONG_PTR>(old);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!world.quiet) {
        char line[128];
        std::snprintf(line, sizeof line, "SendMessageA(%s, %#x, %lu, %ld)", name(window).c_str(),
                      message, (unsigned long)wParam, (long)lParam);
        log(line);
    }
    Window *w = windowOf(window);
    if (!w)
        return 0;
    if (sendDepth > 64) {
        fault("SendMessageA recursion without end");
        return 0;
    }
    ++sendDepth;
    LRESULT r = w->proc(window, message, wParam, lParam);
    --sendDepth;
    return r;
}

LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!world.quiet) {
        char line[160];
        std::snprintf(line, sizeof line, "CallWindowProcA(%s, %s, %#x, %lu, %ld)",
                      name((const void *)proc).c_str(), name(window).c_str(), message,
                      (unsigned long)wParam, (long)lParam);
        log(line);
    }
    if (!proc) {
        fault("CallWindowProcA without a procedure");
        return 0;
    }
    return proc(window, message, wParam, lParam);
}

// Dialogs: the one dialog the stand-in can show, driven by world.dialog.script.

namespace
{
HWND const dialogHandle = reinterpret_cast<HWND>(0x20000000);

void checkDialog(HWND dialog, const char *call)
{
    if (dialog != dialogHandle || !world.dialog.open)
        fault(std::string(call) + " on no open dialog");
}
} // namespace

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc,
                        LPARAM param)
{
    log("DialogBoxParamA(" + name(instance) + ", " +
        std::to_string(reinterpret_cast<uintptr_t>(templateName)) + ", " + name(owner) + ", " +
        name((const void *)proc) + ", " + std::to_string(param) + ")");
    Dialog &d = world.dialog;
    if (d.templateMissing)
        return -1;
    d.open = true;
    d.ended = false;
    d.checked = false;
    d.edits = {{1002, ""}, {1003, ""}};
    auto send = [&](UINT message, WPARAM wParam) {
        if (proc(dialogHandle, message, wParam, 0) != 0)
            fault("dialog procedure returned non-zero for " + std::to_string(message));
    };
    if (proc(dialogHandle, WM_INITDIALOG, 0, param) != 0)
        fault("dialog procedure returned non-zero for WM_INITDIALOG");
    d.shownChecked = d.checked;
    d.shownChannel = d.edits[1002];
    d.shownMessage = d.edits[1003];
    for (const DialogAction &a : d.script) {
        if (d.ended)
            break;
        switch (a.kind) {
        case DialogAction::Type:
            d.edits[a.id] = a.text;
            break;
        case DialogAction::Toggle:
            d.checked = !d.checked;
            send(WM_COMMAND, MAKEWPARAM(a.id, BN_CLICKED));
            break;
        case DialogAction::Press:
            send(WM_COMMAND, MAKEWPARAM(a.id, BN_CLICKED));
            break;
        case DialogAction::Message:
            send((UINT)a.id, 0);
            break;
        case DialogAction::HostMessage:
            // The modal loop goes on delivering the owner's messages.
            deliver((UINT)a.id);
            break;
        }
    }
    if (!d.ended)
        fault("the dialog was left open");
    d.open = false;
    return 0;
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    log("EndDialog(dialog, " + std::to_string(result) + ")");
    checkDialog(dialog, "EndDialog");
    world.dialog.ended = true;
    return TRUE;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check)
{
    log("CheckDlgButton(dialog, " + std::to_string(id) + ", " + std::to_string(check) + ")");
    checkDialog(dialog, "CheckDlgButton");
    if (id == 1001)
        world.dialog.checked = check == BST_CHECKED;
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id)
{
    log("IsDlgButtonChecked(dialog, " + std::to_string(id) + ")");
    checkDialog(dialog, "IsDlgButtonChecked");
    return id == 1001 && world.dialog.checked ? BST_CHECKED : BST_UNCHECKED;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    checkDialog(dialog, "SendDlgItemMessageA");
    auto edit = world.dialog.edits.find(id);
    if (message == WM_SETTEXT) {
        const char *text = reinterpret_cast<const char *>(lParam);
        log("SendDlgItemMessageA(dialog, " + std::to_string(id) + ", WM_SETTEXT, " +
            std::to_string(wParam) + ", " + quoted(text) + ")");
        if (edit == world.dialog.edits.end())
            return FALSE;
        edit->second = text;
        return TRUE;
    }
    if (message == WM_GETTEXT) {
        log("SendDlgItemMessageA(dialog, " + std::to_string(id) + ", WM_GETTEXT, " +
            std::to_string(wParam) + ")");
        char *out = reinterpret_cast<char *>(lParam);
        if (edit == world.dialog.edits.end() || wParam == 0)
            return 0;
        size_t n = std::min(edit->second.size(), (size_t)wParam - 1);
        std::memcpy(out, edit->second.data(), n);
        out[n] = 0;
        return (LRESULT)n;
    }
    log("SendDlgItemMessageA(dialog, " + std::to_string(id) + ", " + std::to_string(message) + ")");
    return 0;
}

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR out, DWORD size,
                               LPCSTR file)
{
    log("GetPrivateProfileStringA(" + quoted(section) + ", " + quoted(key) + ", " +
        quoted(fallback) + ", " + std::to_string(size) + ", " + quoted(file) + ")");
    std::string value;
    if (!lookUp(section, key, file, &value))
        value = fallback ? fallback : "";
    if (size == 0)
        return 0;
    size_t n = std::min(value.size(), (size_t)size - 1);
    std::memcpy(out, value.data(), n);
    out[n] = 0;
    return (DWORD)n;
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int fallback, LPCSTR file)
{
    log("GetPrivateProfileIntA(" + quoted(section) + ", " + quoted(key) + ", " +
        std::to_string(fallback) + ", " + quoted(file) + ")");
    std::string value;
    if (!lookUp(section, key, file, &value) || value.empty())
        return (UINT)fallback;
    return (UINT)std::strtol(value.c_str(), nullptr, 10);
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file)
{
    log("WritePrivateProfileStringA(" + quoted(section) + ", " + quoted(key) + ", " +
        quoted(value) + ", " + quoted(file) + ")");
    std::vector<std::string> text = lines(world.files[file]);
    std::string entry = std::string(key) + "=" + value;
    int sectionAt = -1;
    size_t end = text.size();
    for (size_t i = 0; i < text.size(); ++i) {
        std::string s;
        if (isSection(text[i], &s)) {
            if (sectionAt >= 0) {
                end = i;
                break;
            }
            if (sameName(s, section))
                sectionAt = (int)i;
            continue;
        }
        size_t eq = text[i].find('=');
        if (sectionAt >= 0 && eq != std::string::npos &&
            sameName(trim(text[i].substr(0, eq)), key)) {
            text[i] = entry;
            end = std::string::npos;
            break;
        }
    }
    if (sectionAt < 0) {
        text.push_back("[" + std::string(section) + "]");
        text.push_back(entry);
    } else if (end != std::string::npos) {
        // After the section's last key, before any blank lines that close it.
        while (end > (size_t)sectionAt + 1 && trim(text[end - 1]).empty())
            --end;
        text.insert(text.begin() + (long)end, entry);
    }
    std::string out;
    for (const std::string &line : text)
        out += line + "\r\n";
    world.files[file] = out;
    return TRUE;
}

UINT DdeInitializeA(LPDWORD instance, PFNCALLBACK callback, DWORD command, DWORD reserved)
{
    char line[128];
    std::snprintf(line, sizeof line, "DdeInitializeA(%lu, %s, %#lx, %lu)", (unsigned long)*instance,
                  callback ? "callback" : "null", (unsigned long)command, (unsigned long)reserved);
    log(line);
    world.dde.callback = callback;
    if (world.dde.initFails)
        return 0x4006; // DMLERR_DLL_USAGE
    if (*instance != 0)
        fault("DdeInitializeA with an instance already set");
    *instance = instanceValue;
    instanceLive = true;
    return 0;
}

HSZ DdeCreateStringHandleA(DWORD instance, LPCSTR text, int codePage)
{
    if (instance != instanceValue || !instanceLive) {
        log("DdeCreateStringHandleA(" + std::to_string(instance) + ", " + quoted(text) + ", " +
            std::to_string(codePage) + ") = 0");
        return 0;
    }
    HSZ h = reinterpret_cast<HSZ>((uintptr_t)++nextString);
    strings[h] = text;
    liveHandles.insert(h);
    ++world.dde.liveStrings[text];
    log("DdeCreateStringHandleA(" + std::to_string(instance) + ", " + quoted(text) + ", " +
        std::to_string(codePage) + ") = " + handleName(h));
    return h;
}

BOOL DdeFreeStringHandle(DWORD instance, HSZ handle)
{
    log("DdeFreeStringHandle(" + std::to_string(instance) + ", " + handleName(handle) + ")");
    if (!handle)
        return FALSE;
    if (!liveHandles.erase(handle)) {
        fault("string handle freed twice: " + handleName(handle));
        return FALSE;
    }
    --world.dde.liveStrings[strings[handle]];
    return TRUE;
}

HCONV DdeConnect(DWORD instance, HSZ service, HSZ topic, PCONVCONTEXT context)
{
    std::string line = "DdeConnect(" + std::to_string(instance) + ", " + handleName(service) +
                       ", " + handleName(topic) + ", " + (context ? "context" : "null") + ")";
    if (world.dde.duringConnect)
        world.dde.duringConnect();
    HCONV c = 0;
    if (world.dde.acceptConnect && instanceLive && liveHandles.count(service) &&
        liveHandles.count(topic) && strings[service] == "BRELK" &&
        strings[topic] == "IRC_COMMAND") {
        c = reinterpret_cast<HCONV>((uintptr_t)++nextConversation);
        liveConversations.insert(c);
        ++world.dde.connects;
    }
    log(line + " = " + convName(c));
    return c;
}

HDDEDATA DdeClientTransaction(LPBYTE data, DWORD length, HCONV conversation, HSZ item, UINT format,
                              UINT type, DWORD timeout, LPDWORD result)
{
    const char *text = reinterpret_cast<const char *>(data);
    std::string bytes(text, length);
    log("DdeClientTransaction(" + quoted(text) + ", " + std::to_string(length) + ", " +
        convName(conversation) + ", " + handleName(item) + ", " + std::to_string(format) + ", " +
        std::to_string(type) + ", " + std::to_string(timeout) + ", " +
        (result ? "result" : "null") + ")");
    if (!liveConversations.count(conversation))
        fault("poke on a conversation that is not open: " + convName(conversation));
    if (!liveHandles.count(item))
        fault("poke to an item handle that is not alive");
    if (timeout == TIMEOUT_ASYNC)
        fault("asynchronous poke");
    if (length == 0 || std::strlen(text) + 1 != length)
        fault("poke length is not the text and its terminator");
    world.dde.pokes.push_back(
        {bytes, length, strings.count(item) ? strings[item] : "", format, type, timeout});
    if (world.dde.duringPoke)
        world.dde.duringPoke();
    return reinterpret_cast<HDDEDATA>(1);
}

BOOL DdeDisconnect(HCONV conversation)
{
    log("DdeDisconnect(" + convName(conversation) + ")");
    if (!liveConversations.erase(conversation)) {
        fault("disconnect of a conversation that is not open: " + convName(conversation));
        return FALSE;
    }
    ++world.dde.disconnects;
    return TRUE;
}

BOOL DdeUninitialize(DWORD instance)
{
    log("DdeUninitialize(" + std::to_string(instance) + ")");
    if (!liveConversations.empty())
        fault("instance ended with a conversation open");
    if (!instanceLive || instance != instanceValue)
        return FALSE;
    instanceLive = false;
    return TRUE;
}
