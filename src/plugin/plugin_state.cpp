#include "plugin/plugin_state.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "host/CLibrary.h"
#include "host/host_functions.h"

// Created at library load in this order: map list, error text, core holder.
PluginState g_plugin;
[[maybe_unused]] static CLibrary& g_coreHolderAtLoad = CoreModuleHolder();

void ResetLastError() {
    g_plugin.lastErrorText.Empty();
    g_plugin.lastErrorCode = 1;
}

void SetLastError(const char* message) {
    g_plugin.lastErrorText = message;
    g_plugin.lastErrorCode = 0;
}

void SetLastErrorF(const char* format, ...) {
    char message[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    SetLastError(message);
}

char* ReturnHostString(char* previous, const char* text) {
    host::DeleteHostString(previous);
    if (!text || !*text) return nullptr;
    const std::size_t length = std::strlen(text);
    char* result = host::CreateHostString(static_cast<uint32_t>(length + 1));
    if (result) std::memcpy(result, text, length + 1);
    return result;
}
