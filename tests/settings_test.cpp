// Where the settings file is, what is read from it and what is written back.
#include "fixture.h"

#include <climits>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct PathCase {
    std::string module;
    std::string settings; // empty: no file is used
    bool oldSemantics;
};

void PrintTo(const PathCase &c, std::ostream *os)
{
    *os << c.module.size() << "-byte module path";
}

class PathTest : public PluginTest, public ::testing::WithParamInterface<PathCase>
{
};

TEST_P(PathTest, TheFileSitsBesideTheModuleOrIsNotUsedAtAll)
{
    const PathCase &c = GetParam();
    world.modulePath = c.module;
    world.oldModuleNameSemantics = c.oldSemantics;
    std::memset(settingsPath, 'Q', sizeof settingsPath); // no trace of this may survive
    locateSettingsFile(standin::moduleHandle());
    EXPECT_EQ(std::string(settingsPath, strnlen(settingsPath, sizeof settingsPath)), c.settings);
    EXPECT_THAT(world.calls, ElementsAre("GetModuleFileNameA(module, 128)"));
}

const std::string dir114 = "C:\\" + std::string(110, 'd') + "\\"; // 114 with both backslashes

INSTANTIATE_TEST_SUITE_P(
    Paths, PathTest,
    ::testing::Values(
        PathCase{"D:\\Player\\Plugins\\gen_brelk.dll", "D:\\Player\\Plugins\\gen_brelk.ini", false},
        PathCase{"D:\\Player\\Plugins\\gen_other.dll", "D:\\Player\\Plugins\\gen_brelk.ini", false},
        PathCase{"gen_brelk.dll", "gen_brelk.ini", false}, PathCase{"", "gen_brelk.ini", false},
        PathCase{"C:/Player/Plugins/gen_brelk.dll", "gen_brelk.ini", false},
        PathCase{dir114 + "gen_brelk.dll", dir114 + "gen_brelk.ini", false},
        // One more directory byte and the name no longer fits.
        PathCase{"C:\\" + std::string(111, 'd') + "\\x.dll", "", false},
        // A module name that fills the buffer was cut by the platform.
        PathCase{"C:\\P\\" + std::string(130, 'n') + ".dll", "", false},
        PathCase{"C:\\P\\" + std::string(130, 'n') + ".dll", "", true},
        // Cut inside the directory: what is left names another folder.
        PathCase{"C:\\" + std::string(130, 'd') + "\\gen_brelk.dll", "", false},
        PathCase{"C:\\" + std::string(130, 'd') + "\\gen_brelk.dll", "", true},
        PathCase{"C:\\P\\" + std::string(122, 'n'), "C:\\P\\gen_brelk.ini", false}, // 127 fit
        PathCase{"C:\\" + std::string(124, 'n'), "C:\\gen_brelk.ini", false}));

TEST_F(PluginTest, WithNoRoomForTheFileNameTheDefaultsRunAndNoFileIsTouched)
{
    world.modulePath = "C:\\" + std::string(200, 'd') + "\\gen_brelk.dll";
    world.files["C:\\gen_brelk.ini"] = "[brelk]\r\nactive=1\r\n";
    initPlugin();
    EXPECT_THAT(standin::callsNamed({"GetPrivateProfileStringA", "GetPrivateProfileIntA"}),
                IsEmpty());
    EXPECT_STREQ(pluginSettings.channel, "active");
    EXPECT_STREQ(pluginSettings.message, "/me is listening to %s on Winamp");
    EXPECT_EQ(pluginSettings.active, 0);
    EXPECT_EQ(pluginSettings.ddetimeout, 3000);
    saveSettings();
    EXPECT_THAT(standin::callsNamed({"WritePrivateProfileStringA"}), IsEmpty());
    EXPECT_EQ(world.files.size(), 1u);
}

struct LoadCase {
    const char *name;
    std::string file; // "-": no file at all
    std::string channel, message;
    int active, ddetimeout;
};

void PrintTo(const LoadCase &c, std::ostream *os)
{
    *os << c.name;
}

