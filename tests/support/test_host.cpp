#include "test_host.h"

#include "plugin/exports.h"
#include "plugin/plugin_state.h"

void ResetPluginAndHost() {
    Destructor();
    g_plugin.lastErrorCode = 0;
    g_plugin.lastErrorText.Empty();
    g_plugin.initialObject = 1000;
    g_plugin.initialImage = 1000;
    g_plugin.blendMode = 8;
    g_plugin.mediaIncluded = 0;
    g_plugin.ambientColour = 0;
    Constructor();
    simhost::Reset();
}

std::string LastErrorText() { return g_plugin.lastErrorText.CStr(); }
