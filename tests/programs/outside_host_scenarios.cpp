// Plays the host against the finished plug-in as a game runs it (host_style_call.h)
// and checks what the plug-in did through the host's own functions. One source
// for the Windows DLL (under Wine) and the Linux shared object.
//
//   outside_host <plug-in> <host directory> <sample map directory> <scratch directory>
//   outside_host --without-host <plug-in> <capture file>    (the fatal path, run by the first form)
//
// Prints one line per scenario and "N passed, N failed" last.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "host_style_call.h"
#include "kep_writer.h"
#include "outside_host.h"

namespace {

namespace fs = std::filesystem;

float FromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The host's global structure: word 0 is its string allocator, words 16, 21
// and 25 the image, memblock and 3D-object modules. Host functions the rows
// name, by module word and lookup name.
const std::map<std::string, std::pair<int, const char*>> kHostFunctions = {
    {"ObjectExists", {25, "?GetExist@@YAHH@Z"}},
    {"ImageExists", {16, "?GetExistEx@@YAHH@Z"}},
    {"MakeMemblock", {21, "?MakeMemblock@@YAXHH@Z"}},
    {"MemblockPtr", {21, "?GetMemblockPtr@@YAKH@Z"}},
};

// The host process and the plug-in loaded into it.
struct Session : HostProcess {
    using HostProcess::HostProcess;
    int objectBase = 0, imageBase = 0; // "o+N" and "i+N" in rows
    char buffer[256] = "";             // "@" in rows: a buffer command's buffer

    uint32_t Call(const std::string& name, const Words& args = {}) const {
        const auto host = kHostFunctions.find(name);
        return host == kHostFunctions.end() ? Plugin(name, args)
                                            : Host(host->second.first, host->second.second, args);
    }
    int32_t Number(const std::string& token) const {
        if (token.size() > 2 && token[1] == '+' && (token[0] == 'o' || token[0] == 'i'))
            return (token[0] == 'o' ? objectBase : imageBase) + std::stoi(token.substr(2));
        return std::stoi(token);
    }
    // Makes memblock `number` holding the bytes, as a script's MAKE MEMBLOCK and writes do.
    void PutMemblock(int number, const kepw::Bytes& bytes) const {
        Call("MakeMemblock", {uint32_t(number), uint32_t(bytes.size())});
        const uint32_t address = Call("MemblockPtr", {uint32_t(number)});
        if (!address) throw std::runtime_error("the host made no memblock");
        std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), bytes.data(),
                    bytes.size());
    }

    // Runs one row: a function, its arguments (integers; with a '.' a float;
    // 'in quotes' a text; "@" the buffer; "o+N", "i+N" the bases plus N), then
    // what it must give: "= n" an integer, "~ x" a float, "$ text" a string (a
    // string command gets its previous result, none, first), "@ text" result 1
    // and that text in the buffer; or nothing.
    void Row(const std::string& row) {
        std::istringstream in(row);
        std::string name, token, expected;
        in >> name;
        Words args;
        std::vector<std::string> texts;
        texts.reserve(4); // the arguments point into it
        char kind = 0;
        while (in >> token) {
            if (token == "=" || token == "~" || token == "$" || (token == "@" && !args.empty())) {
                kind = token[0];
                std::getline(in >> std::ws, expected);
                break;
            }
            if (token == "@") {
                args.push_back(uint32_t(reinterpret_cast<uintptr_t>(buffer)));
            } else if (token[0] == '\'') {
                texts.push_back(token.substr(1, token.size() - 2));
                args.push_back(uint32_t(reinterpret_cast<uintptr_t>(texts.back().c_str())));
            } else if (token.find('.') != std::string::npos) {
                const float value = std::stof(token);
                args.emplace_back();
                std::memcpy(&args.back(), &value, sizeof value);
            } else {
                args.push_back(uint32_t(Number(token)));
            }
        }
        if (kind == '$') args.insert(args.begin(), 0u);
        const uint32_t result = Call(name, args);
        std::string got = expected;
        if (kind == '=' && int32_t(result) != Number(expected))
            got = std::to_string(int32_t(result));
        else if (kind == '~' && FromBits(result) != std::stof(expected))
            got = std::to_string(FromBits(result));
        else if (kind == '$')
            got = Take(result);
        else if (kind == '@')
            got = result == 1 ? buffer : "result " + std::to_string(result);
        if (got != expected) throw std::runtime_error(row + ": got " + got + " (" + Error() + ")");
    }
    // Rows separated by ';'.
    void Rows(const std::string& rows) {
        std::istringstream in(rows);
        for (std::string row; std::getline(in >> std::ws, row, ';');)
            Row(row);
    }
    std::string Error() { return Take(Call("KEP_GetLastErrorText", {0})); }
};

