// A reader over one whole map held in memory: little-endian int32, float32 and
// zero-terminated strings. Reads past the end throw CError "EOF" with the
// offset and shortfall in its place.
#pragma once

#include <cstdint>

#include "core/Cstring.h"

class CFile {
  public:
    CFile() = default;
    ~CFile() { ReleaseData(); }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    bool Open(const char* path);
    bool OpenMemory(const void* source, int32_t length);

    int32_t ReadInt();
    float ReadFloat();
    int32_t ReadString(Cstring& out);

    // Bytes not yet read: lets readers refuse sizes the data cannot hold
    // before anything is allocated for them.
    int32_t Remaining() const { return m_size - m_position; }
    int32_t Position() const { return m_position; }
    int32_t Size() const { return m_size; }
    bool HoldsData() const { return m_held; }
    void ReleaseData();

  private:
    const uint8_t* Take4(const char* function);

    uint8_t* m_data = nullptr;
    bool m_held = false; // an empty file is held data too
    int32_t m_size = 0;
    int32_t m_position = 0;
};
