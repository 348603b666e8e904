#include "core/Cstring.h"

#include <cstdint>
#include <cstring>

#include "core/memory.h"

Cstring::Cstring() {
    Assign("");
}

Cstring::Cstring(const char* text) {
    Assign(text);
}

Cstring::~Cstring() {
    Release();
}

void Cstring::Release() {
    KepRelease(m_text);
    m_text = nullptr;
    m_size = 0;
}

bool Cstring::AssignBytes(const char* bytes, int32_t length) {
    if (!bytes || length < 0) return false;
    if (bytes == m_text && length == Length()) return true;
    char* buffer = static_cast<char*>(
        KepAllocate(static_cast<std::size_t>(length) + 1, KEP_UNIT_STRING, __LINE__));
    if (buffer) {
        std::memcpy(buffer, bytes, static_cast<std::size_t>(length));
        buffer[length] = '\0';
    }
    Release();
    if (!buffer) return false;
    m_text = buffer;
    m_size = length + 1;
    return true;
}

bool Cstring::Assign(const char* text) {
    if (!text) return false;
    if (text == m_text) return true;
    return AssignBytes(text, static_cast<int32_t>(std::strlen(text)));
}

bool Cstring::Append(const char* text) {
    if (!text) return false;
    const std::size_t extra = std::strlen(text);
    const std::size_t old = static_cast<std::size_t>(Length());
    // Appending a piece of this very string: find it again after the resize.
    const auto from = reinterpret_cast<std::uintptr_t>(text);
    const auto base = reinterpret_cast<std::uintptr_t>(m_text);
    const bool aliased = m_text && from >= base && from < base + static_cast<std::size_t>(m_size);
    char* buffer =
        static_cast<char*>(KepReallocate(m_text, old + extra + 1, KEP_UNIT_STRING, __LINE__));
    if (!buffer) return false;
    if (aliased) text = buffer + (from - base);
    std::memmove(buffer + old, text, extra + 1);
    m_text = buffer;
    m_size = static_cast<int32_t>(old + extra + 1);
    return true;
}

bool Cstring::Empty() {
    Release();
    return Assign("");
}

void Cstring::operator+=(char c) {
    const char text[2] = {c, '\0'};
    Append(text);
}
