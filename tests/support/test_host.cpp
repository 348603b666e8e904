#include "test_host.h"

#include "map/host_records.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"

void ResetPluginAndHost() {
    Destructor();
    g_plugin.lastErrorCode = 0;
    g_plugin.lastErrorText.Empty();
    g_plugin.settings.initialObject = 1000;
    g_plugin.settings.initialImage = 1000;
    g_plugin.blendMode = 8;
    g_plugin.settings.mediaIncluded = 0;
    g_plugin.settings.ambientColour = 0;
    // The builder's limb counter and origin outlive maps by design; each test
    // starts from the values a freshly loaded plug-in has.
    g_plugin.build.limbCounter = 1;
    for (float& axis : g_plugin.build.buildOrigin)
        axis = 0.0f;
    g_plugin.build.recordLayout = HostRecordLayoutChoice();
    kep_records_test::WriteEveryMeshEachPass(false);
    Constructor();
    simhost::Reset();
}

std::string LastErrorText() {
    return g_plugin.lastErrorText.CStr();
}
