#include "kep_session.h"

#include <cstring>

#include "host/host_functions.h"
#include "map/host_records.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "simhost/simhost.h"

namespace kepsession {
namespace {

// The oddities of the last load; every load through the session collects them.
KEP_Oddities g_oddities;

void StartLoad() {
    g_plugin.lastLoadFailure.clear();
    g_oddities.clear();
    g_plugin.loadOddities = &g_oddities;
}

std::string LastErrorText() {
    return g_plugin.lastErrorText.CStr();
}

bool Finish(int32_t result, std::string* error) {
    g_plugin.loadOddities = nullptr;
    if (!result && error) *error = LastErrorText();
    return result != 0;
}

} // namespace

void Restart() {
    Destructor();
    g_plugin.lastErrorCode = 0;
    g_plugin.lastErrorText.Empty();
    g_plugin.settings = KEP_LoadSettings();
    g_plugin.blendMode = 8;
    g_plugin.mapNumberCounter = 0;
    // The builder's limb counter and origin outlive maps by design; a restart
    // gives them the values a freshly loaded plug-in has.
    g_plugin.build = KEP_BuildState();
    Constructor();
    simhost::Reset();
}

void Stop() {
    Destructor();
    simhost::ReleaseHostStrings();
}

bool LoadFile(const std::string& path, int32_t lightmapFlag, std::string* error) {
    simhost::ClearCalls();
    StartLoad();
    return Finish(KEP_Load(path.c_str(), lightmapFlag), error);
}

bool PutInMemblock(int memblock, const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return true;
    // The host makes no memblock under a number in use, as a script learns.
    if (host::memblock::MemblockExist(memblock)) host::memblock::DeleteMemblock(memblock);
    host::memblock::MakeMemblock(memblock, static_cast<int>(bytes.size()));
    const uint32_t address = host::memblock::GetMemblockPtr(memblock);
    if (address == 0 || host::memblock::GetMemblockSize(memblock) != static_cast<int>(bytes.size()))
        return false;
    std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), bytes.data(),
                bytes.size());
    simhost::ClearCalls();
    return true;
}

bool LoadBytes(const std::vector<uint8_t>& bytes, int32_t lightmapFlag, int memblock,
               std::string* error) {
    if (!PutInMemblock(memblock, bytes)) {
        if (error) *error = "the host made no memblock of that size";
        return false;
    }
    StartLoad();
    return Finish(KEP_MakeKEPFromMemblock(memblock, lightmapFlag), error);
}

std::string LastLoadFailure() {
    return g_plugin.lastLoadFailure;
}

std::vector<std::string> LastLoadOddities() {
    return g_oddities;
}

KEP_Map* CurrentMap() {
    return g_plugin.currentMap;
}

std::string PluginVersion() {
    char* text = KEP_Version(nullptr);
    std::string version = text ? text : "";
    simhost::ReleaseHostStrings();
    return version;
}

} // namespace kepsession
