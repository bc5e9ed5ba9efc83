// Any sequence of host answers and DDE outcomes, nested as the platform may
// nest them: at most one announcement per change of title, the newest title
// announced last, every conversation closed once, and every message handed
// to the host's procedure exactly once with its result passed back.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "announcer/announcer.h"
#include "plugin_state.h"
#include "settings/settings.h"
#include "shell/plugin.h"
#include "standin.h"

namespace
{

using standin::world;

const char *const dictionary[16] = {
    "",      "A",     "a",     "B",     "Song",  "Song ", "%s %n %d", "100%",
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,    nullptr, // long ones
};

std::string longTitle(int which)
{
    // 63, 64, 200, 255, 256 and 300 bytes, some alike but for their end.
    static const size_t lengths[] = {63, 64, 200, 255, 256, 300, 300, 300};
    std::string s(lengths[which], 'x');
    s.back() = (char)('0' + which);
    return s;
}

struct Fuzz {
    const uint8_t *p, *end;
    WPARAM nextId = 1000;
    std::vector<WPARAM> delivered, received;
    std::string model; // the title as the plug-in must have it
    int changes = 0;
    bool everRefused = false;
    // Run once by the next poke's or connect's wait.
    std::vector<uint8_t> duringPoke, duringConnect;

    void runOnce(std::vector<uint8_t> *ops)
    {
        std::vector<uint8_t> mine;
        mine.swap(*ops);
        if (!mine.empty())
            runNested(mine);
    }

    void fail(const char *what)
    {
        fprintf(stderr, "%s\n", what);
        __builtin_trap();
    }

    // What the plug-in sees on a message other than WM_USER.
    void expectCheck()
    {
        standin::Host &h = world.hostAnswers;
        if (h.state == 0)
            return;
        auto it = h.titles.find((WPARAM)h.position);
        if (it == h.titles.end())
            return;
        std::string seen = it->second.substr(0, TITLE_SIZE - 1);
        if (seen != model) {
            model = seen;
            ++changes;
        }
    }

    void deliver(UINT message, LPARAM lParam)
    {
        WPARAM id = nextId++;
        delivered.push_back(id);
        if (message != WM_USER)
            expectCheck();
        LRESULT r = standin::deliver(message, id, lParam);
        if (r != (LRESULT)message * 7 + 3)
            fail("the host's result did not come back");
    }

    std::vector<uint8_t> body(int count)
    {
        std::vector<uint8_t> ops;
        while (count-- > 0 && p < end)
            ops.push_back(*p++);
        return ops;
    }

    void runNested(const std::vector<uint8_t> &ops)
    {
        const uint8_t *savedP = p, *savedEnd = end;
        p = ops.data();
        end = ops.data() + ops.size();
        while (p < end)
            step();
        p = savedP;
        end = savedEnd;
    }

    void step()
    {
        uint8_t op = *p++;
        int arg = op & 15;
        standin::Host &h = world.hostAnswers;
        switch (op >> 4) {
        case 0:
            h.state = 0;
            break;
        case 1:
            h.state = 1;
            break;
        case 2:
            h.state = 3;
            break;
        case 3:
            h.position = arg;
            break;
        case 4:
        case 5:
            h.titles[(WPARAM)h.position] = dictionary[arg] ? dictionary[arg] : longTitle(arg - 8);
            break;
        case 6:
            h.titles.erase((WPARAM)h.position);
            break;
        case 7:
            h.titles[(WPARAM)h.position] += (char)('a' + arg);
            break;
        case 8:
        case 9:
            deliver(0x0200 + (UINT)arg, 0);
            break;
        case 10:
            deliver(WM_USER, arg);
            break;
        case 11:
            deliver(WM_USER + 1 + (UINT)arg, 0);
            break;
        case 12:
            world.dde.acceptConnect = arg & 1;
            if (!(arg & 1))
                everRefused = true;
            break;
        case 13:
            // The next poke waits, and the platform delivers these meanwhile.
            duringPoke = body(arg);
            break;
        case 14:
            duringConnect = body(arg);
            break;
        default:
            break;
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    standin::reset();
    world.quiet = true;
    resetPluginState();
    pluginRecord.hostWindow = standin::hostWindow();
    pluginRecord.moduleInstance = standin::moduleHandle();
    world.files["C:\\Player\\Plugins\\gen_brelk.ini"] = "[brelk]\r\nactive=1\r\nmessage=%s\r\n";
    initPlugin();

    Fuzz f;
    f.p = data;
    f.end = data + size;
    world.hostAnswers.onMessage = [&f](UINT message, WPARAM wParam, LPARAM lParam) {
        // The plug-in's own queries carry a position, never one of our ids.
        if (message == WM_USER && (lParam == 104 || lParam == 125 || lParam == 212) &&
            wParam < 1000)
            return;
        f.received.push_back(wParam);
    };
    world.dde.duringPoke = [&f] { f.runOnce(&f.duringPoke); };
    world.dde.duringConnect = [&f] { f.runOnce(&f.duringConnect); };
    while (f.p < f.end) {
        size_t before = world.dde.pokes.size();
        f.step();
        const std::vector<standin::Poke> &pokes = world.dde.pokes;
        if (std::string(lastTitle) != f.model)
            f.fail("the stored title is not the newest one seen");
        if (!f.everRefused && pokes.size() > before &&
            pokes.back().data != std::string(lastTitle) + '\0')
            f.fail("the newest title was not announced last");
    }
    if (!world.faults.empty())
        f.fail(world.faults[0].c_str());
    if (world.dde.connects != world.dde.disconnects)
        f.fail("a conversation was left open");
    if ((int)world.dde.pokes.size() > f.changes)
        f.fail("more announcements than changes of title");
    // A message delivered during an announcement's wait reaches the host
    // before the one that started the announcement: compare without order.
    std::sort(f.received.begin(), f.received.end());
    if (f.received != f.delivered)
        f.fail("a message did not reach the host exactly once");
    quitPlugin();
    return 0;
}
