#include "core/CFile.h"

#include <cstdio>
#include <cstring>

#include "core/CError.h"
#include "core/file_access.h"
#include "core/memory.h"

void CFile::ReleaseData() {
    KepRelease(m_data);
    m_data = nullptr;
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
    // One byte more than needed so an empty file still gets a real buffer.
    uint8_t* data = static_cast<uint8_t*>(
        KepAllocate(static_cast<std::size_t>(length) + 1, KEP_UNIT_FILE, __LINE__));
    if (!data) {
        std::fclose(file);
        return false;
    }
    const std::size_t read = std::fread(data, 1, static_cast<std::size_t>(length), file);
    std::fclose(file);
    if (read != static_cast<std::size_t>(length)) {
        KepRelease(data);
        return false;
    }
    m_data = data;
    m_held = true;
    m_size = static_cast<int32_t>(length);
    m_position = 0;
    return true;
}

bool CFile::OpenMemory(const void* source, int32_t length) {
    ReleaseData();
    if (!source || length < 0) return false;
    uint8_t* data = static_cast<uint8_t*>(
        KepAllocate(static_cast<std::size_t>(length) + 1, KEP_UNIT_FILE, __LINE__));
    if (!data) return false;
    std::memcpy(data, source, static_cast<std::size_t>(length));
    m_data = data;
    m_held = true;
    m_size = length;
    return true;
}

const uint8_t* CFile::Take4(const char* function) {
    if (!m_held) KEP_FAIL(NoData, NoData, function, KEP_UNIT_FILE);
    if (m_size - m_position < 4)
        KepFailEndOfData(function, KEP_UNIT_FILE, __LINE__, m_position, m_size, 4);
    const uint8_t* bytes = m_data + m_position;
    m_position += 4;
    return bytes;
}

int32_t CFile::ReadInt() {
    const uint8_t* b = Take4("CFile::ReadInt");
    const uint32_t value = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
    return static_cast<int32_t>(value);
}

float CFile::ReadFloat() {
    const uint8_t* b = Take4("CFile::ReadFloat");
    float value;
    std::memcpy(&value, b, 4); // both targets are little-endian
    return value;
}

int32_t CFile::ReadString(Cstring& out) {
    if (!m_held) KEP_FAIL(NoData, NoData, "CFile::ReadString", KEP_UNIT_FILE);
    const char* start = reinterpret_cast<const char*>(m_data + m_position);
    const std::size_t left = static_cast<std::size_t>(m_size - m_position);
    const void* end = std::memchr(start, 0, left);
    const int32_t length = end ? static_cast<int32_t>(static_cast<const char*>(end) - start)
                               : static_cast<int32_t>(left);
    if (!out.AssignBytes(start, length))
        KEP_FAIL(OutOfMemory, RecordAllocation, "CFile::ReadString", KEP_UNIT_FILE);
    m_position += end ? length + 1 : length;
    return out.Length();
}
