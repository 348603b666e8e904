// One list of script commands, two hosts: the list as a program for the real
// runtime that records every answer to a file, and the same list run against a
// plug-in beside the stand-in host, answers printed alike (compared line for line).
//
//   command_sequence files <folder> <sample map directory>         (the files the lists read)
//   command_sequence dba <sequence> <answers file>                 (the program, to stdout)
//   command_sequence run <sequence> <plug-in> <host directory>     (the answers, to stdout)
//   command_sequence without-host <plug-in> <capture file>         (run by @without-host)
//
// The run works in the current directory, as the program does. A line may end
// in " => ANSWER": the answer the run must record for it (trailing spaces
// aside); the run reports each other answer on stderr and exits with 1. Host
// steps (lines starting with "@") are what the script itself does with the host:
//   @memblock N FILE         make memblock N from the bytes of FILE
//   @script-memblock N SIZE  make memblock N of SIZE bytes, byte i = (7i + N) mod 256
//   @memblock-sum N          record memblock N's size and a weighted sum of its bytes
//   @script-mesh N           make mesh N, one triangle, through memblock 29
//   @mesh-exists N           record whether mesh N exists
//   @image N FILE            load FILE as image N
//   @object N                record object N's position and angles
//   @exists N                record whether object N exists
//   @delete-object N         delete object N (record whether it exists)
//   @make-object N MESH      make object N of mesh MESH (record whether it exists)
//   @limb-exists N L         record whether object N has limb L
//   @image-exists N          record whether image N exists
// and what no script can do, which only the run takes:
//   @call EXPORT ARG...      call an export no command names, each ARG an integer, a
//                            "text" or @ (an emptied buffer); record its result, the
//                            buffer's text if any, and the error state as a command does
//   @constructor             call the plug-in's Constructor, as the host does when it starts
//   @destructor              call the plug-in's Destructor, as the host does when it ends
//   @without-host            run this program again where no DBProCore.dll can be found,
//                            to call KEP VERSION; record its exit code and how many times
//                            the user was told the library is required
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "kep_writer.h"
#include "outside_host.h"

namespace {

// A row of the command table: the script's name, whether it returns a value,
// the result type and the argument types ('L' integer, 'D' word, 'F' float,
// 'S' string).
struct Command {
    std::string name;
    std::string exportName;
    char result = 0; // 0 for a statement
    std::string arguments;
};

std::vector<Command> CommandTable() {
    std::vector<Command> table;
    auto add = [&table](const char* row) {
        // "NAME[%TYPES%Export%..." or "NAME%TYPES%Export%..."
        std::istringstream fields(row);
        Command command;
        std::string types;
        std::getline(std::getline(std::getline(fields, command.name, '%'), types, '%'),
                     command.exportName, '%');
        if (command.name.back() == '[') {
            command.name.pop_back();
            command.result = types[0];
            types.erase(0, 1);
        }
        command.arguments = types == "0" ? "" : types;
        table.push_back(command);
    };
#define KEP_COMMAND(id, row) add(row);
#define KEP_EXTRA_EXPORT(name)
#include "plugin/command_table.inc"
#undef KEP_COMMAND
#undef KEP_EXTRA_EXPORT
    return table;
}

// One line of the sequence: a host step or a command with its arguments as
// the script writes them.
struct Step {
    int line = 0;
    std::string text; // as written
    const Command* command = nullptr;
    std::vector<std::string> arguments;
    std::string hostStep; // "@memblock" and so on; empty for a command
    std::string expected; // the answer after "=>", if the line gives one
};

std::string TrimEnd(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

std::vector<std::string> SplitArguments(const std::string& text) {
    std::vector<std::string> parts{""};
    bool quoted = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted)
            parts.emplace_back();
        else if (c != ' ' || quoted || !parts.back().empty())
            parts.back() += c;
    }
    for (std::string& part : parts)
        part = TrimEnd(part);
    if (parts.size() == 1 && parts[0].empty()) parts.clear();
    return parts;
}

