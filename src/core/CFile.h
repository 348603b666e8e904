// A reader over one map: little-endian int32, float32, zero-terminated
// strings and blocks of bytes. A file is read in pieces through a window that
// holds the bytes being read (and grows only to hold the longest string), so
// a load never holds the whole file; bytes from memory are copied once and
// read from the copy. Reads past the end throw CError "EOF" with the offset
// and shortfall in its place.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/Cstring.h"

class CFile {
  public:
    // A file is read this many bytes at a time: enough that the calls to the
    // C library cost nothing next to the reading, little next to any map.
    static constexpr int32_t kPieceBytes = 16 * 1024;

    CFile() = default;
    ~CFile() { ReleaseData(); }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    bool Open(const char* path);
    bool OpenMemory(const void* source, int32_t length);

    int32_t ReadInt();
    float ReadFloat();
    int32_t ReadString(Cstring& out);
    // The next `bytes` bytes into `into`, unchanged; all of them or, when
    // fewer are left, none (EOF).
    void ReadBytes(void* into, int32_t bytes);

    // Bytes not yet read: lets readers refuse sizes the data cannot hold
    // before anything is allocated for them.
    int32_t Remaining() const { return m_size - m_position; }
    int32_t Position() const { return m_position; }
    int32_t Size() const { return m_size; }
    void ReleaseData();

  private:
    const uint8_t* Take(int32_t bytes, const char* function);
    int32_t WindowEnd() const { return m_windowStart + m_windowLength; }
    // Makes the window hold [m_position, m_position + bytes), all within the
    // data; throws when the file gives fewer bytes than it said it had.
    void Fill(int32_t bytes, const char* function);
    [[noreturn]] void FailShortRead(const char* function, int32_t offset, int32_t wanted);

    std::FILE* m_file = nullptr; // null: the window holds all the data
    uint8_t* m_window = nullptr; // data bytes [m_windowStart, WindowEnd())
    int32_t m_capacity = 0;
    int32_t m_windowStart = 0;
    int32_t m_windowLength = 0;
    bool m_held = false; // an empty file is held data too
    int32_t m_size = 0;
    int32_t m_position = 0;
};
