#include "command_table.h"

#include <fstream>
#include <stdexcept>

CommandTable ReadCommandTable(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    CommandTable table;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::size_t open = line.find('"');
        if (line.rfind("KEP_COMMAND(", 0) == 0 && open != std::string::npos &&
            line.size() > open + 2 && line.compare(line.size() - 2, 2, "\")") == 0) {
            // The table uses no escapes, so the literal's text is its bytes.
            const std::string text = line.substr(open + 1, line.size() - open - 3);
            const std::size_t name = text.find('%', text.find('%') + 1);
            if (name == std::string::npos) throw std::runtime_error(path + ": no function");
            table.strings[static_cast<uint32_t>(std::stoul(line.substr(12)))] = text;
            table.exportNames.insert(text.substr(name + 1, text.find('%', name + 1) - name - 1));
        } else if (line.rfind("KEP_EXTRA_EXPORT(", 0) == 0 && line.back() == ')') {
            table.exportNames.insert(line.substr(17, line.size() - 18));
        } else if (!line.empty() && line.rfind("//", 0) != 0) {
            throw std::runtime_error(path + ":" + std::to_string(number) + ": unexpected line");
        }
    }
    return table;
}