std::vector<Step> ReadSequence(const std::string& path, const std::vector<Command>& table) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::vector<Step> steps;
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        if (text.empty() || text[0] == '#') continue;
        Step step;
        step.line = line;
        if (const std::size_t arrow = text.find(" => "); arrow != std::string::npos) {
            step.expected = TrimEnd(text.substr(arrow + 4));
            text = TrimEnd(text.substr(0, arrow));
        }
        step.text = text;
        const auto fail = [line](const char* problem) {
            return std::runtime_error("line " + std::to_string(line) + ": " + problem);
        };
        if (text[0] == '@') {
            std::istringstream words(text);
            words >> step.hostStep;
            for (std::string word; words >> word;)
                step.arguments.push_back(word);
            steps.push_back(step);
            continue;
        }
        // The longest command name the line starts with.
        for (const Command& command : table) {
            const std::string& name = command.name;
            if (text.compare(0, name.size(), name) != 0) continue;
            const char next = text.size() > name.size() ? text[name.size()] : '\0';
            if (next != '\0' && next != ' ' && next != '(') continue;
            if (!step.command || name.size() > step.command->name.size()) step.command = &command;
        }
        if (!step.command) throw fail("no command");
        std::string rest = text.substr(step.command->name.size());
        rest.erase(0, rest.find_first_not_of(' '));
        if (step.command->result) {
            if (rest.size() < 2 || rest.front() != '(' || rest.back() != ')')
                throw fail("brackets expected");
            rest = rest.substr(1, rest.size() - 2);
        }
        step.arguments = SplitArguments(rest);
        if (step.arguments.size() != step.command->arguments.size())
            throw fail("wrong argument count");
        steps.push_back(step);
    }
    return steps;
}

// The same 32 bits as another type (a float's bits as the word that passes it).
template <class To, class From> To Bits(From from) {
    static_assert(sizeof(To) == sizeof(From));
    To to;
    std::memcpy(&to, &from, sizeof to);
    return to;
}

// A mesh memblock of one triangle: the format of position, normal, diffuse
// colour and one UV pair, 36 bytes a vertex, three vertices.
constexpr int kTriangleMeshBytes = 12 + 3 * 36;
uint32_t TriangleMeshWord(int word) {
    if (word < 3) return word == 0 ? 0x152u : word == 1 ? 36u : 3u;
    const int vertex = (word - 3) / 9, field = (word - 3) % 9;
    if (field == 6) return 0x00FFFFFFu; // white
    // x of the second vertex, y of the third, and every normal's z
    const bool one = (field == 0 && vertex == 1) || (field == 1 && vertex == 2);
    return Bits<uint32_t>(field == 5 ? -1.0f : one ? 1.0f : 0.0f);
}

// What a host step records about its number once it has done its part: the
// script's query and the host function behind it (module word and lookup name).
struct Query {
    const char* script;
    int word;
    const char* lookupName;
};
const Query kMemblockSize{"get memblock size", 21, "?GetMemblockSize@@YAHH@Z"};
const Query kMeshExists{"mesh exist", 25, "?GetMeshExist@@YAHH@Z"};
const Query kImageExists{"image exist", 16, "?GetExistEx@@YAHH@Z"};
const Query kObjectExists{"object exist", 25, "?GetExist@@YAHH@Z"};
const std::map<std::string, Query> kRecorded = {
    {"@memblock", kMemblockSize},   {"@script-memblock", kMemblockSize},
    {"@script-mesh", kMeshExists},  {"@mesh-exists", kMeshExists},
    {"@image", kImageExists},       {"@image-exists", kImageExists},
    {"@exists", kObjectExists},     {"@delete-object", kObjectExists},
    {"@make-object", kObjectExists}};

// ---- The program for the real runtime ---------------------------------------

