// The configuration dialog: what it shows, and what OK, Apply and Cancel
// change in memory, in the file and in the DDE item.
#include "fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Action = standin::DialogAction;

namespace
{

Action type(int id, const std::string &text)
{
    return {Action::Type, id, text};
}
Action toggle()
{
    return {Action::Toggle, 1001, ""};
}
Action press(int id)
{
    return {Action::Press, id, ""};
}

const char *const savedFile = "[brelk]\r\nchannel=#old\r\nmessage=old %s\r\nactive=1\r\n"
                              "ddetimeout=250\r\n";

} // namespace

class DialogTest : public PluginTest
{
  protected:
    void open(std::vector<Action> script)
    {
        world.dialog.script = std::move(script);
        world.calls.clear();
        configPlugin();
    }
    void expectSettings(const char *channel, const char *message, int active)
    {
        EXPECT_STREQ(pluginSettings.channel, channel);
        EXPECT_STREQ(pluginSettings.message, message);
        EXPECT_EQ(pluginSettings.active, active);
    }
};

TEST_F(DialogTest, OkTakesTheControlsOverSavesAndRebinds)
{
    start(savedFile);
    open({type(1002, "#new"), type(1003, "new %s"), toggle(), press(IDOK)});
    const std::string ini = "\"" + std::string(iniPath) + "\")";
    EXPECT_THAT(world.calls,
                ElementsAre("DialogBoxParamA(module, 101, host, configDialogProc, 0)",
                            "CheckDlgButton(dialog, 1001, 1)",
                            "SendDlgItemMessageA(dialog, 1003, WM_SETTEXT, 0, \"old %s\")",
                            "SendDlgItemMessageA(dialog, 1002, WM_SETTEXT, 0, \"#old\")",
                            "IsDlgButtonChecked(dialog, 1001)",
                            "SendDlgItemMessageA(dialog, 1003, WM_GETTEXT, 80)",
                            "SendDlgItemMessageA(dialog, 1002, WM_GETTEXT, 40)",
                            "WritePrivateProfileStringA(\"brelk\", \"message\", \"new %s\", " + ini,
                            "WritePrivateProfileStringA(\"brelk\", \"channel\", \"#new\", " + ini,
                            "WritePrivateProfileStringA(\"brelk\", \"active\", \"0\", " + ini,
                            "WritePrivateProfileStringA(\"brelk\", \"ddetimeout\", \"250\", " + ini,
                            "DdeFreeStringHandle(81, hsz3)",
                            "DdeCreateStringHandleA(81, \"#new\", 1004) = hsz4",
                            "EndDialog(dialog, 0)"));
    expectSettings("#new", "new %s", 0);
    EXPECT_EQ(world.files[iniPath], "[brelk]\r\nchannel=#new\r\nmessage=new %s\r\nactive=0\r\n"
                                    "ddetimeout=250\r\n");
}

TEST_F(DialogTest, ApplyTakesOverAndRebindsButLeavesTheFile)
{
    start(savedFile);
    open({type(1002, "#applied"), type(1003, "applied %s"), press(1000)});
    EXPECT_THAT(standin::callsNamed({"WritePrivateProfileStringA"}), IsEmpty());
    EXPECT_THAT(standin::callsNamed({"DdeFreeStringHandle", "DdeCreateStringHandleA", "EndDialog"}),
                ElementsAre("DdeFreeStringHandle(81, hsz3)",
                            "DdeCreateStringHandleA(81, \"#applied\", 1004) = hsz4",
                            "EndDialog(dialog, 0)"));
    expectSettings("#applied", "applied %s", 1);
    EXPECT_EQ(world.files[iniPath], savedFile);

    // The next opening shows what was applied; the next announcement uses it.
    open({press(IDCANCEL)});
    EXPECT_TRUE(world.dialog.shownChecked);
    EXPECT_EQ(world.dialog.shownChannel, "#applied");
    EXPECT_EQ(world.dialog.shownMessage, "applied %s");
    play("Song");
    tick();
    ASSERT_EQ(world.dde.pokes.size(), 1u);
    EXPECT_EQ(world.dde.pokes[0].item, "#applied");
    EXPECT_EQ(pokedTexts()[0], "applied Song");
}

