// One list of script commands, two hosts: the list as a program for the real
// runtime that records every answer to a file, and the same list run against a
// plug-in beside the stand-in host, answers printed alike (compared line for line).
//
//   command_sequence files <folder> <sample map directory>         (the files the lists read)
//   command_sequence dba <sequence> <answers file>                 (the program, to stdout)
//   command_sequence run <sequence> <plug-in> <host directory>     (the answers, to stdout)
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
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "host_style_call.h"
#include "kep_writer.h"

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
        const std::string text = row;
        const std::size_t first = text.find('%');
        const std::size_t second = text.find('%', first + 1);
        const std::size_t third = text.find('%', second + 1);
        Command command;
        command.name = text.substr(0, first);
        std::string types = text.substr(first + 1, second - first - 1);
        command.exportName = text.substr(second + 1, third - second - 1);
        if (!command.name.empty() && command.name.back() == '[') {
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
    std::vector<std::string> parts;
    std::string part;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted) {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    for (std::string& p : parts) {
        p.erase(0, p.find_first_not_of(' '));
        p.erase(p.find_last_not_of(' ') + 1);
    }
    if (parts.size() == 1 && parts[0].empty()) parts.clear();
    return parts;
}

std::vector<Step> ReadSequence(const std::string& path, const std::vector<Command>& table) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::vector<Step> steps;
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (text.empty() || text[0] == '#') continue;
        Step step;
        step.line = line;
        if (const std::size_t arrow = text.find(" => "); arrow != std::string::npos) {
            step.expected = TrimEnd(text.substr(arrow + 4));
            text = TrimEnd(text.substr(0, arrow));
        }
        step.text = text;
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
        if (!step.command)
            throw std::runtime_error("line " + std::to_string(line) + ": no command");
        std::string rest = text.substr(step.command->name.size());
        rest.erase(0, rest.find_first_not_of(' '));
        if (step.command->result) {
            if (rest.size() < 2 || rest.front() != '(' || rest.back() != ')')
                throw std::runtime_error("line " + std::to_string(line) + ": brackets expected");
            rest = rest.substr(1, rest.size() - 2);
        }
        step.arguments = SplitArguments(rest);
        if (step.arguments.size() != step.command->arguments.size())
            throw std::runtime_error("line " + std::to_string(line) + ": wrong argument count");
        steps.push_back(step);
    }
    return steps;
}

// A mesh memblock of one triangle: the format of position, normal, diffuse
// colour and one UV pair, 36 bytes a vertex, three vertices.
constexpr int kTriangleMeshBytes = 12 + 3 * 36;
uint32_t TriangleMeshWord(int word) {
    if (word < 3) return word == 0 ? 0x152u : word == 1 ? 36u : 3u;
    const int vertex = (word - 3) / 9, field = (word - 3) % 9;
    float value = 0.0f;
    if (field == 0 && vertex == 1) value = 1.0f; // x
    if (field == 1 && vertex == 2) value = 1.0f; // y
    if (field == 5) value = -1.0f;               // normal z
    if (field == 6) return 0x00FFFFFFu;          // white
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

bool TriangleMeshWordIsInteger(int word) {
    return word < 3 || (word - 3) % 9 == 6;
}

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
        auto recordOf = [&](const char* query) {
            record("str$(" + std::string(query) + "(" + m + "))");
        };
        if (hostStep == "@memblock") {
            std::printf("open to read 2, \"%s\" : make memblock from file %s, 2 : close file 2\n",
                        step.arguments.at(1).c_str(), m);
            recordOf("get memblock size");
        } else if (hostStep == "@script-memblock") {
            const char* size = step.arguments.at(1).c_str();
            std::printf("make memblock %s, %s\nfor i = 0 to %s - 1\n"
                        "write memblock byte %s, i, (i * 7 + %s) mod 256\nnext i\n",
                        m, size, size, m, m);
            recordOf("get memblock size");
        } else if (hostStep == "@memblock-sum") {
            std::printf("s$ = \"none\"\nif memblock exist(%s)\nsum = 0\n"
                        "for i = 0 to get memblock size(%s) - 1\n"
                        "sum = sum + memblock byte(%s, i) * (i + 1)\nnext i\n"
                        "s$ = str$(get memblock size(%s)) + \" \" + str$(sum)\nendif\n",
                        m, m, m, m);
            record("s$");
        } else if (hostStep == "@script-mesh") {
            std::printf("make memblock 29, %d\n", kTriangleMeshBytes);
            for (int word = 0; word < kTriangleMeshBytes / 4; ++word) {
                const uint32_t value = TriangleMeshWord(word);
                float asFloat;
                std::memcpy(&asFloat, &value, sizeof asFloat);
                // Whole words as integers the script's literals can hold;
                // the rest as the floats they are.
                if (TriangleMeshWordIsInteger(word))
                    std::printf("write memblock dword 29, %d, %u\n", word * 4, value);
                else
                    std::printf("write memblock float 29, %d, %g\n", word * 4,
                                static_cast<double>(asFloat));
            }
            std::printf("make mesh from memblock %s, 29\ndelete memblock 29\n", m);
            recordOf("mesh exist");
        } else if (hostStep == "@mesh-exists") {
            recordOf("mesh exist");
        } else if (hostStep == "@image") {
            std::printf("load image \"%s\", %s\n", step.arguments.at(1).c_str(), m);
            recordOf("image exist");
        } else if (hostStep == "@object") {
            std::string answer;
            for (const char* query :
                 {"position x", "position y", "position z", "angle x", "angle y", "angle z"})
                answer += std::string(answer.empty() ? "" : " + \" \" + ") + "str$(object " +
                          query + "(" + m + "))";
            record(answer);
        } else if (hostStep == "@exists") {
            recordOf("object exist");
        } else if (hostStep == "@delete-object" || hostStep == "@make-object") {
            if (hostStep == "@delete-object")
                std::printf("delete object %s\n", m);
            else
                std::printf("make object %s, %s, 0\n", m, step.arguments.at(1).c_str());
            recordOf("object exist");
        } else if (hostStep == "@limb-exists") {
            record("str$(limb exist(" + std::string(m) + ", " + step.arguments.at(1) + "))");
        } else if (hostStep == "@image-exists") {
            recordOf("image exist");
        } else if (!step.command) {
            throw std::runtime_error("unknown host step " + hostStep);
        } else {
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
        }
    }
    std::printf("close file 1\nend\n");
}

