// One conversation per announcement: connect, one poke of the composed line,
// disconnect; and the item handle's rebinding.
#include "fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(PluginTest, AnAnnouncementIsOneConnectPokeAndDisconnect)
{
    start("[brelk]\r\nactive=1\r\n");
    play("Song");
    tick();
    EXPECT_THAT(standin::callsNamed({"DdeConnect", "DdeClientTransaction", "DdeDisconnect"}),
                ElementsAre("DdeConnect(81, hsz1, hsz2, null) = conv1",
                            "DdeClientTransaction(\"/me is listening to Song on Winamp\", 35, "
                            "conv1, hsz3, 1, 16528, 3000, null)",
                            "DdeDisconnect(conv1)"));
    ASSERT_EQ(world.dde.pokes.size(), 1u);
    const standin::Poke &p = world.dde.pokes[0];
    EXPECT_EQ(p.data, std::string("/me is listening to Song on Winamp\0", 35));
    EXPECT_EQ(p.item, "active");
    EXPECT_EQ(p.format, (UINT)CF_TEXT);
    EXPECT_EQ(p.type, (UINT)XTYP_POKE);
}

TEST_F(PluginTest, TheDefaultTemplateAroundTheLongestStoredTitle)
{
    start("[brelk]\r\nactive=1\r\n");
    const std::string title(63, 't');
    play(title);
    tick();
    ASSERT_EQ(world.dde.pokes.size(), 1u);
    EXPECT_EQ(world.dde.pokes[0].length, 94u);
    EXPECT_EQ(pokedTexts()[0], "/me is listening to " + title + " on Winamp");
}

TEST_F(PluginTest, WithAnnouncingOffNoPlatformFunctionIsCalled)
{
    start("[brelk]\r\nactive=0\r\n");
    play("Song");
    world.calls.clear();
    announceTitle();
    EXPECT_THAT(world.calls, IsEmpty());
}

TEST_F(PluginTest, WithNoIrcClientTheTitleIsLostNotQueued)
{
    start("[brelk]\r\nactive=1\r\n");
    world.dde.acceptConnect = false;
    play("Unheard");
    tick();
    EXPECT_THAT(standin::callsNamed({"DdeConnect", "DdeClientTransaction", "DdeDisconnect"}),
                ElementsAre("DdeConnect(81, hsz1, hsz2, null) = 0"));
    EXPECT_EQ(ddeLink.conversation, nullptr);

    // The IRC client starts: the same title is no change, the next one is.
    world.dde.acceptConnect = true;
    tick();
    EXPECT_THAT(pokedTexts(), IsEmpty());
    play("Heard");
    tick();
    EXPECT_THAT(pokedTexts(), ElementsAre("/me is listening to Heard on Winamp"));
}

TEST_F(PluginTest, RebindingFreesTheOldItemThenMakesTheNewOne)
{
    start("[brelk]\r\nactive=0\r\n");
    std::strcpy(pluginSettings.channel, "#music");
    rebindChannel();
    EXPECT_THAT(world.calls, ElementsAre("DdeFreeStringHandle(81, hsz3)",
                                         "DdeCreateStringHandleA(81, \"#music\", 1004) = hsz4"));
    pluginSettings.active = 1;
    play("Song");
    tick();
    ASSERT_EQ(world.dde.pokes.size(), 1u);
    EXPECT_EQ(world.dde.pokes[0].item, "#music");
    EXPECT_EQ(world.dde.liveStrings["active"], 0);
}

struct TimeoutCase {
    const char *value; // in the file; null: no key
    DWORD passed;
    int kept;
};

void PrintTo(const TimeoutCase &c, std::ostream *os)
{
    *os << "ddetimeout=" << (c.value ? c.value : "(none)");
}

class TimeoutTest : public PluginTest, public ::testing::WithParamInterface<TimeoutCase>
{
};

TEST_P(TimeoutTest, OnlyAWaitThePokeCanHonourReachesIt)
{
    const TimeoutCase &c = GetParam();
    start(std::string("[brelk]\r\nactive=1\r\n") +
          (c.value ? std::string("ddetimeout=") + c.value + "\r\n" : ""));
    EXPECT_EQ(pluginSettings.ddetimeout, c.kept);
    play("Song");
    tick();
    ASSERT_EQ(world.dde.pokes.size(), 1u);
    EXPECT_EQ(world.dde.pokes[0].timeout, c.passed);
}

INSTANTIATE_TEST_SUITE_P(Values, TimeoutTest,
                         ::testing::Values(TimeoutCase{nullptr, 3000, 3000},
                                           TimeoutCase{"250", 250, 250}, TimeoutCase{"0", 0, 0},
                                           TimeoutCase{"-1", 3000, -1},
                                           TimeoutCase{"4294967295", 3000, -1},
                                           TimeoutCase{"-70000", 3000, -70000}));
