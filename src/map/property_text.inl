// Property text: "key=value" lines. Carriage returns and double quotes are
// dropped, a line feed ends a line, the first "=" switches to the value and
// every "=" is dropped, and a line with an empty key gives no property.
#pragma once

#include <algorithm>
#include <string>

template <class OnLine>
void KEP_ParseProperties(const Cstring& text, KEP_Properties& into, OnLine onLine) {
    std::string key;
    std::string value;
    bool inValue = false;
    auto endLine = [&] {
        if (!key.empty()) into.Add(key, value);
        onLine(key, value, inValue);
        key.clear();
        value.clear();
        inValue = false;
    };
    const char* p = text.CStr();
    const int32_t length = text.Length();
    // A line's pair takes at most its own bytes and two terminators.
    const auto lines = static_cast<std::size_t>(std::count(p, p + length, '\n')) + 1;
    into.Reserve(static_cast<std::size_t>(length) + 2 * lines, lines);
    for (int32_t i = 0; i < length; ++i) {
        const char c = p[i];
        if (c == '\r' || c == '"') continue;
        if (c == '\n') {
            endLine();
        } else if (c == '=') {
            inValue = true;
        } else {
            (inValue ? value : key) += c;
        }
    }
    endLine(); // the end of the text ends the last line
    into.Trim();
}
