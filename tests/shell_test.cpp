// The record the host reads, the init and quit hooks, and the title check on
// every message of the host's main window.
#include "fixture.h"

#include <cstddef>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace
{

std::string q(const std::string &s)
{
    return "\"" + s + "\"";
}

// A procedure another module puts over ours after init.
WNDPROC underChain;
LRESULT CALLBACK chainProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return CallWindowProcA(underChain, w, m, wp, lp);
}

} // namespace

TEST_F(PluginTest, RecordHoldsTheFixedFieldsAndTheExportAlwaysReturnsIt)
{
    PluginRecord *record = winampGetGeneralPurposePlugin();
    EXPECT_EQ(record, &pluginRecord);
    EXPECT_EQ(winampGetGeneralPurposePlugin(), record);
    EXPECT_EQ(record->version, 0x10);
    EXPECT_STREQ(record->description, "Mirt's Brelk DDE Control Plug-in v0.2");
    EXPECT_EQ(record->initHook, &initPlugin);
    EXPECT_EQ(record->configHook, &configPlugin);
    EXPECT_EQ(record->quitHook, &quitPlugin);
    EXPECT_THAT(world.calls, IsEmpty());

    // The host reads the fields by position.
    EXPECT_EQ(offsetof(PluginRecord, version), 0u);
    EXPECT_EQ(offsetof(PluginRecord, description), sizeof(void *));
    EXPECT_EQ(offsetof(PluginRecord, initHook), 2 * sizeof(void *));
    EXPECT_EQ(offsetof(PluginRecord, configHook), 3 * sizeof(void *));
    EXPECT_EQ(offsetof(PluginRecord, quitHook), 4 * sizeof(void *));
    EXPECT_EQ(offsetof(PluginRecord, hostWindow), 5 * sizeof(void *));
    EXPECT_EQ(offsetof(PluginRecord, moduleInstance), 6 * sizeof(void *));
}

TEST_F(PluginTest, InitLocatesLoadsOpensThenSubclassesAndReturnsZero)
{
    world.files[iniPath] = "[brelk]\r\nchannel=#music\r\n";
    EXPECT_EQ(initPlugin(), 0);
    const std::string ini = q(iniPath);
    EXPECT_THAT(
        world.calls,
        ElementsAre("GetModuleFileNameA(module, 128)",
                    "GetPrivateProfileStringA(\"brelk\", \"channel\", \"active\", 40, " + ini + ")",
                    "GetPrivateProfileStringA(\"brelk\", \"message\", \"/me is listening "
                    "to %s on Winamp\", 80, " +
                        ini + ")",
                    "GetPrivateProfileIntA(\"brelk\", \"active\", 0, " + ini + ")",
                    "GetPrivateProfileIntA(\"brelk\", \"ddetimeout\", 3000, " + ini + ")",
                    "DdeInitializeA(0, callback, 0x3c0010, 0)",
                    "DdeCreateStringHandleA(81, \"BRELK\", 1004) = hsz1",
                    "DdeCreateStringHandleA(81, \"IRC_COMMAND\", 1004) = hsz2",
                    "DdeCreateStringHandleA(81, \"#music\", 1004) = hsz3",
                    "GetWindowLongPtrA(host, -4)", "SetWindowLongPtrA(host, -4, hostWindowProc)"));
    EXPECT_EQ(previousWndProc, standin::hostProcedure());
    EXPECT_EQ(world.host.proc, &hostWindowProc);
    // The callback the DDE instance gets handles nothing.
    ASSERT_NE(world.dde.callback, nullptr);
    EXPECT_EQ(world.dde.callback(0x1062, 0, nullptr, nullptr, nullptr, nullptr, 0, 0), nullptr);
}

