#include "fixture.h"

#include <cstring>

#include "plugin_state.h"

const char *const iniPath = "C:\\Player\\Plugins\\gen_brelk.ini";

void PluginTest::SetUp()
{
    standin::reset();
    standin::nameProcedure((const void *)hostWindowProc, "hostWindowProc");
    standin::nameProcedure((const void *)configDialogProc, "configDialogProc");

    resetPluginState();

    // What the host does before it calls init.
    pluginRecord.hostWindow = standin::hostWindow();
    pluginRecord.moduleInstance = standin::moduleHandle();
    host.state = 0;
}

void PluginTest::TearDown()
{
    EXPECT_THAT(world.faults, ::testing::IsEmpty());
}

void PluginTest::start(const std::string &ini)
{
    world.files[iniPath] = ini;
    EXPECT_EQ(initPlugin(), 0);
    world.calls.clear();
}

void PluginTest::startWithoutFile()
{
    EXPECT_EQ(initPlugin(), 0);
    world.calls.clear();
}

void PluginTest::play(const std::string &title, WPARAM position)
{
    host.state = 1;
    host.position = (LRESULT)position;
    host.titles[position] = title;
}

void PluginTest::stop()
{
    host.state = 0;
}

LRESULT PluginTest::tick(UINT message)
{
    return standin::deliver(message, 0x11, 0x22);
}

std::vector<std::string> PluginTest::pokedTexts() const
{
    std::vector<std::string> texts;
    for (const standin::Poke &p : world.dde.pokes)
        texts.push_back(p.data.substr(0, p.data.size() - 1));
    return texts;
}