void WriteProgram(const std::vector<Step>& steps, const std::string& answers) {
    // No comments: the host's compiler reads command names even in "rem" lines.
    std::printf("open to write 1, \"%s\"\n", answers.c_str());
    for (const Step& step : steps) {
        const std::string n = std::to_string(step.line), hostStep = step.hostStep;
        const char* m = hostStep.empty() ? "" : step.arguments.at(0).c_str();
        auto record = [&](const std::string& answer) {
            std::printf("write string 1, \"%s \" + %s\n", n.c_str(), answer.c_str());
        };
        const auto recorded = kRecorded.find(hostStep);
        if (step.command) {
            // Each read on a line of its own: the answer is taken before the
            // error state is asked about.
            if (step.command->result == 'S')
                std::printf("r$ = %s\n", step.text.c_str());
            else if (step.command->result)
                std::printf("r$ = str$(%s)\n", step.text.c_str());
            else
                std::printf("%s\nr$ = \"-\"\n", step.text.c_str());
            std::printf("e = KEP ERROR()\nt$ = KEP ERROR TEXT()\n");
            record("r$ + \" | \" + str$(e) + \" | \" + t$");
        } else if (hostStep == "@memblock") {
            std::printf("open to read 2, \"%s\" : make memblock from file %s, 2 : close file 2\n",
                        step.arguments.at(1).c_str(), m);
        } else if (hostStep == "@script-memblock") {
            const char* size = step.arguments.at(1).c_str();
            std::printf("make memblock %s, %s\nfor i = 0 to %s - 1\n"
                        "write memblock byte %s, i, (i * 7 + %s) mod 256\nnext i\n",
                        m, size, size, m, m);
        } else if (hostStep == "@memblock-sum") {
            std::printf("s$ = \"none\"\nif memblock exist(%s)\nsum = 0\n"
                        "for i = 0 to get memblock size(%s) - 1\n"
                        "sum = sum + memblock byte(%s, i) * (i + 1)\nnext i\n"
                        "s$ = str$(get memblock size(%s)) + \" \" + str$(sum)\nendif\n",
                        m, m, m, m);
            record("s$");
        } else if (hostStep == "@script-mesh") {
            std::printf("make memblock 29, %d\n", kTriangleMeshBytes);
            // Whole words as integers the script's literals can hold; the rest
            // as the floats they are.
            for (int word = 0; word < kTriangleMeshBytes / 4; ++word) {
                const uint32_t value = TriangleMeshWord(word);
                if (word < 3 || (word - 3) % 9 == 6)
                    std::printf("write memblock dword 29, %d, %u\n", word * 4, value);
                else
                    std::printf("write memblock float 29, %d, %g\n", word * 4,
                                static_cast<double>(Bits<float>(value)));
            }
            std::printf("make mesh from memblock %s, 29\ndelete memblock 29\n", m);
        } else if (hostStep == "@image") {
            std::printf("load image \"%s\", %s\n", step.arguments.at(1).c_str(), m);
        } else if (hostStep == "@object") {
            std::string answer;
            for (const char* query :
                 {"position x", "position y", "position z", "angle x", "angle y", "angle z"})
                answer += std::string(answer.empty() ? "" : " + \" \" + ") + "str$(object " +
                          query + "(" + m + "))";
            record(answer);
        } else if (hostStep == "@delete-object") {
            std::printf("delete object %s\n", m);
        } else if (hostStep == "@make-object") {
            std::printf("make object %s, %s, 0\n", m, step.arguments.at(1).c_str());
        } else if (hostStep == "@limb-exists") {
            record("str$(limb exist(" + std::string(m) + ", " + step.arguments.at(1) + "))");
        } else if (recorded == kRecorded.end()) {
            throw std::runtime_error("no script can take the step " + hostStep);
        }
        if (recorded != kRecorded.end())
            record("str$(" + std::string(recorded->second.script) + "(" + m + "))");
    }
    std::printf("close file 1\nend\n");
}

// ---- The same list against the stand-in host ---------------------------------

