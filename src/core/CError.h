// The record thrown, by value, when reading a map cannot go on: the one way a
// load fails. Scripts see only its message; the kind, the function and the
// place are for the plug-in's own tools and tests.
#pragma once

#include <cstdint>
#include <string>

#include "core/messages.h"

enum class CErrorKind : int32_t {
    BadSource,   // the command names no file or memblock that can be read
    Unsupported, // the data is not a map of a version this reader knows
    EndOfData,   // the data ends inside a value or a record
    NoData,      // the reader holds nothing at all
    OutOfMemory, // an allocation failed
    HostLimit,   // the host has no number left to give, or cannot take something that large
    Media,       // a texture file is missing, or the host made no image
};

// Where in the map a failure happened, filled in by the readers as they go.
// Never shown to scripts; KepDescribeFailure turns it into a line such as
// "mesh 12, surface 3: vertex data ends at byte 1048576 (needs 60 more)".
struct CErrorPlace {
    const char* section = nullptr; // "group", "visgroup", "lightmap", "mesh", "entity"; null
                                   // while the header is read
    int32_t record = 0;            // 1-based record of the section; 0 while its count is read
    int32_t surface = 0;           // 1-based surface of the mesh record; 0 for none
    const char* item = nullptr;    // what of the record was being read, e.g. "vertex data"
    int32_t offset = -1;           // byte offset where the read that failed began; -1 for none
    int32_t end = 0;               // byte offset where the data ends
    int32_t needed = 0;            // bytes that read needed past the end
};

struct CError {
    int32_t line;
    char message[2048];
    char file[261];
    char function[131];
    CErrorKind kind = CErrorKind::EndOfData;
    CErrorPlace place;

    CError(const char* message, const char* function, const char* file, int32_t line);
};

// Throws a CError naming the calling source line. A message with a conversion
// ("%s", "%d") takes its argument after the unit.
[[noreturn]] void KepFail(CErrorKind kind, KepMessage message, const char* function,
                          const char* unit, int32_t line);
[[noreturn]] void KepFail(CErrorKind kind, KepMessage message, const char* function,
                          const char* unit, int32_t line, const char* argument);
[[noreturn]] void KepFail(CErrorKind kind, KepMessage message, const char* function,
                          const char* unit, int32_t line, int32_t argument);
#define KEP_FAIL(kind, message, function, unit, ...)                                               \
    KepFail(CErrorKind::kind, KepMessage::message, function, unit, __LINE__, ##__VA_ARGS__)

// Throws "EOF" for a read of `wanted` bytes at `offset` in data of `size` bytes.
[[noreturn]] void KepFailEndOfData(const char* function, const char* unit, int32_t line,
                                   int32_t offset, int32_t size, int64_t wanted);

// The record part of a place, e.g. "mesh 12, surface 3", or "header".
std::string KepDescribePlace(const CErrorPlace& place);

// One line for people: where the failure happened and what it was.
std::string KepDescribeFailure(const CError& error);
