// Where a tool finds the stand-in host it loads maps beside.
#pragma once

#include <string>

namespace kepsession {

// The folder beside the program that holds the stand-in host. Its core
// module carries the real host's module name, DBProCore.dll, so it must never
// sit beside the plug-in, where a real host program started from that folder
// could load it in place of its own.
constexpr const char* kHostFolder = "kep-host";

// Makes the stand-in host the one the plug-in binds to. On Windows this loads
// kep-host\DBProCore.dll by its full path; when the plug-in (and the tool)
// later ask for "DBProCore.dll" by name, Windows hands them this module. On
// Linux the program's loader has already found the host beside the program.
// False, with the reason in `error`, when the host cannot be loaded.
bool LoadStandInHost(std::string* error);

} // namespace kepsession
