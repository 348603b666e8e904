#include "test_host.h"

#include "kep_session.h"
#include "map/host_records.h"
#include "plugin/plugin_state.h"

void ResetPluginAndHost() {
    kep_records_test::WriteEveryMeshEachPass(false);
    kepsession::Restart();
}

std::string LastErrorText() {
    return g_plugin.lastErrorText.CStr();
}
