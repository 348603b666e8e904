// Plays the host against the finished plug-in, the way a game runs it: loads
// the host's core module, then the plug-in by path, calls Constructor and the
// commands by their export names with the C calling convention, reads results
// the way the host does (strings through its allocator, "F" results as float
// bits) and checks what the plug-in did through the host's own functions. The
// same source is built for the Windows DLL (run under Wine) and the Linux
// shared object, so a difference between the two builds is a failing row.
//
//   outside_host <plug-in> <host directory> <sample map directory> <scratch directory>
//   outside_host --without-host <plug-in> <capture file>    (the fatal path, run by the first form)
//
// Prints one line per scenario and "N passed, N failed" last.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "kep_writer.h"
#include "outside_host.h"

#define HOST_CDECL __attribute__((cdecl))

namespace {

namespace fs = std::filesystem;

// The host's global structure: word 0 is its string allocator, words 16, 21
// and 25 the image, memblock and 3D-object modules.
constexpr int kImageWord = 16;
constexpr int kMemblockWord = 21;
constexpr int kObjectWord = 25;
enum Component { kGroup, kVisGroup, kEntity, kMesh, kTexture, kLightmap, kPivot, kMap, kObject };

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

float FromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// An argument as the host passes it: integers and enumerations as int32_t,
// a missing string as char*, everything else as it is.
template <class T> auto Arg(T value) {
    if constexpr (std::is_integral_v<T> || std::is_enum_v<T>)
        return static_cast<int32_t>(value);
    else if constexpr (std::is_null_pointer_v<T>)
        return static_cast<char*>(value);
    else
        return value;
}

// The host process: its core module and the modules the global structure names.
struct Host {
    uint32_t* global = nullptr;

    template <class R, class... A> R Call(int word, const char* lookup, A... args) const {
        void* function = outside::HostFunction(
            reinterpret_cast<void*>(static_cast<uintptr_t>(global[word])), lookup);
        if (!function) throw Failure(std::string("the host has no ") + lookup);
        using Fn = R(HOST_CDECL*)(decltype(Arg(args))...);
        return reinterpret_cast<Fn>(function)(Arg(args)...);
    }
    bool ObjectExists(int object) const {
        return Call<int>(kObjectWord, "?GetExist@@YAHH@Z", object);
    }
    bool ImageExists(int image) const {
        return Call<int>(kImageWord, "?GetExistEx@@YAHH@Z", image);
    }
    // An object's or a limb's "F" value: a position or an angle.
    template <class... A> float Number(const char* lookup, A... args) const {
        return FromBits(Call<uint32_t>(kObjectWord, lookup, args...));
    }
    // Makes memblock `number` holding the bytes, as a script's MAKE MEMBLOCK and writes do.
    void PutMemblock(int number, const kepw::Bytes& bytes) const {
        Call<void>(kMemblockWord, "?MakeMemblock@@YAXHH@Z", number, static_cast<int>(bytes.size()));
        const uint32_t address = Call<uint32_t>(kMemblockWord, "?GetMemblockPtr@@YAKH@Z", number);
        if (!address) throw Failure("the host made no memblock");
        std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), bytes.data(),
                    bytes.size());
    }
    // A string the plug-in returned, copied, then freed as the host frees it.
    std::string Take(char* text) const {
        const std::string copy = text ? text : "";
        using Allocator = void(HOST_CDECL*)(uint32_t*, uint32_t);
        uint32_t word = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(text));
        if (text) reinterpret_cast<Allocator>(static_cast<uintptr_t>(global[0]))(&word, 0);
        return copy;
    }
};

// The plug-in's exports, found by name as the host finds them.
struct Plugin {
    void* module = nullptr;
    const Host* host = nullptr;

    template <class R, class... A> R Call(const char* name, A... args) const {
        void* function = outside::PluginExport(module, name);
        if (!function) throw Failure(std::string("the plug-in does not export ") + name);
        using Fn = R(HOST_CDECL*)(decltype(Arg(args))...);
        return reinterpret_cast<Fn>(function)(Arg(args)...);
    }
    template <class... A> int Int(const char* name, A... args) const {
        return Call<int32_t>(name, args...);
    }
    float Float(const char* name, int a) const { return FromBits(Call<uint32_t>(name, a)); }
    void Pivot(const char* name, int pivot, float x, float y, float z) const {
        Call<void>(name, pivot, x, y, z);
    }
    // A string command: its previous result (none here) goes in first.
    template <class... A> std::string Text(const char* name, A... args) const {
        return host->Take(Call<char*>(name, nullptr, args...));
    }
    std::string Error() const { return Text("KEP_GetLastErrorText"); }
};

