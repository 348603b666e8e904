// Owned zero-terminated text in a heap buffer of exactly its length plus one.
#pragma once

#include <cstdint>

class Cstring {
  public:
    Cstring();                          // the empty text, size 1
    explicit Cstring(const char* text); // null text leaves no buffer
    ~Cstring();
    Cstring(const Cstring&) = delete;

    bool Assign(const char* text);
    // Copies exactly `length` bytes and a terminator: one allocation, one copy.
    bool AssignBytes(const char* bytes, int32_t length);
    bool Append(const char* text);
    bool Empty();

    Cstring& operator=(const char* text) {
        Assign(text);
        return *this;
    }
    Cstring& operator=(const Cstring& other) {
        Assign(other.m_text);
        return *this;
    }
    void operator+=(char c);
    void operator+=(const char* text) { Append(text); }

    const char* Text() const { return m_text; } // may be null
    const char* CStr() const { return m_text ? m_text : ""; }
    int32_t Length() const { return m_size > 0 ? m_size - 1 : 0; }
    bool IsEmpty() const { return Length() == 0; }

  private:
    void Release();
    char* m_text = nullptr;
    int32_t m_size = 0;
};
