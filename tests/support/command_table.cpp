#include "command_table.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

[[noreturn]] void Fail(const std::string& path, int lineNumber, const std::string& why) {
    throw std::runtime_error(path + ":" + std::to_string(lineNumber) + ": " + why);
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// Reads a C string literal starting at text[at] == '"'; returns its bytes and
// moves `at` past the closing quote.
bool ReadLiteral(const std::string& text, std::size_t& at, std::string& out) {
    if (at >= text.size() || text[at] != '"') return false;
    for (++at; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '"') {
            ++at;
            return true;
        }
        if (c == '\\') {
            if (++at >= text.size()) return false;
            const char e = text[at];
            if (e == 'n')
                out += '\n';
            else if (e == 't')
                out += '\t';
            else if (e == '"' || e == '\\' || e == '\'')
                out += e;
            else
                return false; // the table needs no other escapes
            continue;
        }
        out += c;
    }
    return false;
}

std::string Field(const std::string& text, int index) {
    std::size_t begin = 0;
    for (int i = 0; i < index; ++i) {
        begin = text.find('%', begin);
        if (begin == std::string::npos) return "";
        ++begin;
    }
    const std::size_t end = text.find('%', begin);
    return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

} // namespace

std::set<std::string> CommandTable::ExportNames() const {
    std::set<std::string> names(extraExports.begin(), extraExports.end());
    for (const CommandRow& row : rows)
        names.insert(row.exportName);
    return names;
}

std::string CommandTablePath(const std::string& sourceDir) {
    return sourceDir + "/src/plugin/command_table.inc";
}

CommandTable ReadCommandTable(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    CommandTable table;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (StartsWith(line, "KEP_COMMAND(")) {
            std::size_t at = std::string("KEP_COMMAND(").size();
            std::size_t used = 0;
            CommandRow row;
            try {
                row.id = std::stoi(line.substr(at), &used);
            } catch (const std::exception&) {
                Fail(path, lineNumber, "no resource id");
            }
            at += used;
            if (line.compare(at, 2, ", ") != 0) Fail(path, lineNumber, "expected \", \"");
            at += 2;
            if (!ReadLiteral(line, at, row.text)) Fail(path, lineNumber, "bad string literal");
            if (line.substr(at) != ")") Fail(path, lineNumber, "expected \")\" to end the row");
            row.exportName = Field(row.text, 2);
            if (row.exportName.empty()) Fail(path, lineNumber, "row names no function");
            table.rows.push_back(row);
        } else if (StartsWith(line, "KEP_EXTRA_EXPORT(")) {
            const std::size_t open = line.find('(');
            const std::size_t close = line.find(')', open);
            if (close == std::string::npos || close + 1 != line.size())
                Fail(path, lineNumber, "bad KEP_EXTRA_EXPORT");
            table.extraExports.push_back(line.substr(open + 1, close - open - 1));
        } else if (!line.empty() && !StartsWith(line, "//")) {
            Fail(path, lineNumber, "unexpected line");
        }
    }
    return table;
}
