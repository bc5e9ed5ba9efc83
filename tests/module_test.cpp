// The built modules as a user receives them: one export, the system's own
// DLLs only, a small file, and the configuration dialog as its one resource.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "pe_image.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace
{

struct Control {
    uint16_t classAtom; // 0x80 button, 0x81 edit, 0x82 static
    uint16_t id;
    int16_t x, y, cx, cy;
    uint32_t style;
    const char *text;
};

const Control controls[] = {
    {0x80, 1, 5, 55, 50, 15, 0x50010001, "OK"},
    {0x80, 2, 60, 55, 50, 15, 0x50010000, "Cancel"},
    {0x80, 1000, 115, 55, 50, 15, 0x50010000, "&Apply"},
    {0x80, 1001, 5, 35, 70, 10, 0x50010003, "DDE link A&ctive"},
    {0x81, 1002, 5, 20, 60, 12, 0x50810080, ""},
    {0x82, 0xFFFF, 5, 0, 80, 15, 0x50020000, "Channel or \"active\" for current window"},
    {0x82, 0xFFFF, 100, 5, 125, 10, 0x50020000, "String to send (%s inserts title)"},
    {0x81, 1003, 100, 20, 165, 12, 0x50810080, ""},
    {0x82, 0xFFFF, 100, 35, 165, 10, 0x50020000, nullptr}, // the credit line: any short text
};

// Reads the classic dialog template field by field and lists every field
// that is not what the configuration dialog must be. Padding must be zero,
// so that no byte of the template goes unchecked.
class TemplateReader
{
  public:
    explicit TemplateReader(const std::vector<uint8_t> &bytes) : b(bytes) {}

    // Where the credit line's characters are: free text, so not checked byte by byte.
    size_t creditBegin = 0, creditEnd = 0;

    std::vector<std::string> differences()
    {
        expect("style", dword(), 0x80C800C0u);
        expect("extended style", dword(), 0u);
        expect("control count", word(), 9u);
        expect("x", word(), 0u);
        expect("y", word(), 0u);
        expect("width", word(), 267u);
        expect("height", word(), 71u);
        expect("menu", word(), 0u);
        expect("class", word(), 0u);
        expectText("caption", text(), "BRELK DDE Config Dialog");
        expect("point size", word(), 8u);
        expectText("font", text(), "MS Sans Serif");
        for (const Control &c : controls) {
            align();
            std::string n = "control " + std::to_string(&c - controls + 1) + " ";
            expect(n + "style", dword(), c.style);
            expect(n + "extended style", dword(), 0u);
            expect(n + "x", word(), (uint16_t)c.x);
            expect(n + "y", word(), (uint16_t)c.y);
            expect(n + "width", word(), (uint16_t)c.cx);
            expect(n + "height", word(), (uint16_t)c.cy);
            expect(n + "id", word(), c.id);
            expect(n + "class marker", word(), 0xFFFFu);
            expect(n + "class", word(), c.classAtom);
            size_t textAt = pos;
            std::string t = text();
            if (!c.text) {
                creditBegin = textAt;
                creditEnd = textAt + 2 * t.size();
            }
            if (c.text)
                expectText(n + "text", t, c.text);
            else if (t.empty() || t.size() > 40)
                found.push_back(n + "text: a short credit line, not \"" + t + "\"");
            expect(n + "creation data", word(), 0u);
        }
        // Whatever follows the last control is padding.
        while (pos < b.size())
            if (b[pos++] != 0)
                found.push_back("trailing bytes");
        if (overrun)
            found.push_back("template ends early");
        return found;
    }

  private:
    const std::vector<uint8_t> &b;
    size_t pos = 0;
    bool overrun = false;
    std::vector<std::string> found;

    uint32_t word()
    {
        if (pos + 2 > b.size()) {
            overrun = true;
            pos = b.size();
            return 0xDEAD0000u;
        }
        uint32_t v = b[pos] | b[pos + 1] << 8;
        pos += 2;
        return v;
    }
    uint32_t dword()
    {
        uint32_t lo = word(), hi = word();
        return lo | hi << 16;
    }
    // UTF-16, kept only when every unit is ASCII; "\x01" marks anything else.
    std::string text()
    {
        std::string s;
        for (uint32_t u; (u = word()) != 0 && !overrun;)
            s.push_back(u < 0x80 ? (char)u : '\x01');
        return s;
    }
    void align()
    {
        while (pos % 4 && pos < b.size())
            if (b[pos++] != 0)
                found.push_back("padding at " + std::to_string(pos - 1));
    }
    void expect(const std::string &what, uint32_t got, uint32_t want)
    {
        if (got != want)
            found.push_back(what + ": " + std::to_string(got) + " instead of " +
                            std::to_string(want));
    }
    void expectText(const std::string &what, const std::string &got, const std::string &want)
    {
        if (got != want)
            found.push_back(what + ": \"" + got + "\" instead of \"" + want + "\"");
    }
};

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

struct Module {
    const char *path;
    uint16_t machine;
    bool plus;
};

void PrintTo(const Module &m, std::ostream *os)
{
    *os << m.path;
}

class ModuleTest : public ::testing::TestWithParam<Module>
{
  protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(loadPe(GetParam().path, &image, &error))
            << error << " (build the win32 and win64 presets first)";
    }
    PeImage image;
};

} // namespace