kepw::Bytes ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return kepw::Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// What every load of the bundled sample map must give: its components, what
// the queries of every family answer, and the host objects and images it made.
const char* const kSampleMap =
    "KEP_Count 0 = 3; KEP_Count 1 = 2; KEP_Count 2 = 5; KEP_Count 3 = 4; KEP_Count 4 = 3; "
    "KEP_Count 5 = 1; KEP_Count 6 = 2; KEP_Count 8 = 3; KEP_PropertyByKey 0 0 'name' $ room; "
    "KEP_PropertyByKey 0 1 'name' $ crate lid; KEP_PropertyByKey 0 2 'name' $ crate; "
    "KEP_GroupToObject 0 = o+2; KEP_GroupToObject 1 = 0; KEP_GroupToObject 2 = o+1; "
    "KEP_Flags 0 2 = 1; KEP_PropertyCount 0 2 = 2; KEP_Property 0 1 2 1 $ 1; "
    "KEP_Property 0 0 2 1 $ movable; KEPCPP_PropertyByKey @ 2 0 'ambient' @ 16 16 24; "
    "KEP_TextureName 0 $ floor.bmp; KEP_TextureName 1 $ wall.bmp; "
    "KEPCPP_TextureName @ 2 @ crate.bmp; KEP_TextureID 0 = i+1; KEP_TextureID 1 = i+2; "
    "KEP_TextureID 2 = i+3; ImageExists i+1 = 1; ImageExists i+2 = 1; ImageExists i+3 = 1; "
    "KEP_SurfaceCount 0 = 4; KEP_SurfaceCount 1 = 5; KEP_SurfaceCount 2 = 1; "
    "KEP_SurfaceCount 3 = 5; KEP_MeshToGroup 0 = 0; KEP_MeshToGroup 1 = 2; "
    "KEP_MeshToGroup 2 = 1; KEP_MeshToGroup 3 = -1; KEP_SurfaceTexture 0 1 = 1; "
    "KEP_PivotID 3 = 0; KEP_PivotID 4 = 1; KEP_PivotToGroup 0 = 2; KEP_PivotToGroup 1 = 1; "
    "KEP_GroupToPivot 2 = 0; KEP_GroupToPivot 1 = 1; KEP_EntityToGroup 3 = 2; "
    "KEP_EntityToGroup 4 = 1; KEP_EntityX 3 ~ 3.0; KEP_EntityY 3 ~ 0.0; KEP_EntityZ 3 ~ 2.0; "
    "KEP_EntityX 4 ~ 3.0; KEP_EntityY 4 ~ 2.05; KEP_EntityZ 4 ~ 0.8; "
    "KEP_ObjectToGroup o+1 = 2; ObjectExists o+0 = 1; ObjectExists o+1 = 1; "
    "ObjectExists o+2 = 1; KEP_GetLastError = 1";

