// What the test programs do through the operating system; everything else in
// them is one source for the Windows DLL and the Linux shared object.
#pragma once

#include <string>
#include <vector>

namespace outside {

// The plug-in: LoadLibraryA and GetProcAddress on Windows, dlopen and dlsym on
// Linux. Null when it cannot be loaded or has no such export.
void* LoadPlugin(const std::string& path);
void* PluginExport(void* plugin, const char* name);

// The host's core module, loaded from `directory` before any plug-in as the
// host does, so that the plug-in's own load of "DBProCore.dll" finds it. The
// result is a module handle as the global structure holds them.
void* LoadHostCore(const std::string& directory);
// A host function found by its lookup name in a module handle; null if none.
void* HostFunction(void* module, const char* lookupName);

// Runs this program again with `arguments` in a process that can find no
// DBProCore.dll; returns its exit code, or -1 when it did not run or exit.
int RunWithoutHost(const std::string& self, const std::vector<std::string>& arguments);

// Makes the plug-in's message boxes write "caption: text" lines to stderr (the
// Linux plug-in writes them there itself).
void CaptureMessageBoxes(void* plugin);

} // namespace outside
