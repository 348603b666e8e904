// Plays the host against the finished plug-in where no script can (the command
// lists in tests/realhost check every script command): the exports for direct
// calls, the host's Destructor, and a process without the host's core module.
// One source for the Windows DLL (under Wine) and the Linux shared object.
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
#include "outside_host.h"

namespace {

namespace fs = std::filesystem;

// The host's global structure: word 0 is its string allocator, words 16 and
// 25 the image and 3D-object modules. Host functions the rows name, by module
// word and lookup name.
const std::map<std::string, std::pair<int, const char*>> kHostFunctions = {
    {"ObjectExists", {25, "?GetExist@@YAHH@Z"}},
    {"ImageExists", {16, "?GetExistEx@@YAHH@Z"}},
};

// The host process and the plug-in loaded into it.
struct Session : HostProcess {
    using HostProcess::HostProcess;
    char buffer[256] = ""; // "@" in rows: a buffer command's buffer

    uint32_t Call(const std::string& name, const Words& args = {}) const {
        const auto host = kHostFunctions.find(name);
        return host == kHostFunctions.end() ? Plugin(name, args)
                                            : Host(host->second.first, host->second.second, args);
    }

    // Runs one row: a function, its arguments (integers; 'in quotes' a text;
    // "@" the buffer), then what it must give: "= n" an integer, "$ text" a
    // string (a string command gets its previous result, none, first), "@ text"
    // result 1 and that text in the buffer; or nothing.
    void Row(const std::string& row) {
        std::istringstream in(row);
        std::string name, token, expected;
        in >> name;
        Words args;
        std::vector<std::string> texts;
        texts.reserve(4); // the arguments point into it
        char kind = 0;
        while (in >> token) {
            if (token == "=" || token == "$" || (token == "@" && !args.empty())) {
                kind = token[0];
                std::getline(in >> std::ws, expected);
                break;
            }
            if (token == "@") {
                args.push_back(uint32_t(reinterpret_cast<uintptr_t>(buffer)));
            } else if (token[0] == '\'') {
                texts.push_back(token.substr(1, token.size() - 2));
                args.push_back(uint32_t(reinterpret_cast<uintptr_t>(texts.back().c_str())));
            } else {
                args.push_back(uint32_t(std::stoll(token)));
            }
        }
        if (kind == '$') args.insert(args.begin(), 0u);
        const uint32_t result = Call(name, args);
        std::string got = expected;
        if (kind == '=' && int32_t(result) != std::stoi(expected))
            got = std::to_string(int32_t(result));
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

// Where the scenarios find things: all paths are absolute and use '/'.
struct Places {
    std::string self;    // this program
    std::string plugin;  // the plug-in under test
    std::string sample;  // the bundled sample map's directory
    std::string scratch; // room for files the scenarios write
};

std::string Slashed(const fs::path& path) {
    std::string text = fs::absolute(path).string();
    for (char& c : text)
        if (c == '\\') c = '/';
    return text;
}

// The exports no script can call (the command lists check the script
// commands): each with a number n that finds nothing, and its message then.
const char* const kDirectCalls =
    "KEPCPP_TextureName @ n = 0|Invalid texture index; KEP_TextureID n = 0|Invalid texture "
    "index; KEPCPP_Property @ 2 0 0 n = 0|Invalid property index; KEPCPP_PropertyByKey @ n 0 "
    "'k' = 0|Invalid component type";

// Each of those calls with the number, then its message: `failure`, or the
// table's when that is null.
std::string Numbered(const std::string& number, const char* failure) {
    std::istringstream in(kDirectCalls);
    std::string rows;
    for (std::string call, message; std::getline(in >> std::ws, call, '|');) {
        std::getline(in, message, ';');
        for (std::size_t at; (at = call.find(" n")) != std::string::npos;)
            call.replace(at, 2, " " + number);
        rows += call + "; KEP_GetLastErrorText $ " + (failure ? failure : message) + ";";
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
    const std::string load = "KEP_Load '" + at.sample + "/sample.kep' 2 = 1;";
    return {
        {"The direct-call exports answer as their script commands",
         [&, load] {
             kep.Rows(Numbered("0", "No current map") +
                      "KEP_InitialObject 1000; KEP_InitialImage 1000;" + load +
                      "KEPCPP_PropertyByKey @ 2 0 'ambient' @ 16 16 24; "
                      "KEPCPP_Property @ 0 0 2 1 @ movable; KEPCPP_TextureName @ 2 @ crate.bmp; "
                      "KEP_TextureID 0 = 1001; KEP_TextureID 2 = 1003; ImageExists 1003 = 1");
             for (const char* bad : {"-1", "9", "-2147483648", "2147483647"})
                 kep.Rows(Numbered(bad, nullptr));
         }},
        // No script can call anything after the host's Destructor.
        {"Destructor clears every map with its objects and images",
         [&, load] {
             kep.Rows(load +
                      "KEP_Count 7 = 2; ObjectExists 1005 = 1; Destructor; KEP_Count 7 = 0;" +
                      Exist("ObjectExists", 1000, 1019, 0) + Exist("ImageExists", 1000, 1019, 0) +
                      "KEP_Count 0 = 0; KEP_GetLastErrorText $ No current map");
         }},
        {"Without DBProCore.dll the user is told once and the process ends with code 0",
         [&] {
             const std::string capture = at.scratch + "/told.txt";
             fs::remove(capture);
             if (outside::RunWithoutHost(at.self, {"--without-host", at.plugin, capture}) != 0)
                 throw std::runtime_error("exit code not 0");
             std::ifstream file(capture, std::ios::binary);
             const std::string told{std::istreambuf_iterator<char>(file),
                                    std::istreambuf_iterator<char>()};
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
