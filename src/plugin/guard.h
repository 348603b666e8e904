// Keeps C++ exceptions inside the plug-in: an export runs its body through
// Guarded, and a failed allocation becomes the command's failure result.
#pragma once

#include <new>

#include "plugin/plugin_state.h"

template <class Result, class Body> Result Guarded(Result failure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        SetLastError(KepMessage::InsufficientMemory);
        return failure;
    }
}
