// File access for the map reader and texture lookup: the one place below the
// host binding where the two targets differ. Paths written on Windows
// (backslash separators) work on Linux too.
#pragma once

#include <cstdint>
#include <cstdio>

namespace file_access {

std::FILE* OpenForReading(const char* path);
// Length of an open file in bytes, or -1 when it cannot be told.
int64_t Length(std::FILE* file);
bool Exists(const char* path);

} // namespace file_access
