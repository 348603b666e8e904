// The core module: GetGlobPtr, CloseDisplay, Quit, the global structure and
// the host string allocator; plus the call log that tests read.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include <kepimport/host_module.h>

#include "simhost/simhost.h"
#include "simhost_internal.h"

namespace simhost {
namespace {

CallLog g_callLog = CallLog::kOff;
std::vector<Call> g_calls;
std::set<std::string> g_fullNames; // empty: every name
bool g_callsOverflowed = false;
std::map<std::string, std::size_t> g_callCounts;
std::vector<std::string> g_lookups;
std::vector<RunTimeError> g_runTimeErrors;
std::set<std::string> g_hidden;
bool g_globPtrZero = false;
bool g_allocatorLeavesZero = false;
std::set<uint32_t> g_strings;
uint32_t g_global[128];

void __attribute__((cdecl)) StringAllocator(uint32_t* word, uint32_t size) {
    if (size == 0) {
        if (g_strings.erase(*word))
            std::free(reinterpret_cast<void*>(static_cast<uintptr_t>(*word)));
        *word = 0;
        return;
    }
    if (g_allocatorLeavesZero) return;
    void* block = std::calloc(1, size);
    *word = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(block));
    if (block) g_strings.insert(*word);
}

// A test that reads a log it did not turn on (or one that overflowed) would
// check nothing; stop it loudly instead.
void RequireLog(CallLog needed, const char* what) {
    if (g_callLog == CallLog::kOff || (needed == CallLog::kFull && g_callLog != CallLog::kFull)) {
        std::fprintf(stderr, "simhost: %s needs SetCallLog(CallLog::kFull%s) first\n", what,
                     needed == CallLog::kFull ? "" : " or kCounts");
        std::abort();
    }
    if (needed == CallLog::kFull && g_callsOverflowed) {
        std::fprintf(stderr, "simhost: %s: more than %zu calls were made; use CallCount\n", what,
                     kMaxLoggedCalls);
        std::abort();
    }
}

uint32_t __attribute__((cdecl)) GetGlobPtr() {
    Record("GetGlobPtr", "");
    return g_globPtrZero ? 0
                         : static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GlobalStructure()));
}

uint32_t __attribute__((cdecl)) CloseDisplay() {
    Record("CloseDisplay", "");
    return 0;
}

uint32_t __attribute__((cdecl)) Quit() {
    Record("Quit", "");
    return 0;
}

void* ResolveCore(const char* name) {
    if (!ResolveAllowed(name)) return nullptr;
    const std::string n(name);
    if (n == "?GetGlobPtr@@YAKXZ") return reinterpret_cast<void*>(&GetGlobPtr);
    if (n == "?CloseDisplay@@YAKXZ") return reinterpret_cast<void*>(&CloseDisplay);
    if (n == "?Quit@@YAKXZ") return reinterpret_cast<void*>(&Quit);
    return nullptr;
}

} // namespace

uint32_t* GlobalStructure() {
    auto word = [](const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); };
    g_global[0] = word(reinterpret_cast<const void*>(&StringAllocator));
    g_global[16] = word(&ImageModule());
    g_global[21] = word(&MemblockModule());
    g_global[25] = word(&ObjectModule());
    return g_global;
}

void Reset() {
    SetCallLog(CallLog::kOff);
    g_lookups.clear();
    ClearRunTimeErrors();
    g_hidden.clear();
    g_globPtrZero = false;
    g_allocatorLeavesZero = false;
    SetMeshRecordLayout(MeshRecordLayout::Older);
    ReleaseHostStrings();
    ResetMemblocks();
    ResetImages();
    ResetObjects();
}

void SetCallLog(CallLog mode, std::initializer_list<const char*> fullNames) {
    g_callLog = mode;
    g_fullNames.clear();
    for (const char* name : fullNames)
        g_fullNames.insert(name);
    ClearCalls();
}

CallLog CallLogMode() {
    return g_callLog;
}

const std::vector<Call>& Calls() {
    RequireLog(CallLog::kFull, "Calls");
    return g_calls;
}

void ClearCalls() {
    std::vector<Call>().swap(g_calls);
    g_callCounts.clear();
    g_callsOverflowed = false;
}

std::vector<std::string> CallsNamed(const std::string& name) {
    if (!g_fullNames.empty() && !g_fullNames.count(name)) {
        std::fprintf(stderr, "simhost: CallsNamed(%s): the log keeps no such calls\n",
                     name.c_str());
        std::abort();
    }
    std::vector<std::string> out;
    for (const Call& call : Calls())
        if (call.name == name) out.push_back(call.Text());
    return out;
}

std::size_t CallCount(const std::string& name) {
    RequireLog(CallLog::kCounts, "CallCount");
    auto it = g_callCounts.find(name);
    return it == g_callCounts.end() ? 0 : it->second;
}

void CountCall(const char* name) {
    if (g_callLog != CallLog::kOff) ++g_callCounts[name];
}

void Record(const char* name, const std::string& args) {
    if (g_callLog == CallLog::kOff) return;
    CountCall(name);
    if (g_callLog != CallLog::kFull || (!g_fullNames.empty() && !g_fullNames.count(name))) return;
    if (g_calls.size() < kMaxLoggedCalls)
        g_calls.push_back({name, args});
    else
        g_callsOverflowed = true;
}

const std::vector<std::string>& Lookups() {
    return g_lookups;
}

std::string RunTimeError::Text() const {
    return function + "(" + args + "): " + std::to_string(code);
}

void RaiseRunTimeError(const char* name, int code, const std::string& args) {
    g_runTimeErrors.push_back({name, code, args});
}

const std::vector<RunTimeError>& RunTimeErrors() {
    return g_runTimeErrors;
}

void ClearRunTimeErrors() {
    std::vector<RunTimeError>().swap(g_runTimeErrors);
}

void SetGlobPtrReturnsZero(bool zero) {
    g_globPtrZero = zero;
}
void HideFunction(const std::string& lookupName) {
    g_hidden.insert(lookupName);
}
void SetStringAllocatorLeavesZero(bool leaveZero) {
    g_allocatorLeavesZero = leaveZero;
}

std::size_t OutstandingHostStrings() {
    return g_strings.size();
}

void ReleaseHostStrings() {
    for (uint32_t s : g_strings)
        std::free(reinterpret_cast<void*>(static_cast<uintptr_t>(s)));
    g_strings.clear();
}

bool ResolveAllowed(const char* lookupName) {
    if (!lookupName) return false;
    g_lookups.emplace_back(lookupName);
    return g_hidden.count(lookupName) == 0;
}

std::string FormatArgs(std::initializer_list<double> values) {
    std::string out;
    char buffer[64];
    for (double v : values) {
        if (!out.empty()) out += ',';
        std::snprintf(buffer, sizeof buffer, "%.9g", v);
        out += buffer;
    }
    return out;
}

} // namespace simhost

extern "C" {
__attribute__((visibility("default"))) HostModule host_module = {&simhost::ResolveCore};
}