TEST_F(PluginTest, InitGoesOnWhateverItsStepsYield)
{
    // No settings file, no DDE, and a host window that is no window.
    world.dde.initFails = true;
    pluginRecord.hostWindow = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(initPlugin(), 0);
    EXPECT_STREQ(pluginSettings.channel, "active");
    EXPECT_THAT(standin::callsNamed({"DdeCreateStringHandleA", "SetWindowLongPtrA"}),
                ElementsAre("DdeCreateStringHandleA(0, \"BRELK\", 1004) = 0",
                            "DdeCreateStringHandleA(0, \"IRC_COMMAND\", 1004) = 0",
                            "DdeCreateStringHandleA(0, \"active\", 1004) = 0",
                            "SetWindowLongPtrA(0x1234, -4, hostWindowProc)"));
    EXPECT_EQ(previousWndProc, nullptr);
    EXPECT_EQ(world.host.proc, standin::hostProcedure());
}

struct QueryCase {
    const char *name;
    LRESULT state;
    UINT message;
    std::vector<std::string> queries;
    std::vector<std::string> received; // by the host's own procedure
};

void PrintTo(const QueryCase &c, std::ostream *os)
{
    *os << c.name;
}

class QueryTest : public PluginTest, public ::testing::WithParamInterface<QueryCase>
{
};

TEST_P(QueryTest, SendsItsQueriesThenPassesTheMessageOnUnchanged)
{
    const QueryCase &c = GetParam();
    startWithoutFile();
    host.state = c.state;
    host.position = 4;
    host.titles[4] = "Song";

    LRESULT result = standin::deliver(c.message, 0x11, 0x22);

    EXPECT_EQ(result, (LRESULT)c.message * 7 + 3);
    EXPECT_EQ(standin::callsNamed({"SendMessageA"}), c.queries);
    // The host's procedure got each query and the message itself, once.
    EXPECT_EQ(host.received, c.received);
}

const std::vector<std::string> playingQueries = {"SendMessageA(host, 0x400, 0, 104)",
                                                 "SendMessageA(host, 0x400, 0, 125)",
                                                 "SendMessageA(host, 0x400, 4, 212)"};
const std::vector<std::string> playingAnswers = {"host 0x400 0 104", "host 0x400 0 125",
                                                 "host 0x400 4 212"};

std::vector<std::string> plus(std::vector<std::string> v, const char *last)
{
    v.push_back(last);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Messages, QueryTest,
    ::testing::Values(
        QueryCase{"Stopped",
                  0,
                  0x0200,
                  {"SendMessageA(host, 0x400, 0, 104)"},
                  {"host 0x400 0 104", "host 0x200 17 34"}},
        QueryCase{"Playing", 1, 0x0200, playingQueries, plus(playingAnswers, "host 0x200 17 34")},
        QueryCase{"Paused", 3, 0x0113, playingQueries, plus(playingAnswers, "host 0x113 17 34")},
        QueryCase{"WmUserItselfIsNeverChecked", 1, WM_USER, {}, {"host 0x400 17 34"}},
        QueryCase{"AboveWmUserIsChecked", 1, WM_USER + 1, playingQueries,
                  plus(playingAnswers, "host 0x401 17 34")}),
    [](const ::testing::TestParamInfo<QueryCase> &i) { return std::string(i.param.name); });

TEST_F(PluginTest, QueriesGoToTheWindowTheMessageIsFor)
{
    startWithoutFile();
    world.other.proc = standin::hostProcedure();
    host.state = 0;
    hostWindowProc(standin::otherWindow(), 0x0200, 0, 0);
    EXPECT_THAT(standin::callsNamed({"SendMessageA", "CallWindowProcA"}),
                ElementsAre("SendMessageA(other, 0x400, 0, 104)",
                            "CallWindowProcA(hostProc, other, 0x200, 0, 0)"));
}