// One scenario's checks; the first failed check ends the scenario.
struct Row {
    std::string name;
    std::function<void()> run;
};

template <class A, class B>
void Expect(const A& actual, const B& expected, const std::string& what) {
    if (actual == expected) return;
    std::ostringstream text;
    text << what << ": got " << actual << ", expected " << expected;
    throw Failure(text.str());
}

kepw::Bytes ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return kepw::Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// What every load of the bundled sample map must give: its components, what
// the queries of every family answer, and the host objects and images it made.
void ExpectSampleMap(const Plugin& kep, const Host& host, int objectBase, int imageBase) {
    const int counts[] = {3, 2, 5, 4, 3, 1, 2};
    for (int component = kGroup; component <= kPivot; ++component)
        Expect(kep.Int("KEP_Count", component), counts[component],
               "KEP COUNT " + std::to_string(component));
    Expect(kep.Int("KEP_Count", kObject), 3, "objects built");
    const char* groupNames[] = {"room", "crate lid", "crate"};
    const int groupObjects[] = {objectBase + 2, 0, objectBase + 1};
    for (int group = 0; group < 3; ++group) {
        Expect(kep.Text("KEP_PropertyByKey", kGroup, group, "name"), groupNames[group],
               "group name");
        Expect(kep.Int("KEP_GroupToObject", group), groupObjects[group], "group object");
    }
    Expect(kep.Int("KEP_Flags", kGroup, 2), 1, "crate flags");
    Expect(kep.Int("KEP_PropertyCount", kGroup, 2), 2, "crate property count");
    Expect(kep.Text("KEP_Property", kGroup, 1, 2, 1), "1", "crate's second value");
    Expect(kep.Text("KEP_Property", kGroup, 0, 2, 1), "movable", "crate's second key");
    char buffer[256] = "";
    Expect(kep.Call<int32_t>("KEPCPP_PropertyByKey", buffer, kEntity, 0, "ambient"), 1,
           "KEPCPP_PropertyByKey result");
    Expect(std::string(buffer), "16 16 24", "worldspawn ambient");
    const char* textures[] = {"floor.bmp", "wall.bmp", "crate.bmp"};
    for (int texture = 0; texture < 3; ++texture) {
        Expect(kep.Text("KEP_TextureName", texture), textures[texture], "texture name");
        Expect(kep.Call<int32_t>("KEPCPP_TextureName", buffer, texture), 1,
               "KEPCPP_TextureName result");
        Expect(std::string(buffer), textures[texture], "KEPCPP_TextureName");
        Expect(kep.Int("KEP_TextureID", texture), imageBase + 1 + texture, "texture image");
        Expect(host.ImageExists(imageBase + 1 + texture), true, "texture image exists");
    }
    const int surfaces[] = {4, 5, 1, 5};
    const int meshGroups[] = {0, 2, 1, -1};
    for (int mesh = 0; mesh < 4; ++mesh) {
        Expect(kep.Int("KEP_SurfaceCount", mesh), surfaces[mesh], "surface count");
        Expect(kep.Int("KEP_MeshToGroup", mesh), meshGroups[mesh], "mesh group");
    }
    Expect(kep.Int("KEP_SurfaceTexture", 0, 1), 1, "room wall texture");
    const float pivots[2][3] = {{3, 0, 2}, {3, 2.05f, 0.8f}};
    for (int pivot = 0; pivot < 2; ++pivot) {
        Expect(kep.Int("KEP_PivotID", pivot + 3), pivot, "pivot of entity");
        Expect(kep.Int("KEP_PivotToGroup", pivot), 2 - pivot, "pivot group");
        Expect(kep.Int("KEP_GroupToPivot", 2 - pivot), pivot, "group pivot");
        Expect(kep.Int("KEP_EntityToGroup", pivot + 3), 2 - pivot, "entity group");
        Expect(kep.Float("KEP_EntityX", pivot + 3), pivots[pivot][0], "pivot x");
        Expect(kep.Float("KEP_EntityY", pivot + 3), pivots[pivot][1], "pivot y");
        Expect(kep.Float("KEP_EntityZ", pivot + 3), pivots[pivot][2], "pivot z");
    }
    Expect(kep.Int("KEP_ObjectToGroup", objectBase + 1), 2, "crate object's group");
    for (int object = objectBase; object < objectBase + 3; ++object)
        Expect(host.ObjectExists(object), true, "object " + std::to_string(object));
    Expect(kep.Int("KEP_GetLastError"), 1, "KEP ERROR");
}

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