// A map of one group whose mesh has two surfaces textured with t.bmp, the
// first lightmapped with lightmap 1 and the second with the last one.
kepw::Map LitMap(int32_t lightmaps) {
    kepw::Map map;
    map.version = 5;
    map.groups = {{0, 0, "name=lit", {0, 0, 0}}};
    for (int32_t i = 0; i < lightmaps; ++i)
        map.lightmaps.push_back(kepw::PatternLightmap(4, 2, static_cast<uint32_t>(i)));
    map.meshes = {{}};
    map.meshes[0].groupNumber = 1;
    map.meshes[0].surfaces = {kepw::TriangleSurface("t.bmp", lightmaps > 0 ? 1 : 0),
                              kepw::TriangleSurface("t.bmp", lightmaps)};
    map.entities = {{0, 1, "classname=pivot", {1, 2, 3}}};
    return map;
}

// Where the scenarios find things: all paths are absolute and use '/'.
struct Places {
    std::string self;    // this program
    std::string plugin;  // the plug-in under test
    std::string sample;  // the bundled sample map's directory
    std::string scratch; // room for maps the scenarios write
};

std::string Slashed(const fs::path& path) {
    std::string text = fs::absolute(path).string();
    for (char& c : text)
        if (c == '\\') c = '/';
    return text;
}

// Every command with a number n that can find nothing: the call, what it
// gives back then, and its message then ("" when that is no failure).
const char* const kNumberedCommands =
    "KEP_Count n = 0|Invalid component type; KEP_SurfaceCount n = 0|Invalid mesh index; "
    "KEP_SurfaceTexture n 0 = -1|Invalid mesh index; KEP_SurfaceTexture 0 n = -1|Invalid surface "
    "index; KEP_TextureName n $|Invalid texture index; KEPCPP_TextureName @ n = 0|Invalid texture "
    "index; KEP_TextureID n = 0|Invalid texture index; KEP_Texture n = 0|Invalid texture index; "
    "KEP_TextureCreate 'x' n = -1|Invalid image media identifier; KEP_TextureMesh 0 0 n = "
    "0|Invalid "
    "texture index; KEP_TextureMesh n 0 0 = 0|Invalid mesh index; KEP_TextureMesh 0 n 0 = "
    "0|Invalid surface index; KEP_EntityX n ~ 0.0|Invalid entity index; KEP_EntityY n ~ "
    "0.0|Invalid entity index; KEP_EntityZ n ~ 0.0|Invalid entity index; KEP_PivotID n = "
    "-1|Invalid entity index; KEP_GetMeshIndex n = -1|; KEP_Flags 0 n = 0|Invalid component "
    "index; KEP_PropertyCount 2 n = 0|Invalid component index; KEP_Property n 0 0 0 $|Invalid "
    "component type; KEP_Property 2 n 0 0 $|Invalid property type; KEP_Property 6 0 n 0 $|Invalid "
    "component index; KEP_Property 2 0 0 n $|Invalid property index; KEP_PropertyByKey 3 n 'k' "
    "$|Invalid component index; KEPCPP_Property @ 2 0 0 n = 0|Invalid property index; "
    "KEPCPP_PropertyByKey @ n 0 'k' = 0|Invalid component type; KEP_Move n 1.0 1.0 1.0|Invalid "
    "pivot index; KEP_Position n 1.0 1.0 1.0|Invalid pivot index; KEP_Angle n 1.0 1.0 1.0|Invalid "
    "pivot index; KEP_Rotate n 1.0 1.0 1.0|Invalid pivot index; KEP_Show n|Invalid pivot index; "
    "KEP_Hide n|Invalid pivot index; KEP_ObjectToGroup n = -1|; KEP_GroupToObject n = 0|; "
    "KEP_GroupToPivot n = -1|; KEP_PivotToGroup n = -1|; KEP_MeshToGroup n = -1|; "
    "KEP_EntityToGroup n = -1|";

// Each of those commands with the number, each after a command that leaves no
// error, then its message: `failure`, or the table's when that is null.
std::string Numbered(const std::string& number, const char* failure) {
    std::istringstream in(kNumberedCommands);
    std::string rows;
    for (std::string call, message; std::getline(in >> std::ws, call, '|');) {
        std::getline(in, message, ';');
        for (std::size_t at; (at = call.find(" n")) != std::string::npos;)
            call.replace(at, 2, " " + number);
        if (failure) message = failure;
        rows +=
            "KEP_BlendMode 8; " + call + "; " +
            (message.empty() ? "KEP_GetLastError = 1;" : "KEP_GetLastErrorText $ " + message + ";");
    }
    return rows;
}

