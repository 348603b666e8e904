// Fixture helpers shared by the tests: a fresh stand-in host and plug-in state.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "kep_session.h"
#include "plugin/plugin_state.h"
#include "simhost/simhost.h"

// The plug-in's last-error text, read without touching the error state.
inline std::string LastErrorText() {
    return g_plugin.lastErrorText.CStr();
}

class PluginTest : public ::testing::Test {
  protected:
    void SetUp() override { kepsession::Restart(); }
    void TearDown() override { kepsession::Restart(); }
};
