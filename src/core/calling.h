// Calling convention and export markers shared by every part of the plug-in.
// Both builds are i386: the host calls everything with the C convention.
#pragma once

#if defined(__i386__)
#define KEP_CDECL __attribute__((cdecl))
#else
#define KEP_CDECL
#endif

// Exports are listed by name in the generated module definition (Windows) and
// linker version script (Linux); on Linux they also need default visibility
// because everything else is built hidden.
#if defined(_WIN32)
#define KEP_EXPORT extern "C"
#else
#define KEP_EXPORT extern "C" __attribute__((visibility("default")))
#endif