TEST_P(ModuleTest, IsADllForItsMachine)
{
    EXPECT_EQ(image.machine, GetParam().machine);
    EXPECT_EQ(image.plus, GetParam().plus);
    EXPECT_TRUE(image.characteristics & 0x2000) << "not a DLL";
    EXPECT_EQ(image.timeDateStamp, 0u) << "a build time in the file";
}

TEST_P(ModuleTest, ExportsTheOneUndecoratedName)
{
    std::vector<std::string> names;
    std::string error;
    ASSERT_TRUE(exportNames(image, &names, &error)) << error;
    EXPECT_THAT(names, ElementsAre("winampGetGeneralPurposePlugin"));
}

TEST_P(ModuleTest, ImportsOnlyFromTheSystemsOwnDlls)
{
    std::vector<std::string> modules;
    std::string error;
    ASSERT_TRUE(importModules(image, &modules, &error)) << error;
    for (std::string &m : modules)
        m = lower(m);
    EXPECT_THAT(modules, UnorderedElementsAre("kernel32.dll", "user32.dll", "msvcrt.dll"));
}

TEST_P(ModuleTest, HoldsTheConfigurationDialogAsItsOnlyResource)
{
    std::vector<Resource> found;
    std::string error;
    ASSERT_TRUE(resources(image, &found, &error)) << error;
    ASSERT_EQ(found.size(), 1u);
    const Resource &r = found[0];
    EXPECT_FALSE(r.namedType);
    EXPECT_FALSE(r.namedName);
    EXPECT_EQ(r.type, 5u) << "not RT_DIALOG";
    EXPECT_EQ(r.name, 101u);
    EXPECT_EQ(r.language, 1033u);
    EXPECT_THAT(TemplateReader(r.data).differences(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Builds, ModuleTest,
                         ::testing::Values(Module{PRODUCT_DLL, 0x014C, false},
                                           Module{TWIN_DLL, 0x8664, true}),
                         [](const ::testing::TestParamInfo<Module> &i) {
                             return std::string(i.param.plus ? "Win64Twin" : "Win32Product");
                         });

TEST(ShippedModule, IsAtMost16KiB)
{
    PeImage image;
    std::string error;
    ASSERT_TRUE(loadPe(PRODUCT_DLL, &image, &error)) << error;
    EXPECT_LE(image.bytes.size(), 16384u);
}

TEST(DialogTemplateCheck, NoticesAChangeInAnyByte)
{
    PeImage image;
    std::vector<Resource> found;
    std::string error;
    ASSERT_TRUE(loadPe(PRODUCT_DLL, &image, &error)) << error;
    ASSERT_TRUE(resources(image, &found, &error)) << error;
    ASSERT_EQ(found.size(), 1u);
    const std::vector<uint8_t> good = found[0].data;
    TemplateReader reader(good);
    ASSERT_THAT(reader.differences(), IsEmpty());
    ASSERT_LT(reader.creditBegin, reader.creditEnd);
    for (size_t i = 0; i < good.size(); ++i) {
        if (i >= reader.creditBegin && i < reader.creditEnd)
            continue;
        for (uint8_t flip : {0x01, 0x80}) {
            std::vector<uint8_t> bad = good;
            bad[i] ^= flip;
            EXPECT_THAT(TemplateReader(bad).differences(), ::testing::Not(IsEmpty()))
                << "byte " << i << " flipped by " << int(flip);
        }
    }
    std::vector<uint8_t> shorter(good.begin(), good.end() - 8);
    EXPECT_THAT(TemplateReader(shorter).differences(), ::testing::Not(IsEmpty()));
}
