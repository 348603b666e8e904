// "KEP ERROR", "KEP ERROR TEXT", "KEP VERSION", "KEP BREAK", "KEP BLEND MODE",
// "KEP MAP OFFSET", "KEP INITIAL OBJECT", "KEP INITIAL IMAGE",
// "KEP INCLUDED AS MEDIA", "KEP AMBIENT" and the host's start call: commands
// that touch no map, only the plug-in's settings for the next load, its last
// error and its version text.
#include <cstring>

#include "core/calling.h"
#include "host/host_functions.h"
#include "host/platform.h"
#include "plugin/exports.h"
#include "plugin/guard.h"
#include "plugin/plugin_state.h"

namespace {
const char kVersionText[] = "KEP map importer for DarkBASIC Professional";
}

KEP_EXPORT void KEP_CDECL Constructor() {
    g_plugin.settings.mapOffset[0] = g_plugin.settings.mapOffset[1] =
        g_plugin.settings.mapOffset[2] = 0.0f;
}

KEP_EXPORT int32_t KEP_CDECL KEP_GetLastError() {
    return g_plugin.lastErrorCode;
}

KEP_EXPORT char* KEP_CDECL KEP_GetLastErrorText(char* previous) {
    return Guarded<char*>(
        nullptr, [&] { return ReturnHostString(previous, g_plugin.lastErrorText.CStr()); });
}

KEP_EXPORT char* KEP_CDECL KEP_Version(char* previous) {
    ResetLastError();
    return Guarded<char*>(nullptr, [&] { return ReturnHostString(previous, kVersionText); });
}

KEP_EXPORT void KEP_CDECL KEP_Break() {
    platform::BreakIfDebuggerAttached();
}

KEP_EXPORT void KEP_CDECL KEP_InitialObject(int32_t number) {
    ResetLastError();
    g_plugin.settings.initialObject = number;
}

KEP_EXPORT void KEP_CDECL KEP_InitialImage(int32_t number) {
    ResetLastError();
    g_plugin.settings.initialImage = number;
}

KEP_EXPORT void KEP_CDECL KEP_BlendMode(uint32_t mode) {
    ResetLastError();
    g_plugin.blendMode = mode;
}

KEP_EXPORT void KEP_CDECL KEP_MapOffset(float x, float y, float z) {
    ResetLastError();
    g_plugin.settings.mapOffset[0] = x;
    g_plugin.settings.mapOffset[1] = y;
    g_plugin.settings.mapOffset[2] = z;
}

KEP_EXPORT void KEP_CDECL KEP_MediaIncluded(int32_t flag) {
    g_plugin.settings.mediaIncluded = flag;
}

KEP_EXPORT void KEP_CDECL KEP_SetAmbient(int32_t colour) {
    g_plugin.settings.ambientColour = static_cast<uint32_t>(colour);
}
