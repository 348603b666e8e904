// Two small conversions used across the plug-in, each stated once.
#pragma once

#include <cstdint>
#include <cstring>

// A float's 32 bits and back: the host passes floats through 32-bit words
// (the "F" results, and the host functions that return a float's bits).
inline uint32_t KepFloatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}
inline float KepFloatFromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Case folding as names and keys are compared in a map: the ASCII letters
// a to z become A to Z, every other byte stays.
inline char KepUpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
inline bool KepEqualIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (KepUpperAscii(*a) != KepUpperAscii(*b)) return false;
    return *a == *b;
}
