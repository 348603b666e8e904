// The record thrown, by value, when reading a map cannot go on.
#pragma once

#include <cstdint>

struct CError {
    int32_t line;
    char message[2048];
    char file[261];
    char function[131];

    CError(const char* message, const char* function, const char* file, int32_t line);
};

// Throws a CError naming the calling source line.
#define KEP_THROW(message, function, unit) throw CError(message, function, unit, __LINE__)
