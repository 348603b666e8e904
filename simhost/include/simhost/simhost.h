// The stand-in host: our own small implementation of the host modules that the
// plug-in calls, built as a Linux i386 shared object named "DBProCore.dll".
// Tests link it and use this interface to set it up and look inside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
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

// Adds a call to a kFull log, or counts it for a kCounts one; nothing when off.
void Record(const char* name, const std::string& args);
void CountCall(const char* name);

// Forgets every call, lookup, run-time error, memblock, image, mesh, object and
// host string, and restores every setting below to its default.
void Reset();

// The call log. It is off by default and after Reset, so that the stand-in
// never slows a load down; a test that reads calls asks for them first.
// kCounts keeps only how many calls each function received; kFull also keeps
// the calls themselves (only those named in `fullNames`, when it names any),
// up to kMaxLoggedCalls, after which it keeps counting.
enum class CallLog { kOff, kCounts, kFull };
constexpr std::size_t kMaxLoggedCalls = 200000;
// Also forgets what was logged.
void SetCallLog(CallLog mode, std::initializer_list<const char*> fullNames = {});
CallLog CallLogMode();

// The logged calls in order. Reading them while the log is not kFull, or after
// it passed kMaxLoggedCalls, would give a wrong picture: that aborts the test.
const std::vector<Call>& Calls();
void ClearCalls();
// Only the calls with this short name, as Text() (the log must be kFull).
std::vector<std::string> CallsNamed(const std::string& name);
// How many calls this short name received (the log must be on).
std::size_t CallCount(const std::string& name);

// Logs one call when the log is on; `makeArgs` runs only for a kFull log.
template <typename MakeArgs> void LogCall(const char* name, MakeArgs makeArgs) {
    const CallLog mode = CallLogMode();
    if (mode == CallLog::kOff) return;
    if (mode == CallLog::kFull)
        Record(name, makeArgs());
    else
        CountCall(name);
}

// Every lookup name asked of any module (the core module included), in order.
const std::vector<std::string>& Lookups();

// A call the real host answers with a run-time error, which ends the script:
// a number outside the host's range, or a memblock, image, mesh, object or
// limb that does not exist where one must (or does where none may), a size
// below 1, a position outside a memblock, a file the plain image loader
// cannot read. The stand-in records it and does nothing else for the call, so
// that tests can ask that none was raised.
struct RunTimeError {
    std::string function;     // the host function's short name, e.g. "MakeMemblock"
    int code = 0;             // the host's run-time error number, e.g. 5102
    std::string args;         // the call's arguments as the call log writes them
    std::string Text() const; // "MakeMemblock(31,100): 5102"
};
// The host's numbers for the run-time errors the stand-in raises.
enum RunTimeErrorCode : int {
    kImageNumberIllegal = 501,
    kImageNotExist = 502,
    kImageLoadFailed = 506,
    kMemblockRangeIllegal = 5101,
    kMemblockAlreadyExists = 5102,
    kMemblockNotExist = 5103,
    kMemblockCreationFailed = 5104,
    kMemblockOutsideRange = 5105,
    kMemblockSizeInvalid = 5106,
    kMeshNumberIllegal = 7001,
    kMeshNotExist = 7003,
    kObjectNumberIllegal = 7006,
    kObjectAlreadyExists = 7007,
    kObjectNotExist = 7008,
    kLimbNumberIllegal = 7021,
    kLimbNotExist = 7023,
    kLimbOutOfSequence = 7026,
    // Not a run-time error: the host would write past its buffers (a name
    // longer than its image loader copies, for one).
    kBufferOverrun = -1,
};
// The numbers the host's functions take: memblocks 1 to 257, images and
// objects 1 to 22,000,000, meshes 1 to 22,000,000 (a mesh made from a
// memblock below 22,000,000), limbs 0 to 22,000,000.
constexpr int kLastMemblockNumber = 257;
constexpr int kLastImageNumber = 22000000;
constexpr int kLastObjectNumber = 22000000;
constexpr int kLastMeshNumber = 22000000;
constexpr int kLastLimbNumber = 22000000;
// Every run-time error raised since the last Reset or ClearRunTimeErrors.
const std::vector<RunTimeError>& RunTimeErrors();
void ClearRunTimeErrors();

// Failure knobs.
void SetGlobPtrReturnsZero(bool zero);
void HideFunction(const std::string& lookupName); // resolve gives null for it
void SetStringAllocatorLeavesZero(bool leaveZero);

// Where host mesh records keep their texture stages and render switches. Host
// releases differ; records made after the setting use it (Reset: Older).
enum class MeshRecordLayout {
    Older,        // stage count at 892, stage array at 904, 328-byte stages
    Current,      // stage count at 896, stage array at 908, 336-byte stages
    Unrecognised, // neither: a host whose records the plug-in must not touch
};
void SetMeshRecordLayout(MeshRecordLayout layout);
MeshRecordLayout GetMeshRecordLayout();

// Host strings handed out by the string allocator and not yet released.
std::size_t OutstandingHostStrings();
// Releases every outstanding host string (a host frees what scripts dropped).
void ReleaseHostStrings();

// The global structure (word 0 allocator, words 16/21/25 module handles).
uint32_t* GlobalStructure();

// Helpers for the modules: the lookup is logged and hidden names refused.
bool ResolveAllowed(const char* lookupName);
std::string FormatArgs(std::initializer_list<double> values);
// Logs one call whose arguments are numbers (cheap when the log is off).
template <typename... Values> void LogCallOf(const char* name, Values... values) {
    LogCall(name, [&] { return FormatArgs({static_cast<double>(values)...}); });
}
// Records run-time error `code` for a call when `refused`; returns `refused`,
// so that a module function can chain the host's checks in the host's order.
void RaiseRunTimeError(const char* name, int code, const std::string& args);
template <typename... Values>
bool RefuseCall(bool refused, int code, const char* name, Values... values) {
    if (refused) RaiseRunTimeError(name, code, FormatArgs({static_cast<double>(values)...}));
    return refused;
}

} // namespace simhost
