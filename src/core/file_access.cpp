#include "core/file_access.h"

#if defined(_WIN32)
#include <io.h>
#include <sys/stat.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#endif

namespace file_access {

#if defined(_WIN32)

std::FILE* OpenForReading(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    struct _stat64 status;
    if (file && (_fstat64(_fileno(file), &status) != 0 || (status.st_mode & _S_IFREG) == 0)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

int64_t Length(std::FILE* file) {
    if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
    const int64_t length = _ftelli64(file);
    if (_fseeki64(file, 0, SEEK_SET) != 0) return -1;
    return length;
}

bool Exists(const char* path) {
    return _access(path, 0) == 0;
}

#else

namespace {
std::string NativePath(const char* path) {
    std::string native(path);
    for (char& c : native)
        if (c == '\\') c = '/';
    return native;
}
} // namespace

std::FILE* OpenForReading(const char* path) {
    // Only regular files are maps: a directory opens too, and its length
    // reads as a huge number.
    std::FILE* file = std::fopen(NativePath(path).c_str(), "rb");
    struct stat status;
    if (file && (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode))) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

int64_t Length(std::FILE* file) {
    if (fseeko(file, 0, SEEK_END) != 0) return -1;
    const int64_t length = static_cast<int64_t>(ftello(file));
    if (fseeko(file, 0, SEEK_SET) != 0) return -1;
    return length;
}

bool Exists(const char* path) {
    return access(NativePath(path).c_str(), F_OK) == 0;
}

#endif

} // namespace file_access