TEST_F(DialogTest, CancelChangesNothingHoweverMuchWasEdited)
{
    start(savedFile);
    open({type(1002, "#edited"), type(1003, "edited"), toggle(), press(IDCANCEL)});
    EXPECT_THAT(standin::callsNamed({"IsDlgButtonChecked", "SendDlgItemMessageA", "EndDialog",
                                     "WritePrivateProfileStringA", "DdeFreeStringHandle",
                                     "DdeCreateStringHandleA"}),
                ElementsAre(::testing::HasSubstr("WM_SETTEXT"), ::testing::HasSubstr("WM_SETTEXT"),
                            "EndDialog(dialog, 0)"));
    expectSettings("#old", "old %s", 1);
    EXPECT_EQ(world.files[iniPath], savedFile);
    open({press(IDCANCEL)});
    EXPECT_EQ(world.dialog.shownChannel, "#old");
}

TEST_F(DialogTest, TextsAreCutToWhatTheSettingsHoldAndAnEmptyChannelIsTaken)
{
    start(savedFile);
    open({type(1003, std::string(100, 'm')), type(1002, std::string(45, 'c')), press(IDOK)});
    expectSettings(std::string(39, 'c').c_str(), std::string(79, 'm').c_str(), 1);
    EXPECT_THAT(world.files[iniPath],
                ::testing::HasSubstr("channel=" + std::string(39, 'c') + "\r\n"));
    EXPECT_THAT(world.files[iniPath],
                ::testing::HasSubstr("message=" + std::string(79, 'm') + "\r\n"));

    open({type(1002, ""), press(IDOK)});
    EXPECT_STREQ(pluginSettings.channel, "");
    EXPECT_THAT(world.files[iniPath], ::testing::HasSubstr("channel=\r\n"));
    EXPECT_THAT(standin::callsNamed({"DdeCreateStringHandleA"}),
                ElementsAre("DdeCreateStringHandleA(81, \"\", 1004) = hsz5"));
}

TEST_F(DialogTest, ActiveIsShownCheckedWhenNotZeroAndTakenOverAsOne)
{
    start("[brelk]\r\nactive=7\r\n");
    open({press(IDCANCEL)});
    EXPECT_TRUE(world.dialog.shownChecked);
    EXPECT_EQ(pluginSettings.active, 7);
    open({press(IDOK)});
    EXPECT_EQ(pluginSettings.active, 1);
    open({toggle(), press(1000)});
    EXPECT_EQ(pluginSettings.active, 0);
    open({press(IDCANCEL)});
    EXPECT_FALSE(world.dialog.shownChecked);
}

TEST_F(DialogTest, OkWritesBackTheTimeOutLoadedAtInit)
{
    start("[brelk]\r\nddetimeout=-1\r\n");
    world.files[iniPath] = "[brelk]\r\nddetimeout=100\r\n"; // edited by hand meanwhile
    open({press(IDOK)});
    EXPECT_THAT(world.files[iniPath], ::testing::HasSubstr("ddetimeout=-1\r\n"));
    EXPECT_EQ(pluginSettings.ddetimeout, -1);
}

TEST_F(DialogTest, OtherMessagesAndCommandsChangeNothing)
{
    start(savedFile);
    open({type(1002, "#typed"),
          {Action::Message, 0x0200, ""},
          press(1005),
          press(1002),
          press(IDCANCEL)});
    expectSettings("#old", "old %s", 1);
    EXPECT_THAT(standin::callsNamed({"EndDialog", "IsDlgButtonChecked", "DdeFreeStringHandle"}),
                ElementsAre("EndDialog(dialog, 0)"));
}

TEST_F(DialogTest, ADialogThatCannotBeMadeChangesNothing)
{
    start(savedFile);
    world.dialog.templateMissing = true;
    open({});
    EXPECT_THAT(world.calls,
                ElementsAre("DialogBoxParamA(module, 101, host, configDialogProc, 0)"));
    expectSettings("#old", "old %s", 1);
}

TEST_F(DialogTest, AnnouncementsGoOnWithTheSettingsAsTheyStoodBeforeOk)
{
    start(savedFile);
    play("During");
    open({type(1003, "later %s"), {Action::HostMessage, 0x0200, ""}, press(IDOK)});
    play("After");
    tick();
    EXPECT_THAT(pokedTexts(), ElementsAre("old During", "later After"));
}

TEST_F(DialogTest, SwitchingOnAnnouncesNothingUntilTheTitleChanges)
{
    start("[brelk]\r\nactive=0\r\n");
    play("Playing now");
    tick();
    open({toggle(), press(IDOK)});
    tick();
    EXPECT_THAT(pokedTexts(), IsEmpty());
    play("Next");
    tick();
    EXPECT_THAT(pokedTexts(), ElementsAre("/me is listening to Next on Winamp"));
}