// Every argument and result of the plug-in's commands and the host's functions
// is one 32-bit word (integers, floats, pointers; these are 32-bit programs),
// passed and returned by the C calling convention. Like the host, the caller
// makes each function's pointer type itself, so the sanitizer's check of
// function types is off here.
#define HOST_CDECL __attribute__((cdecl))
#if defined(__clang__)
#define KEP_HOST_STYLE_CALL __attribute__((no_sanitize("function")))
#else
#define KEP_HOST_STYLE_CALL
#endif

using Words = std::vector<uint32_t>;

uint32_t Word(const void* pointer) {
    return uint32_t(reinterpret_cast<uintptr_t>(pointer));
}
template <class T> T* Pointer(uint32_t word) {
    return reinterpret_cast<T*>(static_cast<uintptr_t>(word));
}

KEP_HOST_STYLE_CALL uint32_t CallWords(void* function, const Words& a) {
    using W = uint32_t;
    switch (a.size()) {
    case 0:
        return reinterpret_cast<W(HOST_CDECL*)()>(function)();
    case 1:
        return reinterpret_cast<W(HOST_CDECL*)(W)>(function)(a[0]);
    case 2:
        return reinterpret_cast<W(HOST_CDECL*)(W, W)>(function)(a[0], a[1]);
    case 3:
        return reinterpret_cast<W(HOST_CDECL*)(W, W, W)>(function)(a[0], a[1], a[2]);
    case 4:
        return reinterpret_cast<W(HOST_CDECL*)(W, W, W, W)>(function)(a[0], a[1], a[2], a[3]);
    default:
        return reinterpret_cast<W(HOST_CDECL*)(W, W, W, W, W)>(function)(a[0], a[1], a[2], a[3],
                                                                         a[4]);
    }
}

// The host's core module and the plug-in beside it, started as the host starts
// them: the global structure fetched, then Constructor called.
class HostProcess {
  public:
    HostProcess(const std::string& plugin, const std::string& hostDirectory) {
        void* core = outside::LoadHostCore(hostDirectory);
        if (void* getGlobPtr = outside::HostFunction(core, "?GetGlobPtr@@YAKXZ"))
            m_global = Pointer<uint32_t>(CallWords(getGlobPtr, {}));
        if (!m_global) throw std::runtime_error("no host core module in " + hostDirectory);
        m_plugin = outside::LoadPlugin(plugin);
        if (!m_plugin) throw std::runtime_error("cannot load the plug-in " + plugin);
        Plugin("Constructor");
    }
    uint32_t Plugin(const std::string& name, const Words& args = {}) const {
        void* function = outside::PluginExport(m_plugin, name.c_str());
        if (!function) throw std::runtime_error("the plug-in has no " + name);
        return CallWords(function, args);
    }
    // A function of the module in word 16 (images), 21 (memblocks) or 25 (objects).
    uint32_t Host(int word, const char* lookupName, const Words& args) const {
        void* function = outside::HostFunction(Pointer<void>(m_global[word]), lookupName);
        if (!function) throw std::runtime_error(std::string("the host has no ") + lookupName);
        return CallWords(function, args);
    }
    // A string result, copied, then freed through the host's allocator (word 0).
    std::string Take(uint32_t text) const {
        const char* chars = Pointer<const char>(text);
        const std::string copy = chars ? chars : "";
        using Allocator = void(HOST_CDECL*)(uint32_t*, uint32_t);
        if (text) reinterpret_cast<Allocator>(static_cast<uintptr_t>(m_global[0]))(&text, 0);
        return copy;
    }

  private:
    uint32_t* m_global = nullptr;
    void* m_plugin = nullptr;
};

// A float as the host's str$() prints it: twelve significant digits, and a
// three-digit exponent as its C library writes one.
std::string HostFloat(uint32_t bits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.12g", static_cast<double>(Bits<float>(bits)));
    std::string out = text;
    const std::size_t e = out.find('e');
    if (e != std::string::npos && out.size() - e == 4) out.insert(e + 2, "0");
    return out;
}