std::vector<Row> Scenarios(const Plugin& kep, const Host& host, const Places& at) {
    return {
        {"KEP VERSION, KEP ERROR and KEP ERROR TEXT",
         [&] {
             Expect(kep.Int("KEP_GetLastError"), 0, "KEP ERROR before any command");
             Expect(kep.Call<char*>("KEP_GetLastErrorText", nullptr) == nullptr, true,
                    "no error text before any command");
             Expect(kep.Text("KEP_Version"), "KEP map importer for DarkBASIC Professional",
                    "KEP VERSION");
             Expect(kep.Int("KEP_GetLastError"), 1, "KEP ERROR after KEP VERSION");
         }},
        {"KEP BREAK outside a debugger returns and keeps the error state",
         [&] {
             Expect(kep.Int("KEP_Count", kGroup), 0, "KEP COUNT without a map");
             kep.Call<void>("KEP_Break");
             Expect(kep.Int("KEP_GetLastError"), 0, "KEP ERROR");
             Expect(kep.Error(), "No current map", "KEP ERROR TEXT");
         }},
        {"LOAD KEP of the sample map by a relative path with backslashes, lightmaps on",
         [&] {
             fs::current_path(fs::path(at.sample).parent_path());
             const std::string path = fs::path(at.sample).filename().string() + "\\sample.kep";
             Expect(kep.Call<int32_t>("KEP_Load", path.c_str(), 2), 1, "LOAD KEP " + kep.Error());
             Expect(kep.Int("KEP_GetCurrentMap"), 0, "KEP GET MAP");
             ExpectSampleMap(kep, host, 1000, 1000);
         }},
        {"MAKE KEP FROM MEMBLOCK of the sample map",
         [&] {
             fs::current_path(at.sample); // memblock maps find their textures from here
             host.PutMemblock(7, ReadBytes(at.sample + "/sample.kep"));
             Expect(kep.Int("KEP_MakeKEPFromMemblock", 7, 0), 1, "MAKE KEP " + kep.Error());
             Expect(kep.Int("KEP_GetCurrentMap"), 1, "KEP GET MAP");
             ExpectSampleMap(kep, host, 1003, 1004);
         }},
        {"KEP SET MAP, KEP HIDE MAP and KEP SHOW MAP",
         [&] {
             Expect(kep.Int("KEP_SetCurrentMap", 0), 1, "KEP SET MAP 0");
             Expect(kep.Int("KEP_GetCurrentMap"), 0, "KEP GET MAP");
             kep.Call<void>("KEP_HideMap");
             kep.Call<void>("KEP_ShowMap");
             Expect(kep.Int("KEP_GetLastError"), 1, "KEP ERROR");
             Expect(kep.Int("KEP_GroupToObject", 2), 1001, "map 0's crate");
         }},
        {"Pivots move and turn the crate's object and its lid's limb",
         [&] {
             const char* x = "?GetXPositionEx@@YAKH@Z";
             const float before = host.Number(x, 1001);
             kep.Pivot("KEP_Move", 0, 1.5f, 0, -2);
             Expect(host.Number(x, 1001), before + 1.5f, "crate x");
             Expect(kep.Float("KEP_EntityZ", 3), 0.0f, "crate pivot z after the move");
             kep.Pivot("KEP_Position", 0, -4, 0.25f, 6);
             Expect(host.Number("?GetYPositionEx@@YAKH@Z", 1001), 0.25f, "crate y");
             Expect(host.Number("?GetZPositionEx@@YAKH@Z", 1001), 6.0f, "crate z");
             kep.Pivot("KEP_Angle", 0, 0, 90, 0);
             kep.Pivot("KEP_Rotate", 0, 0, 25, 0);
             Expect(host.Number("?GetYRotationEx@@YAKH@Z", 1001), 115.0f, "crate y angle");
             Expect(kep.Float("KEP_EntityX", 3), -4.0f, "crate pivot x after the turns");
             kep.Pivot("KEP_Rotate", 1, -35, 0, 0);
             std::vector<float> limbAngles;
             for (int limb = 0; limb < 8; ++limb)
                 limbAngles.push_back(host.Number("?GetLimbAngleX@@YAKHH@Z", 1001, limb));
             Expect(std::count(limbAngles.begin(), limbAngles.end(), -35.0f), 1,
                    "lid limbs turned");
             kep.Call<void>("KEP_Hide", 0);
             kep.Call<void>("KEP_Show", 1);
             Expect(kep.Int("KEP_GetLastError"), 1, "KEP ERROR");
             kep.Pivot("KEP_Move", 5, 1, 1, 1);
             Expect(kep.Error(), "Invalid pivot index", "KEP MOVE of pivot 5");
         }},
        {"KEP TEXTURE CREATE and KEP TEXTURE MESH",
         [&] {
             Expect(kep.Call<int32_t>("KEP_TextureCreate", "mine", 1002), 3, "KEP TEXTURE CREATE");
             Expect(kep.Text("KEP_TextureName", 3), "mine", "new texture's name");
             Expect(kep.Int("KEP_TextureID", 3), 1002, "new texture's image");
             Expect(kep.Int("KEP_TextureMesh", 0, 1, 3), 1, "KEP TEXTURE MESH");
             Expect(kep.Int("KEP_SurfaceTexture", 0, 1), 3, "retextured surface");
             Expect(kep.Int("KEP_TextureMesh", 0, 1, 9), 0, "KEP TEXTURE MESH of texture 9");
             Expect(kep.Error(), "Invalid texture index", "KEP ERROR TEXT");
         }},
        {"KEP CLEAR removes the current map's objects and images only",
         [&] {
             kep.Call<void>("KEP_Clear");
             for (int number = 1000; number < 1003; ++number)
                 Expect(host.ObjectExists(number), false, "map 0 object");
             for (int number = 1000; number < 1004; ++number)
                 Expect(host.ImageExists(number), false, "map 0 image");
             Expect(host.ObjectExists(1003), true, "map 1 object");
             Expect(kep.Int("KEP_Count", kMap), 1, "maps left");
         }},
        {"A map with two lightmaps makes and frees their images",
         [&] {
             fs::current_path(at.scratch);
             kepw::WriteFile(at.scratch + "/t.bmp", ReadBytes(at.sample + "/crate.bmp"));
             const std::string path = at.scratch + "/lit.kep";
             kepw::WriteFile(path, kepw::Write(LitMap(2)));
             kep.Call<void>("KEP_InitialImage", 2000);
             Expect(kep.Call<int32_t>("KEP_Load", path.c_str(), 2), 1, "LOAD KEP " + kep.Error());
             Expect(kep.Int("KEP_Count", kLightmap), 2, "lightmaps");
             for (int image : {2000, 2001, 2002})
                 Expect(host.ImageExists(image), true, "image " + std::to_string(image));
             Expect(kep.Int("KEP_Count", kObject), 1, "objects built");
             kep.Call<void>("KEP_Clear");
             for (int image : {2000, 2001, 2002})
                 Expect(host.ImageExists(image), false, "image after KEP CLEAR");
         }},
        {"Broken maps fail with their own messages",
         [&] {
             fs::current_path(at.scratch); // holds t.bmp for memblock maps
             const kepw::Bytes good = kepw::Write(LitMap(1));
             fs::create_directories(at.scratch + "/bare");
             fs::create_directories(at.scratch + "/junk");
             kepw::WriteFile(at.scratch + "/junk/t.bmp", {'n', 'o', 't', 'e', 's'});
             const std::string missing = at.scratch + "/nowhere/x.kep";
             struct Broken {
                 std::string file; // under scratch; none for a memblock map
                 kepw::Bytes bytes;
                 std::string message;
             };
             const Broken rows[] = {
                 {"empty.kep", kepw::Bytes{}, "EOF"},
                 {"", kepw::Truncate(good, 30), "EOF"},
                 {"old.kep", kepw::WithVersion(good, 3), "Unsupported Version"},
                 {"", kepw::WithVersion(good, 6), "Unsupported Version"},
                 {"bare/x.kep", good, "Unable to find texture: " + at.scratch + "/bare/t.bmp"},
                 {"junk/x.kep", good, "Invalid image identifier"},
             };
             for (const Broken& row : rows) {
                 const std::string path = at.scratch + "/" + row.file;
                 if (row.file.empty())
                     host.PutMemblock(8, row.bytes);
                 else
                     kepw::WriteFile(path, row.bytes);
                 const int result = row.file.empty()
                                        ? kep.Int("KEP_MakeKEPFromMemblock", 8, 0)
                                        : kep.Call<int32_t>("KEP_Load", path.c_str(), 0);
                 Expect(result, 0, "result for " + row.message);
                 Expect(kep.Int("KEP_GetLastError"), 0, "KEP ERROR for " + row.message);
                 Expect(kep.Error(), row.message, "KEP ERROR TEXT");
             }
             Expect(kep.Call<int32_t>("KEP_Load", missing.c_str(), 0), 0, "missing file");
             Expect(kep.Error(), "Unable to load the file " + missing, "KEP ERROR TEXT");
             Expect(kep.Int("KEP_MakeKEPFromMemblock", 42, 0), 0, "memblock 42");
             Expect(kep.Error(), "Invalid Memblock identifier: 42", "KEP ERROR TEXT");
         }},
        {"Destructor clears every map with its objects and images",
         [&] {
             kep.Call<void>("Destructor");
             Expect(kep.Int("KEP_Count", kMap), 0, "maps left");
             for (int base : {1000, 2000})
                 for (int number = base; number < base + 20; ++number) {
                     Expect(host.ObjectExists(number), false, "object " + std::to_string(number));
                     Expect(host.ImageExists(number), false, "image " + std::to_string(number));
                 }
             Expect(kep.Int("KEP_Count", kGroup), 0, "KEP COUNT without a map");
             Expect(kep.Error(), "No current map", "KEP ERROR TEXT");
         }},
        {"Without DBProCore.dll the user is told once and the process ends with code 0",
         [&] {
             const std::string capture = at.scratch + "/told.txt";
             fs::remove(capture);
             Expect(outside::RunWithoutHost(at.self, {"--without-host", at.plugin, capture}), 0,
                    "exit code");
             const kepw::Bytes bytes = ReadBytes(capture);
             const std::string told(bytes.begin(), bytes.end());
             const std::string message = "DBProCore.dll: This library is required by this program";
             const std::size_t first = told.find(message);
             Expect(first != std::string::npos && first == told.rfind(message), true,
                    "told exactly once, in: " + told);
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

    Host host;
    void* core = outside::LoadHostCore(Slashed(argv[2]));
    void* getGlobPtr = outside::HostFunction(core, "?GetGlobPtr@@YAKXZ");
    if (getGlobPtr)
        host.global = reinterpret_cast<uint32_t*>(
            static_cast<uintptr_t>(reinterpret_cast<uint32_t(HOST_CDECL*)()>(getGlobPtr)()));
    if (!host.global) {
        std::fprintf(stderr, "no host core module with a global structure in %s\n", argv[2]);
        return 1;
    }
    const Plugin kep{outside::LoadPlugin(at.plugin), &host};
    if (!kep.module) {
        std::fprintf(stderr, "cannot load the plug-in %s\n", at.plugin.c_str());
        return 1;
    }
    // The host's start calls; it hands the core pointer only to plug-ins that ask.
    kep.Call<void>("Constructor");
    if (void* receive = outside::PluginExport(kep.module, "ReceiveCoreDataPtr"))
        reinterpret_cast<void(HOST_CDECL*)(void*)>(receive)(host.global);

    int passed = 0, failed = 0;
    for (const Row& row : Scenarios(kep, host, at)) {
        try {
            row.run();
            ++passed;
            std::printf("ok     %s\n", row.name.c_str());
        } catch (const std::exception& problem) {
            ++failed;
            std::printf("FAILED %s: %s\n", row.name.c_str(), problem.what());
        }
        std::fflush(stdout);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