// Rows asking whether each of the numbers first..last exists.
std::string Exist(const char* query, int first, int last, int exists) {
    std::string rows;
    for (int number = first; number <= last; ++number)
        rows += std::string(query) + " " + std::to_string(number) + " = " + std::to_string(exists) +
                ";";
    return rows;
}

using Scenario = std::pair<std::string, std::function<void()>>;

std::vector<Scenario> Scenarios(Session& kep, const Places& at) {
    return {
        {"KEP BREAK outside a debugger returns; which settings keep the error state",
         [&] {
             kep.Rows("KEP_Count 0 = 0; KEP_Break; KEP_SetAmbient 0; KEP_MediaIncluded 0; "
                      "KEP_GetLastError = 0; KEP_GetLastErrorText $ No current map");
             for (const char* resets : {"KEP_InitialObject 1000", "KEP_InitialImage 1000",
                                        "KEP_BlendMode 8", "KEP_MapOffset 0.0 0.0 0.0"})
                 kep.Rows(std::string("KEP_Count 0 = 0; ") + resets + "; KEP_GetLastError = 1");
         }},
        {"Without a map every command fails neutrally",
         [&] {
             kep.Rows(Numbered("0", "No current map") +
                      "KEP_ShowMap; KEP_GetLastErrorText $ No current map; KEP_BlendMode 8; "
                      "KEP_HideMap; KEP_GetLastErrorText $ No current map; KEP_BlendMode 8; "
                      "KEP_Clear; KEP_GetLastErrorText $ No current map; KEP_GetCurrentMap = -1; "
                      "KEP_GetLastError = 1");
         }},
        {"LOAD KEP of the sample map by a relative path with backslashes, lightmaps on",
         [&] {
             fs::current_path(fs::path(at.sample).parent_path());
             kep.objectBase = kep.imageBase = 1000;
             kep.Rows("KEP_Load '" + fs::path(at.sample).filename().string() +
                      "\\sample.kep' 2 = 1; KEP_GetCurrentMap = 0;" + kSampleMap);
         }},
        {"MAKE KEP FROM MEMBLOCK of the sample map",
         [&] {
             fs::current_path(at.sample); // memblock maps find their textures from here
             kep.PutMemblock(7, ReadBytes(at.sample + "/sample.kep"));
             kep.objectBase = 1003, kep.imageBase = 1004;
             kep.Rows(std::string("KEP_MakeKEPFromMemblock 7 0 = 1; KEP_GetCurrentMap = 1;") +
                      kSampleMap);
         }},
        {"KEP CLEAR removes the current map's objects and images only",
         [&] {
             kep.Rows("KEP_SetCurrentMap 0 = 1; KEP_Clear;" + Exist("ObjectExists", 1000, 1002, 0) +
                      Exist("ImageExists", 1000, 1003, 0) +
                      "ObjectExists 1003 = 1; KEP_Count 7 = 1");
         }},
        {"A map with two lightmaps makes and frees their images; bad numbers fail neutrally",
         [&] {
             fs::current_path(at.scratch);
             kepw::WriteFile(at.scratch + "/t.bmp", ReadBytes(at.sample + "/crate.bmp"));
             kepw::WriteFile(at.scratch + "/lit.kep", kepw::Write(LitMap(2)));
             kep.Rows("KEP_InitialImage 2000; KEP_Load '" + at.scratch +
                      "/lit.kep' 2 = 1; KEP_Count 5 = 2; KEP_Count 8 = 1;" +
                      Exist("ImageExists", 2000, 2002, 1));
             for (const char* bad : {"-1", "9", "-2147483648", "2147483647"})
                 kep.Rows(Numbered(bad, nullptr));
             kep.Rows("KEP_Clear;" + Exist("ImageExists", 2000, 2002, 0));
         }},
        // Texture files are found and read through the operating system.
        {"Maps whose textures are missing or unreadable fail with their own messages",
         [&] {
             fs::create_directories(at.scratch + "/bare");
             fs::create_directories(at.scratch + "/junk");
             kepw::WriteFile(at.scratch + "/junk/t.bmp", {'n', 'o', 't', 'e', 's'});
             for (const char* folder : {"bare", "junk"}) {
                 const std::string map = at.scratch + "/" + folder + "/x.kep";
                 kepw::WriteFile(map, kepw::Write(LitMap(1)));
                 kep.Rows(
                     "KEP_Load '" + map + "' 0 = 0; KEP_GetLastError = 0; KEP_GetLastErrorText $ " +
                     (folder[0] == 'b' ? "Unable to find texture: " + at.scratch + "/bare/t.bmp"
                                       : std::string("Invalid image identifier")));
             }
         }},
        {"Destructor clears every map with its objects and images",
         [&] {
             kep.Rows("Destructor; KEP_Count 7 = 0;" + Exist("ObjectExists", 1000, 1019, 0) +
                      Exist("ImageExists", 1000, 1019, 0) + Exist("ObjectExists", 2000, 2019, 0) +
                      Exist("ImageExists", 2000, 2019, 0) +
                      "KEP_Count 0 = 0; KEP_GetLastErrorText $ No current map");
         }},
        {"Without DBProCore.dll the user is told once and the process ends with code 0",
         [&] {
             const std::string capture = at.scratch + "/told.txt";
             fs::remove(capture);
             if (outside::RunWithoutHost(at.self, {"--without-host", at.plugin, capture}) != 0)
                 throw std::runtime_error("exit code not 0");
             const kepw::Bytes bytes = ReadBytes(capture);
             const std::string told(bytes.begin(), bytes.end());
             const std::string message = "DBProCore.dll: This library is required by this program";
             const std::size_t first = told.find(message);
             if (first == std::string::npos || first != told.rfind(message))
                 throw std::runtime_error("not told exactly once, in: " + told);
         }},
    };
}