class LoadTest : public PluginTest, public ::testing::WithParamInterface<LoadCase>
{
};

TEST_P(LoadTest, MissingKeysTakeTheirDefaults)
{
    const LoadCase &c = GetParam();
    if (c.file != "-")
        world.files[iniPath] = c.file;
    locateSettingsFile(standin::moduleHandle());
    loadSettings();
    EXPECT_EQ(pluginSettings.channel, c.channel);
    EXPECT_EQ(pluginSettings.message, c.message);
    EXPECT_EQ(pluginSettings.active, c.active);
    EXPECT_EQ(pluginSettings.ddetimeout, c.ddetimeout);
}

const std::string defaultMessage = "/me is listening to %s on Winamp";

INSTANTIATE_TEST_SUITE_P(
    Files, LoadTest,
    ::testing::Values(
        LoadCase{"NoFile", "-", "active", defaultMessage, 0, 3000},
        LoadCase{"OtherSectionOnly", "[other]\r\nactive=1\r\n", "active", defaultMessage, 0, 3000},
        LoadCase{"OnlyActive", "[brelk]\r\nactive=1\r\n", "active", defaultMessage, 1, 3000},
        LoadCase{"All", "[brelk]\r\nchannel=#x\r\nmessage=np %s\r\nactive=5\r\nddetimeout=99\r\n",
                 "#x", "np %s", 5, 99},
        LoadCase{"EmptyValues", "[brelk]\r\nchannel=\r\nmessage=\r\n", "", "", 0, 3000},
        LoadCase{"LongValues",
                 "[brelk]\r\nchannel=" + std::string(50, 'c') +
                     "\r\nmessage=" + std::string(100, 'm') + "\r\n",
                 std::string(39, 'c'), std::string(79, 'm'), 0, 3000}),
    [](const ::testing::TestParamInfo<LoadCase> &i) { return std::string(i.param.name); });

TEST_F(PluginTest, AFirstSaveOntoAMissingFileWritesTheFourKeysInOrder)
{
    locateSettingsFile(standin::moduleHandle());
    loadSettings();
    world.calls.clear();
    saveSettings();
    const std::string ini = "\"" + std::string(iniPath) + "\")";
    EXPECT_THAT(
        world.calls,
        ElementsAre("WritePrivateProfileStringA(\"brelk\", \"message\", \"" + defaultMessage +
                        "\", " + ini,
                    "WritePrivateProfileStringA(\"brelk\", \"channel\", \"active\", " + ini,
                    "WritePrivateProfileStringA(\"brelk\", \"active\", \"0\", " + ini,
                    "WritePrivateProfileStringA(\"brelk\", \"ddetimeout\", \"3000\", " + ini));
    EXPECT_EQ(world.files[iniPath], "[brelk]\r\nmessage=" + defaultMessage +
                                        "\r\nchannel=active\r\nactive=0\r\nddetimeout=3000\r\n");
}

TEST_F(PluginTest, SavingWritesActiveAsOneOrZeroAndTheTimeOutAsItWasRead)
{
    struct {
        int active;
        int ddetimeout;
        const char *activeText;
        const char *timeoutText;
    } cases[] = {
        {5, 0, "1", "0"},
        {-3, -1, "1", "-1"},
        {0, INT_MAX, "0", "2147483647"},
        {1, INT_MIN, "1", "-2147483648"},
    };
    locateSettingsFile(standin::moduleHandle());
    for (const auto &c : cases) {
        pluginSettings.active = c.active;
        pluginSettings.ddetimeout = c.ddetimeout;
        world.calls.clear();
        saveSettings();
        ASSERT_EQ(world.calls.size(), 4u);
        EXPECT_THAT(world.calls[2],
                    ::testing::HasSubstr(std::string("\"active\", \"") + c.activeText + "\""));
        EXPECT_THAT(world.calls[3],
                    ::testing::HasSubstr(std::string("\"ddetimeout\", \"") + c.timeoutText + "\""));
    }
}
