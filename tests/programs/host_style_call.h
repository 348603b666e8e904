// Calling the plug-in's commands and the host's functions as the host does.
// Every argument and result of them is one 32-bit word (integers, floats,
// pointers; these are 32-bit programs), passed and returned by the C calling
// convention. Like the host, the caller makes each function's pointer type
// itself, so the sanitizer's check of function types is off here.
#pragma once

#include <cstdint>
#include <vector>

#define HOST_CDECL __attribute__((cdecl))

#if defined(__clang__)
#define KEP_HOST_STYLE_CALL __attribute__((no_sanitize("function")))
#else
#define KEP_HOST_STYLE_CALL
#endif

using Words = std::vector<uint32_t>;

KEP_HOST_STYLE_CALL inline uint32_t CallWords(void* function, const Words& a) {
    using W = uint32_t;
    switch (a.size()) {
    case 0:
        return reinterpret_cast<W(HOST_CDECL*)()>(function)();
    case 1:
        return reinterpret_cast<W(HOST_CDECL*)(W)>(function)(a[0]);
    case 2:
        return reinterpret_cast<W(HOST_CDECL*)(W, W)>(function)(a[0], a[1]);
    case 3:
        return reinterpret_cast<W(HOST_CDECL*)(W, W, W)>(function)(a[0], a[1], a[2]);
    case 4:
        return reinterpret_cast<W(HOST_CDECL*)(W, W, W, W)>(function)(a[0], a[1], a[2], a[3]);
    default:
        return reinterpret_cast<W(HOST_CDECL*)(W, W, W, W, W)>(function)(a[0], a[1], a[2], a[3],
                                                                         a[4]);
    }
}
