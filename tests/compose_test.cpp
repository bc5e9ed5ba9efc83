// Filling the title into the user's template: the same text as snprintf for
// the templates the dialog invites, plain text for everything else, and never
// a byte outside the title, the template and the 256-byte buffer.
#include "fixture.h"

#include <cstdio>
#include <memory>

namespace
{

// Copies of the inputs in blocks of their exact size, so that any read
// beyond a terminator is an overflow the sanitizer reports.
std::string compose(const std::string &tmpl, const std::string &title, size_t *length = nullptr)
{
    std::unique_ptr<char[]> t(new char[tmpl.size() + 1]), s(new char[title.size() + 1]);
    std::memcpy(t.get(), tmpl.c_str(), tmpl.size() + 1);
    std::memcpy(s.get(), title.c_str(), title.size() + 1);
    char text[ANNOUNCEMENT_SIZE + 16];
    std::memset(text, 0x5A, sizeof text);
    size_t n = composeAnnouncement(text, ANNOUNCEMENT_SIZE, t.get(), s.get());
    for (size_t i = ANNOUNCEMENT_SIZE; i < sizeof text; ++i)
        EXPECT_EQ(text[i], 0x5A) << "written past the buffer at " << i;
    EXPECT_EQ(n, std::strlen(text));
    if (length)
        *length = n;
    return text;
}

std::string viaSnprintf(const std::string &tmpl, const std::string &title)
{
    char text[ANNOUNCEMENT_SIZE];
    std::snprintf(text, sizeof text, tmpl.c_str(), title.c_str());
    return text;
}

} // namespace

TEST(Compose, TemplatesWithOneStringConversionMatchSnprintf)
{
    const std::string templates[] = {
        "/me is listening to %s on Winamp",
        "%s",
        "np: %s",
        "100%% pure: %s",
        "%%s is not a conversion, %s is",
        "%s%%",
        "%10s|",
        "%-10s|",
        "%.3s|",
        "%10.3s|",
        "%-10.3s|",
        "%.0s|",
        "%.s|",
        "% s|",
        "%+s|",
        "%#s|",
        "%05s|",
        "%-+ #0 12.4s|",
        "[%300s]",
        "%-300s",
        std::string(77, 'x') + "%s",
    };
    const std::string titles[] = {"Song", "", "50% off %s %d %n", std::string(63, 'a'),
                                  std::string(255, 'b')};
    for (const std::string &t : templates)
        for (const std::string &title : titles)
            EXPECT_EQ(compose(t, title), viaSnprintf(t, title)) << t << " / " << title;
}

TEST(Compose, TemplatesWithoutAConversionMatchSnprintf)
{
    for (const char *t : {"", "plain text", "100%% sure", "%%%%", "%%s"})
        EXPECT_EQ(compose(t, "ignored"), viaSnprintf(t, "ignored")) << t;
}

TEST(Compose, EveryOtherPercentSequenceIsPlainText)
{
    struct {
        const char *tmpl;
        const char *expected;
    } cases[] = {
        {"%s and %s", "T and %s"},
        {"%s %s %s", "T %s %s"},
        {"%d %s", "%d T"},
        {"%n%s", "%nT"},
        {"%*s|%s", "%*s|T"},
        {"%ls %s", "%ls T"},
        {"%5d%s", "%5dT"},
        {"50%", "50%"},
        {"%", "%"},
        {"%s 100%", "T 100%"},
        {"%-", "%-"},
        {"%10", "%10"},
        {"%.", "%."},
        {"%%%s", "%T"},
        {"%s%%%s", "T%%s"},
        {"%p %x %c %f", "%p %x %c %f"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(compose(c.tmpl, "T"), c.expected) << c.tmpl;
}

TEST(Compose, TheTitleIsDataNotFormat)
{
    EXPECT_EQ(compose("<%s>", "%s %n %d %%"), "<%s %n %d %%>");
}

TEST(Compose, ALongerTextIsCutTo255)
{
    size_t length;
    const std::string tmpl = std::string(79, 'm');
    EXPECT_EQ(compose(tmpl.substr(0, 77) + "%s", std::string(400, 't'), &length),
              (std::string(77, 'm') + std::string(400, 't')).substr(0, 255));
    EXPECT_EQ(length, 255u);
    EXPECT_EQ(compose("%99999999999999999999s", "x"), std::string(255, ' '));
    EXPECT_EQ(compose("%.99999999999999999999s", "abc"), "abc");
}

TEST(Compose, ATinyBufferStillEndsInZero)
{
    char text[1] = {'x'};
    EXPECT_EQ(composeAnnouncement(text, 1, "%s", "title"), 0u);
    EXPECT_EQ(text[0], 0);
}

TEST_F(PluginTest, ThePokeCarriesTheComposedTextAndOneZero)
{
    struct {
        const char *tmpl;
        const char *title;
        const char *text;
    } cases[] = {
        {"%s", "Alone", "Alone"},
        {"/me is listening to %s on Winamp", "", "/me is listening to  on Winamp"},
        {"no title here, 100%%", "Song", "no title here, 100%"},
        {"", "Song", ""},
    };
    start("[brelk]\r\nactive=1\r\n");
    for (const auto &c : cases) {
        world.dde.pokes.clear();
        std::strcpy(pluginSettings.message, c.tmpl);
        std::strcpy(lastTitle, "");
        play(c.title);
        play(std::string(c.title) + "?");
        tick(); // a different title first, so that c.title is a change
        world.dde.pokes.clear();
        play(c.title);
        tick();
        ASSERT_EQ(world.dde.pokes.size(), 1u) << c.tmpl;
        EXPECT_EQ(world.dde.pokes[0].data, std::string(c.text) + '\0') << c.tmpl;
        EXPECT_EQ(world.dde.pokes[0].length, std::strlen(c.text) + 1);
    }
}

TEST_F(PluginTest, The79CharacterTemplateAndThe63CharacterTitleMake141Bytes)
{
    start("[brelk]\r\nactive=1\r\n");
    std::string tmpl = std::string(40, 'a') + "%s" + std::string(37, 'b');
    ASSERT_EQ(tmpl.size(), 79u);
    std::strcpy(pluginSettings.message, tmpl.c_str());
    play(std::string(63, 'c'));
    tick();
    ASSERT_EQ(world.dde.pokes.size(), 1u);
    EXPECT_EQ(world.dde.pokes[0].length, 141u);
}
