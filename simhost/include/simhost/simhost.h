// The stand-in host: our own small implementation of the host modules that the
// plug-in calls, built as a Linux i386 shared object named "DBProCore.dll".
// Tests link it and use this interface to set it up and look inside it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace simhost {

// One call the plug-in made into the host: the host function's short name
// ("AddLimb") and its arguments as text ("1000,1,1"; floats as %.9g).
struct Call {
    std::string name;
    std::string args;
    std::string Text() const { return name + "(" + args + ")"; }
};

// Forgets every call, lookup, memblock, image, mesh, object and host string,
// and restores every setting below to its default.
void Reset();

const std::vector<Call>& Calls();
void ClearCalls();
// Only the calls with this short name, as Text().
std::vector<std::string> CallsNamed(const std::string& name);
void Record(const char* name, const std::string& args);

// Every lookup name asked of any module (the core module included), in order.
const std::vector<std::string>& Lookups();

// Failure knobs.
void SetGlobPtrReturnsZero(bool zero);
void HideFunction(const std::string& lookupName); // resolve gives null for it
void SetStringAllocatorLeavesZero(bool leaveZero);

// Host strings handed out by the string allocator and not yet released.
std::size_t OutstandingHostStrings();
// Releases every outstanding host string (a host frees what scripts dropped).
void ReleaseHostStrings();

// The global structure (word 0 allocator, words 16/21/25 module handles).
uint32_t* GlobalStructure();

// Helpers for the modules: the lookup is logged and hidden names refused.
bool ResolveAllowed(const char* lookupName);
std::string FormatArgs(std::initializer_list<double> values);

} // namespace simhost
