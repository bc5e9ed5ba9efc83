// A loaded module in a fresh stand-in world, before the host calls init.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "announcer/announcer.h"
#include "settings/settings.h"
#include "shell/plugin.h"
#include "standin.h"

extern const char *const iniPath;

class PluginTest : public ::testing::Test
{
  protected:
    void SetUp() override;
    void TearDown() override;

    // The host's start: record filled in, init called; the log starts after it.
    void start(const std::string &ini);
    void startWithoutFile();

    // The host is playing entry position, whose title is title.
    void play(const std::string &title, WPARAM position = 0);
    void stop();
    // One ordinary message through the host window, as the platform delivers it.
    LRESULT tick(UINT message = 0x0200);

    std::vector<std::string> pokedTexts() const;

    standin::World &world = standin::world;
    standin::Host &host = standin::world.hostAnswers;
};
