#include "plugin/plugin_state.h"

#include <cstdio>
#include <cstring>

#include "host/CLibrary.h"
#include "host/host_functions.h"

// Created at library load in this order: map list, error text, core holder.
PluginState g_plugin;
[[maybe_unused]] static CLibrary& g_coreHolderAtLoad = CoreModuleHolder();

void ResetLastError() {
    // An empty text stays as it is: resetting never needs memory twice.
    if (!g_plugin.lastErrorText.Text() || !g_plugin.lastErrorText.IsEmpty())
        g_plugin.lastErrorText.Empty();
    g_plugin.lastErrorCode = 1;
}

void SetLastErrorText(const char* text) {
    g_plugin.lastErrorText = text;
    g_plugin.lastErrorCode = 0;
}

void SetLastError(KepMessage message) {
    SetLastErrorText(KepMessageText(message));
}

void SetLastError(KepMessage message, const char* argument) {
    char text[2048];
    std::snprintf(text, sizeof text, KepMessageText(message), argument);
    SetLastErrorText(text);
}

void SetLastError(KepMessage message, int32_t argument) {
    char text[2048];
    std::snprintf(text, sizeof text, KepMessageText(message), static_cast<int>(argument));
    SetLastErrorText(text);
}

char* ReturnHostString(char* previous, const char* text) {
    host::DeleteHostString(previous);
    if (!text || !*text) return nullptr;
    const std::size_t length = std::strlen(text);
    char* result = host::CreateHostString(static_cast<uint32_t>(length + 1));
    if (result) std::memcpy(result, text, length + 1);
    return result;
}
