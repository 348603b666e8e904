#include "core/CError.h"

#include <cstddef>
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