TEST_F(PluginTest, OnlyAChangeOfTitleTextIsAnnounced)
{
    start("[brelk]\r\nactive=1\r\nmessage=%s\r\n");
    struct {
        int state;
        const char *title; // null: the title query answers 0
        WPARAM position;
        bool announced;
    } steps[] = {
        {1, "", 0, false},      // empty while nothing was seen: no change
        {1, "One", 0, true},    // the first title
        {1, "One", 0, false},   // the same again
        {3, "One", 0, false},   // paused
        {3, "Two", 0, true},    // a change while paused is still a change
        {0, "Three", 0, false}, // stopped: not even asked
        {1, "Two", 0, false},   // replay after a stop
        {1, "Two", 1, false},   // another entry, same title
        {1, "two", 1, true},    // case counts
        {1, nullptr, 1, false}, // no title
        {1, "", 1, true},       // empty after a title is a change
    };
    std::vector<std::string> expected;
    for (const auto &s : steps) {
        host.state = s.state;
        host.position = (LRESULT)s.position;
        host.titles.clear();
        if (s.title)
            host.titles[s.position] = s.title;
        tick();
        if (s.announced)
            expected.push_back(s.title);
        EXPECT_EQ(pokedTexts(), expected) << "after " << (s.title ? s.title : "(none)");
    }
    EXPECT_STREQ(lastTitle, "");
    EXPECT_EQ(world.dde.connects, world.dde.disconnects);
}

TEST_F(PluginTest, WhileAnnouncingIsOffTheLastTitleStillFollowsTheHost)
{
    start("[brelk]\r\nactive=0\r\n");
    play("First");
    tick();
    EXPECT_STREQ(lastTitle, "First");
    EXPECT_THAT(standin::callsNamed({"DdeConnect", "DdeClientTransaction"}), IsEmpty());

    pluginSettings.active = 1; // as the dialog's OK would
    tick();
    EXPECT_THAT(pokedTexts(), IsEmpty());
    play("Second");
    tick();
    EXPECT_THAT(pokedTexts(), ElementsAre("/me is listening to Second on Winamp"));
}

TEST_F(PluginTest, LongTitlesAreKeptWhole)
{
    start("[brelk]\r\nactive=1\r\nmessage=%s\r\n");
    const std::string stem(100, 'x');
    // Titles that differ far beyond the 63rd byte are two titles.
    play(stem + "-disc one");
    tick();
    tick();
    play(stem + "-disc two");
    tick();
    tick();
    EXPECT_THAT(pokedTexts(), ElementsAre(stem + "-disc one", stem + "-disc two"));

    // A title longer than the buffer: stored cut and terminated, one announcement.
    const std::string huge(400, 'y');
    play(huge);
    tick();
    tick();
    EXPECT_EQ(std::string(lastTitle), huge.substr(0, 255));
    EXPECT_EQ(lastTitle[255], 0);
    EXPECT_EQ(world.dde.pokes.size(), 3u);
    EXPECT_EQ(pokedTexts().back(), huge.substr(0, 255));
}

TEST_F(PluginTest, AChangeSeenWhileAPokeWaitsIsAnnouncedAfterwardsOnce)
{
    start("[brelk]\r\nactive=1\r\nmessage=%s\r\n");
    int round = 0;
    world.dde.duringPoke = [&] {
        // The wait delivers host messages: first the same title again, then
        // two further changes; only the newest of them is worth a line.
        if (round++ > 0)
            return;
        tick();
        play("B");
        tick();
        tick();
        play("C");
        tick();
    };
    play("A");
    tick();
    EXPECT_THAT(pokedTexts(), ElementsAre("A", "C"));
    EXPECT_THAT(standin::callsNamed({"DdeConnect", "DdeDisconnect"}),
                ElementsAre("DdeConnect(81, hsz1, hsz2, null) = conv1", "DdeDisconnect(conv1)",
                            "DdeConnect(81, hsz1, hsz2, null) = conv2", "DdeDisconnect(conv2)"));
}

TEST_F(PluginTest, AChangeSeenWhileTheConnectWaitsGoesIntoThatPoke)
{
    start("[brelk]\r\nactive=1\r\nmessage=%s\r\n");
    bool once = true;
    world.dde.duringConnect = [&] {
        if (!once)
            return;
        once = false;
        play("B");
        tick();
    };
    play("A");
    tick();
    EXPECT_THAT(pokedTexts(), ElementsAre("B"));
    EXPECT_EQ(world.dde.connects, 1);
    EXPECT_EQ(world.dde.disconnects, 1);
}