// The child of the last scenario: loads the plug-in where no core module can be
// found and calls one command, which must end the process before it returns.
int RunWithoutHost(const char* plugin, const char* capture) {
    if (!std::freopen(capture, "w", stderr)) return 2;
    void* module = outside::LoadPlugin(plugin);
    void* version = outside::PluginExport(module, "KEP_Version");
    if (!version) return 2;
    outside::CaptureMessageBoxes(module);
    reinterpret_cast<char*(HOST_CDECL*)(char*)>(version)(nullptr);
    return 3;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--without-host") == 0)
        return RunWithoutHost(argv[2], argv[3]);
    if (argc != 5) {
        std::fprintf(stderr,
                     "usage: %s <plug-in> <host directory> <sample map directory> <scratch "
                     "directory>\n",
                     argv[0]);
        return 2;
    }
    const Places at{Slashed(argv[0]), Slashed(argv[1]), Slashed(argv[3]), Slashed(argv[4])};
    std::error_code ignored;
    fs::remove_all(at.scratch, ignored);
    fs::create_directories(at.scratch);

    try {
        Session kep(at.plugin, Slashed(argv[2]));
        int passed = 0, failed = 0;
        for (const auto& [name, run] : Scenarios(kep, at)) {
            try {
                run();
                ++passed;
                std::printf("ok     %s\n", name.c_str());
            } catch (const std::exception& problem) {
                ++failed;
                std::printf("FAILED %s: %s\n", name.c_str(), problem.what());
            }
            std::fflush(stdout);
        }
        std::printf("%d passed, %d failed\n", passed, failed);
        return failed == 0 ? 0 : 1;
    } catch (const std::exception& problem) {
        std::fprintf(stderr, "%s\n", problem.what());
        return 1;
    }
}