// ---- The same list against the stand-in host ---------------------------------

uint32_t FloatWord(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// A float as the host's str$() prints it: twelve significant digits, and a
// three-digit exponent as its C library writes one.
std::string HostFloat(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    char text[64];
    std::snprintf(text, sizeof text, "%.12g", static_cast<double>(value));
    std::string out = text;
    const std::size_t e = out.find('e');
    if (e != std::string::npos && out.size() - e == 4) out.insert(e + 2, "0");
    return out;
}

std::string RunHostStep(const HostProcess& host, const Step& step) {
    const uint32_t number = std::stoul(step.arguments.at(0));
    auto memblock = [&](const char* lookupName) { return host.Host(21, lookupName, {number}); };
    auto size = [&] { return int32_t(memblock("?GetMemblockSize@@YAHH@Z")); };
    auto bytesAt = [](uint32_t address) { return reinterpret_cast<uint8_t*>(uintptr_t(address)); };
    if (step.hostStep == "@memblock" || step.hostStep == "@script-memblock") {
        std::vector<uint8_t> bytes;
        if (step.hostStep == "@memblock") {
            std::ifstream file(step.arguments.at(1), std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        } else {
            bytes.resize(std::stoul(step.arguments.at(1)));
            for (std::size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = static_cast<uint8_t>((i * 7 + number) % 256);
        }
        host.Host(21, "?MakeMemblock@@YAXHH@Z", {number, uint32_t(bytes.size())});
        if (uint8_t* into = bytesAt(memblock("?GetMemblockPtr@@YAKH@Z")))
            std::copy(bytes.begin(), bytes.end(), into);
        return std::to_string(size());
    }
    if (step.hostStep == "@memblock-sum") {
        if (!memblock("?MemblockExist@@YAHH@Z")) return "none";
        const uint8_t* bytes = bytesAt(memblock("?GetMemblockPtr@@YAKH@Z"));
        int32_t sum = 0;
        for (int i = 0, end = size(); bytes && i < end; ++i)
            sum += bytes[i] * (i + 1);
        return std::to_string(size()) + " " + std::to_string(sum);
    }
    if (step.hostStep == "@script-mesh") {
        host.Host(21, "?MakeMemblock@@YAXHH@Z", {29u, uint32_t(kTriangleMeshBytes)});
        uint8_t* bytes = bytesAt(host.Host(21, "?GetMemblockPtr@@YAKH@Z", {29u}));
        for (int word = 0; bytes && word < kTriangleMeshBytes / 4; ++word) {
            const uint32_t value = TriangleMeshWord(word);
            std::memcpy(bytes + 4 * word, &value, 4);
        }
        host.Host(21, "?CreateMeshFromMemblock@@YAXHH@Z", {number, 29u});
        host.Host(21, "?DeleteMemblock@@YAXH@Z", {29u});
    }
    if (step.hostStep == "@script-mesh" || step.hostStep == "@mesh-exists")
        return std::to_string(int32_t(host.Host(25, "?GetMeshExist@@YAHH@Z", {number})));
    if (step.hostStep == "@image") {
        std::string file = step.arguments.at(1);
        host.Host(16, "?LoadEx@@YAXPADH@Z",
                  {uint32_t(reinterpret_cast<uintptr_t>(&file[0])), number});
        return std::to_string(int32_t(host.Host(16, "?GetExistEx@@YAHH@Z", {number})));
    }
    if (step.hostStep == "@object") {
        std::string out;
        for (const std::string what : {"Position", "Rotation"})
            for (const char* axis : {"X", "Y", "Z"}) {
                const std::string name = "?Get" + (axis + what) + "Ex@@YAKH@Z";
                out += (out.empty() ? "" : " ") + HostFloat(host.Host(25, name.c_str(), {number}));
            }
        return out;
    }
    if (step.hostStep == "@delete-object") host.Host(25, "?DeleteEx@@YAXH@Z", {number});
    if (step.hostStep == "@make-object")
        host.Host(25, "?MakeObject@@YAXHHH@Z",
                  {number, uint32_t(std::stoul(step.arguments.at(1))), 0u});
    if (step.hostStep == "@limb-exists") {
        const uint32_t limb = std::stoul(step.arguments.at(1));
        return std::to_string(int32_t(host.Host(25, "?GetLimbExist@@YAHHH@Z", {number, limb})));
    }
    if (step.hostStep == "@exists" || step.hostStep == "@delete-object" ||
        step.hostStep == "@make-object")
        return std::to_string(int32_t(host.Host(25, "?GetExist@@YAHH@Z", {number})));
    if (step.hostStep == "@image-exists")
        return std::to_string(int32_t(host.Host(16, "?GetExistEx@@YAHH@Z", {number})));
    throw std::runtime_error("unknown host step " + step.hostStep);
}

std::string RunCommand(const HostProcess& host, const Step& step) {
    const Command& command = *step.command;
    std::vector<std::string> texts;
    texts.reserve(step.arguments.size()); // the arguments point into it
    Words args;
    if (command.result == 'S') args.push_back(0); // no previous string
    for (std::size_t i = 0; i < step.arguments.size(); ++i) {
        const std::string& a = step.arguments[i];
        switch (command.arguments[i]) {
        case 'S':
            texts.push_back(a.substr(1, a.size() - 2));
            args.push_back(uint32_t(reinterpret_cast<uintptr_t>(texts.back().c_str())));
            break;
        case 'F':
            args.push_back(FloatWord(std::stof(a)));
            break;
        default:
            args.push_back(uint32_t(std::stoll(a)));
        }
    }
    const uint32_t result = host.Plugin(command.exportName, args);
    switch (command.result) {
    case 'S':
        return host.Take(result);
    case 'F':
        return HostFloat(result);
    case 0:
        return "-";
    default:
        return std::to_string(int32_t(result));
    }
}

int Run(const std::vector<Step>& steps, const std::string& plugin, const std::string& hostDir) {
    const HostProcess host(plugin, hostDir);
    int wrong = 0;
    for (const Step& step : steps) {
        std::string answer;
        if (step.command) {
            answer = RunCommand(host, step);
            const int32_t error = int32_t(host.Plugin("KEP_GetLastError", {}));
            answer += " | " + std::to_string(error) + " | " +
                      host.Take(host.Plugin("KEP_GetLastErrorText", {0}));
        } else {
            answer = RunHostStep(host, step);
        }
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
    try {
        const std::vector<Command> table = CommandTable();
        if (argc == 4 && std::strcmp(argv[1], "dba") == 0) {
            WriteProgram(ReadSequence(argv[2], table), argv[3]);
            return 0;
        }
        if (argc == 5 && std::strcmp(argv[1], "run") == 0)
            return Run(ReadSequence(argv[2], table), argv[3], argv[4]);
        if (argc == 4 && std::strcmp(argv[1], "files") == 0) {
            MakeFiles(argv[2], argv[3]);
            return 0;
        }
    } catch (const std::exception& problem) {
        std::fprintf(stderr, "command_sequence: %s\n", problem.what());
        return 1;
    }
    std::fprintf(stderr,
                 "usage: %s files <folder> <sample map directory>\n"
                 "       %s dba <sequence> <answers file>\n"
                 "       %s run <sequence> <plug-in> <host directory>\n",
                 argv[0], argv[0], argv[0]);
    return 2;
}
