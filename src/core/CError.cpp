#include "core/CError.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {
template <std::size_t N> void CopyText(char (&field)[N], const char* text) {
    std::strncpy(field, text ? text : "", N - 1);
    field[N - 1] = '\0';
}
} // namespace

CError::CError(const char* message_, const char* function_, const char* file_, int32_t line_)
    : line(line_) {
    CopyText(message, message_);
    CopyText(file, file_);
    CopyText(function, function_);
}

void KepFail(CErrorKind kind, KepMessage message, const char* function, const char* unit,
             int32_t line) {
    CError error(KepMessageText(message), function, unit, line);
    error.kind = kind;
    throw error;
}

void KepFail(CErrorKind kind, KepMessage message, const char* function, const char* unit,
             int32_t line, const char* argument) {
    CError error("", function, unit, line);
    error.kind = kind;
    std::snprintf(error.message, sizeof error.message, KepMessageText(message), argument);
    throw error;
}

void KepFail(CErrorKind kind, KepMessage message, const char* function, const char* unit,
             int32_t line, int32_t argument) {
    CError error("", function, unit, line);
    error.kind = kind;
    std::snprintf(error.message, sizeof error.message, KepMessageText(message), argument);
    throw error;
}

void KepFailEndOfData(const char* function, const char* unit, int32_t line, int32_t offset,
                      int32_t size, int64_t wanted) {
    CError error(KepMessageText(KepMessage::EndOfData), function, unit, line);
    error.kind = CErrorKind::EndOfData;
    error.place.offset = offset;
    error.place.end = size;
    const int64_t needed = wanted - (int64_t{size} - offset);
    error.place.needed = needed > INT32_MAX ? INT32_MAX : static_cast<int32_t>(needed);
    throw error;
}

std::string KepDescribePlace(const CErrorPlace& at) {
    if (!at.section) return "header";
    std::string text = at.section;
    text += at.record > 0 ? " " + std::to_string(at.record) : " count";
    if (at.surface > 0) text += ", surface " + std::to_string(at.surface);
    return text;
}

std::string KepDescribeFailure(const CError& error) {
    const CErrorPlace& at = error.place;
    std::string text = KepDescribePlace(at) + ": ";
    if (at.item) text += std::string(at.item) + " ";
    if (error.kind == CErrorKind::EndOfData && at.offset >= 0)
        return text + "ends at byte " + std::to_string(at.end) + " (needs " +
               std::to_string(at.needed) + " more)";
    return text + error.message;
}
