// The thin platform layer: with core/file_access, the only code that differs
// between the Windows DLL and the Linux shared library. On Windows these are the real system calls;
// on Linux they follow the host module contract of <kepimport/host_module.h>.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace platform {

// Loads a host module by file name; returns its handle or null.
void* LoadLibraryA(const char* fileName);
// Looks an exact lookup name up in a module; null when either is unknown.
void* GetProcAddress(void* module, const char* lookupName);
void FreeLibrary(void* module);
[[noreturn]] void ExitProcess(unsigned code);
void MessageBoxA(const char* text, const char* caption, unsigned type);

// True when every byte of [address, address + bytes) is committed memory the
// process may read and write. Used before writing into records the host hands
// out whose layout is not known in advance; not meant for hot paths.
bool IsWritableMemory(const void* address, std::size_t bytes);

// True when `address` lies in committed memory the process may execute: the
// code of a module that is still loaded. Not meant for hot paths.
bool IsExecutableMemory(const void* address);

// "KEP BREAK": a breakpoint trap when, and only when, a debugger is attached.
void BreakIfDebuggerAttached();

} // namespace platform
