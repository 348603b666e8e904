#include "core/CFile.h"

#include <algorithm>
#include <cstring>

#include "core/CError.h"
#include "core/file_access.h"
#include "core/memory.h"

void CFile::ReleaseData() {
    KepRelease(m_window);
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
    m_window = nullptr;
    m_capacity = 0;
    m_windowStart = 0;
    m_windowLength = 0;
    m_held = false;
    m_size = 0;
    m_position = 0;
}

bool CFile::Open(const char* path) {
    ReleaseData();
    if (!path) return false;
    std::FILE* file = file_access::OpenForReading(path);
    if (!file) return false;
    const int64_t length = file_access::Length(file);
    if (length < 0 || length > INT32_MAX) {
        std::fclose(file);
        return false;
    }
    // The first piece is read at once, so that a file that cannot be read
    // fails here. One byte more than needed so an empty file still gets a
    // real buffer.
    const int32_t capacity = static_cast<int32_t>(std::min<int64_t>(length, kPieceBytes));
    uint8_t* window = static_cast<uint8_t*>(
        KepAllocate(static_cast<std::size_t>(capacity) + 1, KEP_UNIT_FILE, __LINE__));
    if (!window) {
        std::fclose(file);
        return false;
    }
    if (std::fread(window, 1, static_cast<std::size_t>(capacity), file) !=
        static_cast<std::size_t>(capacity)) {
        KepRelease(window);
        std::fclose(file);
        return false;
    }
    if (capacity == length) { // all there: nothing more to read from the file
        std::fclose(file);
        file = nullptr;
    }
    m_file = file;
    m_window = window;
    m_capacity = capacity;
    m_windowLength = capacity;
    m_held = true;
    m_size = static_cast<int32_t>(length);
    return true;
}

bool CFile::OpenMemory(const void* source, int32_t length) {
    ReleaseData();
    if (!source || length < 0) return false;
    uint8_t* data = static_cast<uint8_t*>(
        KepAllocate(static_cast<std::size_t>(length) + 1, KEP_UNIT_FILE, __LINE__));
    if (!data) return false;
    std::memcpy(data, source, static_cast<std::size_t>(length));
    m_window = data;
    m_capacity = length;
    m_windowLength = length;
    m_held = true;
    m_size = length;
    return true;
}

void CFile::FailShortRead(const char* function, int32_t offset, int32_t wanted) {
    // The file is shorter than it was when opened: its data ends here.
    m_size = WindowEnd();
    KepFailEndOfData(function, KEP_UNIT_FILE, __LINE__, offset, m_size, wanted);
}

void CFile::Fill(int32_t bytes, const char* function) {
    if (!m_file) FailShortRead(function, m_position, bytes);
    if (bytes > m_capacity) {
        // Only a string longer than a piece gets here; doubling keeps the
        // rereads of a very long one linear in its length.
        const int64_t grown =
            std::max<int64_t>(bytes, std::min<int64_t>(int64_t{m_capacity} * 2, Remaining()));
        void* moved =
            KepReallocate(m_window, static_cast<std::size_t>(grown) + 1, KEP_UNIT_FILE, __LINE__);
        if (!moved) KEP_FAIL(OutOfMemory, RecordAllocation, function, KEP_UNIT_FILE);
        m_window = static_cast<uint8_t*>(moved);
        m_capacity = static_cast<int32_t>(grown);
    }
    const int32_t kept = WindowEnd() - m_position;
    std::memmove(m_window, m_window + (m_position - m_windowStart), static_cast<std::size_t>(kept));
    m_windowStart = m_position;
    m_windowLength = kept;
    const int32_t wanted = std::min(m_capacity - kept, m_size - WindowEnd());
    m_windowLength += static_cast<int32_t>(
        std::fread(m_window + kept, 1, static_cast<std::size_t>(wanted), m_file));
    if (m_windowLength < bytes) FailShortRead(function, m_position, bytes);
}

const uint8_t* CFile::Take(int32_t bytes, const char* function) {
    if (!m_held) KEP_FAIL(NoData, NoData, function, KEP_UNIT_FILE);
    if (m_size - m_position < bytes)
        KepFailEndOfData(function, KEP_UNIT_FILE, __LINE__, m_position, m_size, bytes);
    if (m_position + bytes > WindowEnd()) Fill(bytes, function);
    const uint8_t* taken = m_window + (m_position - m_windowStart);
    m_position += bytes;
    return taken;
}

int32_t CFile::ReadInt() {
    const uint8_t* b = Take(4, "CFile::ReadInt");
    const uint32_t value = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
    return static_cast<int32_t>(value);
}

float CFile::ReadFloat() {
    const uint8_t* b = Take(4, "CFile::ReadFloat");
    float value;
    std::memcpy(&value, b, 4); // both targets are little-endian
    return value;
}

void CFile::ReadBytes(void* into, int32_t bytes) {
    const char* function = "CFile::ReadBytes";
    if (!m_held) KEP_FAIL(NoData, NoData, function, KEP_UNIT_FILE);
    if (bytes <= 0) return;
    if (Remaining() < bytes)
        KepFailEndOfData(function, KEP_UNIT_FILE, __LINE__, m_position, m_size, bytes);
    uint8_t* out = static_cast<uint8_t*>(into);
    const int32_t begin = m_position;
    const int32_t fromWindow = std::min(bytes, WindowEnd() - m_position);
    std::memcpy(out, m_window + (m_position - m_windowStart), static_cast<std::size_t>(fromWindow));
    m_position += fromWindow;
    const int32_t rest = bytes - fromWindow;
    if (rest == 0) return;
    if (rest < m_capacity) {
        Fill(rest, function);
        std::memcpy(out + fromWindow, m_window, static_cast<std::size_t>(rest));
        m_position += rest;
        return;
    }
    // A block larger than the window goes straight from the file to its place.
    if (!m_file) FailShortRead(function, begin, bytes);
    const std::size_t read =
        std::fread(out + fromWindow, 1, static_cast<std::size_t>(rest), m_file);
    m_position += static_cast<int32_t>(read);
    m_windowStart = m_position;
    m_windowLength = 0;
    if (read != static_cast<std::size_t>(rest)) FailShortRead(function, begin, bytes);
}

int32_t CFile::ReadString(Cstring& out) {
    const char* function = "CFile::ReadString";
    if (!m_held) KEP_FAIL(NoData, NoData, function, KEP_UNIT_FILE);
    int32_t scanned = 0; // bytes from m_position known to hold no terminator
    for (;;) {
        const char* start = reinterpret_cast<const char*>(m_window + (m_position - m_windowStart));
        const int32_t inWindow = WindowEnd() - m_position;
        const void* end =
            std::memchr(start + scanned, 0, static_cast<std::size_t>(inWindow - scanned));
        if (end || WindowEnd() == m_size) {
            // Without a terminator the string runs to the end of the data.
            const int32_t length =
                end ? static_cast<int32_t>(static_cast<const char*>(end) - start) : inWindow;
            if (!out.AssignBytes(start, length))
                KEP_FAIL(OutOfMemory, RecordAllocation, function, KEP_UNIT_FILE);
            m_position += end ? length + 1 : length;
            return out.Length();
        }
        scanned = inWindow;
        Fill(inWindow + 1, function);
    }
}
