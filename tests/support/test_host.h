// Fixture helpers shared by the tests: a fresh stand-in host and plug-in state.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "simhost/simhost.h"

// Clears every loaded map, the plug-in's settings and the stand-in host.
void ResetPluginAndHost();

// The plug-in's last-error text, read without touching the error state.
std::string LastErrorText();

class PluginTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetPluginAndHost(); }
    void TearDown() override { ResetPluginAndHost(); }
};