std::string RunHostStep(const HostProcess& host, const Step& step) {
    const std::vector<std::string>& a = step.arguments;
    if (step.hostStep == "@call") {
        char buffer[256] = "";
        std::vector<std::string> texts = a; // the arguments point into it
        Words args;
        for (std::size_t i = 1; i < texts.size(); ++i) {
            std::string& text = texts[i];
            if (text == "@")
                args.push_back(Word(buffer));
            else if (text[0] == '"')
                args.push_back(Word((text = text.substr(1, text.size() - 2)).c_str()));
            else
                args.push_back(uint32_t(std::stoll(text)));
        }
        const int32_t result = int32_t(host.Plugin(a.at(0), args));
        return std::to_string(result) + (*buffer ? " " : "") + buffer;
    }
    if (step.hostStep == "@constructor" || step.hostStep == "@destructor") {
        // Neither returns a value; the answer is the state the commands see after.
        host.Plugin(step.hostStep == "@constructor" ? "Constructor" : "Destructor");
        return "-";
    }
    const uint32_t number = std::stoul(a.at(0));
    auto memblock = [&](const char* lookupName) { return host.Host(21, lookupName, {number}); };
    if (step.hostStep == "@memblock" || step.hostStep == "@script-memblock") {
        std::vector<uint8_t> bytes;
        if (step.hostStep == "@memblock") {
            std::ifstream file(a.at(1), std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        } else {
            bytes.resize(std::stoul(a.at(1)));
            for (std::size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = static_cast<uint8_t>((i * 7 + number) % 256);
        }
        host.Host(21, "?MakeMemblock@@YAXHH@Z", {number, uint32_t(bytes.size())});
        if (uint8_t* into = Pointer<uint8_t>(memblock("?GetMemblockPtr@@YAKH@Z")))
            std::copy(bytes.begin(), bytes.end(), into);
    } else if (step.hostStep == "@memblock-sum") {
        if (!memblock("?MemblockExist@@YAHH@Z")) return "none";
        const uint8_t* bytes = Pointer<uint8_t>(memblock("?GetMemblockPtr@@YAKH@Z"));
        const int32_t size = int32_t(memblock(kMemblockSize.lookupName));
        int32_t sum = 0;
        for (int i = 0; bytes && i < size; ++i)
            sum += bytes[i] * (i + 1);
        return std::to_string(size) + " " + std::to_string(sum);
    } else if (step.hostStep == "@script-mesh") {
        host.Host(21, "?MakeMemblock@@YAXHH@Z", {29u, uint32_t(kTriangleMeshBytes)});
        uint8_t* bytes = Pointer<uint8_t>(host.Host(21, "?GetMemblockPtr@@YAKH@Z", {29u}));
        for (int word = 0; bytes && word < kTriangleMeshBytes / 4; ++word) {
            const uint32_t value = TriangleMeshWord(word);
            std::memcpy(bytes + 4 * word, &value, 4);
        }
        host.Host(21, "?CreateMeshFromMemblock@@YAXHH@Z", {number, 29u});
        host.Host(21, "?DeleteMemblock@@YAXH@Z", {29u});
    } else if (step.hostStep == "@image") {
        host.Host(16, "?LoadEx@@YAXPADH@Z", {Word(a.at(1).c_str()), number});
    } else if (step.hostStep == "@object") {
        std::string out;
        for (const std::string what : {"Position", "Rotation"})
            for (const char* axis : {"X", "Y", "Z"}) {
                const std::string name = "?Get" + (axis + what) + "Ex@@YAKH@Z";
                out += (out.empty() ? "" : " ") + HostFloat(host.Host(25, name.c_str(), {number}));
            }
        return out;
    } else if (step.hostStep == "@delete-object") {
        host.Host(25, "?DeleteEx@@YAXH@Z", {number});
    } else if (step.hostStep == "@make-object") {
        host.Host(25, "?MakeObject@@YAXHHH@Z", {number, uint32_t(std::stoul(a.at(1))), 0u});
    } else if (step.hostStep == "@limb-exists") {
        const uint32_t limb = std::stoul(a.at(1));
        return std::to_string(int32_t(host.Host(25, "?GetLimbExist@@YAHHH@Z", {number, limb})));
    }
    const auto recorded = kRecorded.find(step.hostStep);
    if (recorded == kRecorded.end()) throw std::runtime_error("unknown host step " + step.hostStep);
    const Query& query = recorded->second;
    return std::to_string(int32_t(host.Host(query.word, query.lookupName, {number})));
}

std::string RunCommand(const HostProcess& host, const Step& step) {
    const Command& command = *step.command;
    std::vector<std::string> texts;
    texts.reserve(step.arguments.size()); // the arguments point into it
    Words args;
    if (command.result == 'S') args.push_back(0); // no previous string
    for (std::size_t i = 0; i < step.arguments.size(); ++i) {
        const std::string& a = step.arguments[i];
        if (command.arguments[i] == 'S')
            args.push_back(Word(texts.emplace_back(a.substr(1, a.size() - 2)).c_str()));
        else if (command.arguments[i] == 'F')
            args.push_back(Bits<uint32_t>(std::stof(a)));
        else
            args.push_back(uint32_t(std::stoll(a)));
    }
    const uint32_t result = host.Plugin(command.exportName, args);
    if (command.result == 'S') return host.Take(result);
    if (command.result == 'F') return HostFloat(result);
    return command.result ? std::to_string(int32_t(result)) : "-";
}

// The process the step @without-host starts: the plug-in loaded where no core
// module can be found, and one command called, which must end the process
// before it returns.
int ChildWithoutHost(const char* plugin, const char* capture) {
    if (!std::freopen(capture, "w", stderr)) return 2;
    void* module = outside::LoadPlugin(plugin);
    void* version = outside::PluginExport(module, "KEP_Version");
    if (!version) return 2;
    outside::CaptureMessageBoxes(module);
    CallWords(version, {0});
    return 3;
}

std::string RunWithoutHost(const std::string& self, const std::string& plugin) {
    const int code = outside::RunWithoutHost(self, {"without-host", plugin, "told.txt"});
    std::ifstream file("told.txt", std::ios::binary);
    const std::string told{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const std::string message = "DBProCore.dll: This library is required by this program";
    int times = 0;
    for (std::size_t at = told.find(message); at != std::string::npos;
         at = told.find(message, at + 1))
        ++times;
    return "exit " + std::to_string(code) + ", told " + std::to_string(times);
}

int Run(const std::vector<Step>& steps, const std::string& plugin, const std::string& hostDir,
        const std::string& self) {
    const HostProcess host(plugin, hostDir);
    int wrong = 0;
    for (const Step& step : steps) {
        std::string answer = step.command                       ? RunCommand(host, step)
                             : step.hostStep == "@without-host" ? RunWithoutHost(self, plugin)
                                                                : RunHostStep(host, step);
        if (step.command || step.hostStep == "@call")
            answer += " | " + std::to_string(int32_t(host.Plugin("KEP_GetLastError"))) + " | " +
                      host.Take(host.Plugin("KEP_GetLastErrorText", {0}));
        std::printf("%d %s\n", step.line, answer.c_str());
        if (!step.expected.empty() && TrimEnd(answer) != step.expected) {
            ++wrong;
            std::fprintf(stderr, "line %d: %s => %s, expected %s\n", step.line, step.text.c_str(),
                         answer.c_str(), step.expected.c_str());
        }
    }
    host.Plugin("Destructor");
    return wrong == 0 ? 0 : 1;
}

// ---- The files the lists read --------------------------------------------------

// One group whose mesh has two triangles textured with `texture`, the first
// lightmapped with lightmap 1 and the second with the last one.
kepw::Map LitMap(int32_t lightmaps, const std::string& texture) {
    kepw::Map map;
    map.version = 5;
    map.groups = {{0, 0, "name=lit", {0, 0, 0}}};
    for (int32_t i = 0; i < lightmaps; ++i)
        map.lightmaps.push_back(kepw::PatternLightmap(4, 2, static_cast<uint32_t>(i)));
    map.meshes = {{}};
    map.meshes[0].groupNumber = 1;
    map.meshes[0].surfaces = {kepw::TriangleSurface(texture, 1),
                              kepw::TriangleSurface(texture, lightmaps)};
    map.entities = {{0, 1, "classname=pivot", {1, 2, 3}}};
    return map;
}

// The sample map and its textures in the folder and in away/ (for loads by a
// path with a folder in it); cut.kep, the sample map cut short; lit.kep, with
// two lightmaps and t.bmp; empty.kep, a map of nothing, and v3.kep, the same
// in a version never made; in away/, maps whose texture is missing (bare.kep),
// no picture (junk.kep), or a bitmap's headers without its pixels before a
// missing one (head.kep).
void MakeFiles(const std::filesystem::path& folder, const std::filesystem::path& sample) {
    namespace fs = std::filesystem;
    fs::create_directories(folder / "away");
    for (const fs::directory_entry& file : fs::directory_iterator(sample))
        for (const fs::path& into : {folder, folder / "away"})
            fs::copy_file(file.path(), into / file.path().filename(),
                          fs::copy_options::overwrite_existing);
    fs::copy_file(sample / "crate.bmp", folder / "t.bmp", fs::copy_options::overwrite_existing);
    std::ifstream in(sample / "sample.kep", std::ios::binary);
    const kepw::Bytes map{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    kepw::Map head = LitMap(1, "head.bmp");
    head.meshes[0].surfaces[1].textureName = "missing.bmp";
    // A bitmap file's two headers for 2 x 2 pixels of 24 bits, and not one pixel.
    kepw::Bytes header(54, 0);
    header[0] = 'B', header[1] = 'M', header[2] = 70, header[10] = 54, header[14] = 40;
    header[18] = header[22] = 2, header[26] = 1, header[28] = 24;
    const std::pair<fs::path, kepw::Bytes> files[] = {
        {"cut.kep", kepw::Truncate(map, 300)},
        {"lit.kep", kepw::Write(LitMap(2, "t.bmp"))},
        {"away/bare.kep", kepw::Write(LitMap(1, "missing.bmp"))},
        {"away/junk.kep", kepw::Write(LitMap(1, "junk.bmp"))},
        {"away/junk.bmp", {'n', 'o', 't', 'e', 's'}},
        {"empty.kep", kepw::Write(kepw::Map())},
        {"v3.kep", kepw::WithVersion(kepw::Write(kepw::Map()), 3)},
        {"away/head.kep", kepw::Write(head)},
        {"away/head.bmp", header},
    };
    for (const auto& [name, bytes] : files)
        if (map.empty() || !kepw::WriteFile((folder / name).string(), bytes))
            throw std::runtime_error("cannot write " + (folder / name).string());
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        if (argc == 4 && mode == "dba") {
            WriteProgram(ReadSequence(argv[2], CommandTable()), argv[3]);
            return 0;
        }
        if (argc == 5 && mode == "run")
            return Run(ReadSequence(argv[2], CommandTable()), argv[3], argv[4],
                       std::filesystem::absolute(argv[0]).string());
        if (argc == 4 && mode == "without-host") return ChildWithoutHost(argv[2], argv[3]);
        if (argc == 4 && mode == "files") {
            MakeFiles(argv[2], argv[3]);
            return 0;
        }
    } catch (const std::exception& problem) {
        std::fprintf(stderr, "command_sequence: %s\n", problem.what());
        return 1;
    }
    std::fprintf(stderr, "usage: %s files|dba|run ... (see the top of command_sequence.cpp)\n",
                 argv[0]);
    return 2;
}
