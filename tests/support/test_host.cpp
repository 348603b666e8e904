#include "test_host.h"

#include "kep_session.h"
#include "map/host_records.h"
#include "map/kep_model.h"
#include "plugin/plugin_state.h"

void ResetPluginAndHost() {
    kep_records_test::WriteEveryMeshEachPass(false);
    kep_model_test::KeepGeometry(false);
    kepsession::Restart();
}

std::string LastErrorText() {
    return g_plugin.lastErrorText.CStr();
}
