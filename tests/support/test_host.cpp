#include "test_host.h"

#include "kep_session.h"
#include "plugin/plugin_state.h"

void ResetPluginAndHost() {
    kepsession::Restart();
}

std::string LastErrorText() {
    return g_plugin.lastErrorText.CStr();
}