TEST_F(PluginTest, AChangeSeenWhileARefusedConnectWaitsIsTriedOnce)
{
    start("[brelk]\r\nactive=1\r\nmessage=%s\r\n");
    world.dde.acceptConnect = false;
    bool once = true;
    world.dde.duringConnect = [&] {
        if (once) {
            once = false;
            play("B");
            tick();
        }
    };
    play("A");
    tick();
    EXPECT_EQ(standin::callsNamed({"DdeConnect"}).size(), 2u);
    EXPECT_THAT(standin::callsNamed({"DdeClientTransaction", "DdeDisconnect"}), IsEmpty());
}

TEST_F(PluginTest, QuitClosesTheLinkAndStepsOutOfTheWindow)
{
    start("[brelk]\r\nactive=1\r\n");
    quitPlugin();
    EXPECT_THAT(world.calls,
                ElementsAre("DdeFreeStringHandle(81, hsz1)", "DdeFreeStringHandle(81, hsz2)",
                            "DdeFreeStringHandle(81, hsz3)", "DdeUninitialize(81)",
                            "GetWindowLongPtrA(host, -4)",
                            "SetWindowLongPtrA(host, -4, hostProc)"));
    EXPECT_EQ(world.host.proc, standin::hostProcedure());

    // The module may be gone now; an announcement tried all the same uses no DDE.
    world.calls.clear();
    play("After");
    announceTitle();
    closeDdeLink();
    EXPECT_THAT(world.calls, IsEmpty());
}

TEST_F(PluginTest, QuitUnderAnotherSubclassPinsTheModuleAndKeepsPassingMessages)
{
    start("[brelk]\r\nactive=1\r\n");
    underChain =
        (WNDPROC)SetWindowLongPtrA(standin::hostWindow(), GWLP_WNDPROC, (LONG_PTR)chainProc);
    world.calls.clear();
    quitPlugin();
    EXPECT_THAT(standin::callsNamed({"SetWindowLongPtrA", "LoadLibraryA"}),
                ElementsAre("LoadLibraryA(\"C:\\Player\\Plugins\\gen_brelk.dll\")"));
    EXPECT_EQ(world.host.proc, &chainProc);

    world.calls.clear();
    host.received.clear();
    play("After quit");
    EXPECT_EQ(tick(0x0201), 0x0201 * 7 + 3);
    EXPECT_EQ(host.received.back(), "host 0x201 17 34");
    EXPECT_THAT(standin::callsNamed({"DdeConnect", "DdeClientTransaction"}), IsEmpty());
}

TEST_F(PluginTest, QuitFromInsideTheHostsProcedurePinsTheModule)
{
    startWithoutFile();
    host.onMessage = [](UINT message, WPARAM, LPARAM) {
        if (message == 0x0010) // the host shuts down while handling its close
            quitPlugin();
    };
    tick(0x0010);
    EXPECT_THAT(standin::callsNamed({"SetWindowLongPtrA", "LoadLibraryA"}),
                ElementsAre("SetWindowLongPtrA(host, -4, hostProc)",
                            "LoadLibraryA(\"C:\\Player\\Plugins\\gen_brelk.dll\")"));
}

TEST_F(PluginTest, QuitWhileAPokeWaitsReleasesTheLinkAfterTheDisconnect)
{
    start("[brelk]\r\nactive=1\r\n");
    world.dde.duringPoke = [] { quitPlugin(); };
    play("Last");
    tick();
    EXPECT_THAT(standin::callsNamed({"DdeClientTransaction", "DdeDisconnect", "DdeFreeStringHandle",
                                     "DdeUninitialize", "LoadLibraryA"}),
                ElementsAre(::testing::StartsWith("DdeClientTransaction("),
                            "LoadLibraryA(\"C:\\Player\\Plugins\\gen_brelk.dll\")",
                            "DdeDisconnect(conv1)", "DdeFreeStringHandle(81, hsz1)",
                            "DdeFreeStringHandle(81, hsz2)", "DdeFreeStringHandle(81, hsz3)",
                            "DdeUninitialize(81)"));
}
