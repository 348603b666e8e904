// Plays a host: loads the built plug-in beside the stand-in host, as a game
// would load it beside DarkBASIC Professional, and shows what it offers: its
// version and every command of its command table with the export behind it.
//
//   kep_demo <KEPImport.so>
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "simhost/simhost.h"

namespace {

struct Row {
    int32_t id;
    const char* text;
};

// The same table the DLL's string-table resource is made from.
#define KEP_COMMAND(id, text) {id, text},
#define KEP_EXTRA_EXPORT(name)
const Row kRows[] = {
#include "plugin/command_table.inc"
};
#undef KEP_COMMAND
#undef KEP_EXTRA_EXPORT

std::string Field(const std::string& text, int index) {
    std::size_t begin = 0;
    for (int i = 0; i < index; ++i) {
        begin = text.find('%', begin);
        if (begin == std::string::npos) return "";
        ++begin;
    }
    return text.substr(begin, text.find('%', begin) - begin);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <KEPImport.so>\n", argv[0]);
        return 2;
    }
    void* plugin = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!plugin) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
        return 1;
    }
    using VersionFn = char* (*)(char*);
    auto version = reinterpret_cast<VersionFn>(dlsym(plugin, "KEP_Version"));
    char* text = version ? version(nullptr) : nullptr;
    if (!text) {
        std::fprintf(stderr, "%s did not tell its version\n", argv[1]);
        return 1;
    }
    std::printf("Plug-in:  %s\n", argv[1]);
    std::printf("Version:  %s\n\n", text);
    simhost::ReleaseHostStrings();

    std::printf("%4s  %-24s %-7s %-6s %s\n", "id", "command", "result", "takes", "export");
    int missing = 0;
    for (const Row& row : kRows) {
        std::string name = Field(row.text, 0);
        std::string types = Field(row.text, 1);
        const std::string exported = Field(row.text, 2);
        const bool returns = !name.empty() && name.back() == '[';
        if (returns) name.pop_back();
        std::string result = "-";
        if (returns) {
            result = types.substr(0, 1);
            types.erase(0, 1);
        }
        if (types.empty() || types == "0") types = "-";
        const bool found = dlsym(plugin, exported.c_str()) != nullptr;
        missing += !found;
        std::printf("%4d  %-24s %-7s %-6s %s%s\n", static_cast<int>(row.id), name.c_str(),
                    result.c_str(), types.c_str(), exported.c_str(), found ? "" : "  (MISSING)");
    }
    const int rows = static_cast<int>(sizeof kRows / sizeof kRows[0]);
    std::printf("\n%d commands; types: L integer, F float, S string, D dword.\n", rows);
    if (missing) {
        std::fprintf(stderr, "%d exports are missing\n", missing);
        return 1;
    }
    return 0;
}
