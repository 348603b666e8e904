// The image module: numbered images of 32-bit pixel words (0xAARRGGBB), loaded
// from image files or made from memblocks. Numbers outside the host's range,
// a missing image to delete and a file the plain loader cannot read raise the
// host's run-time errors.
#include <algorithm>
#include <map>
#include <new>
#include <string>
#include <vector>

#include <kepimport/host_module.h>

#include "image_files.h"
#include "simhost/memblocks_images.h"
#include "simhost/simhost.h"
#include "simhost_internal.h"

namespace simhost {
namespace {

std::map<int, ImageContent> g_images;
constexpr std::size_t kLongestImagePath = 255;

bool IsImageNumber(int number) {
    return number >= 1 && number <= kLastImageNumber;
}

void __attribute__((cdecl)) DeleteImage(int number) {
    LogCallOf("DeleteEx", number);
    if (RefuseCall(!IsImageNumber(number), kImageNumberIllegal, "DeleteEx", number) ||
        RefuseCall(!g_images.count(number), kImageNotExist, "DeleteEx", number))
        return;
    g_images.erase(number);
}

int __attribute__((cdecl)) ImageExists(int number) {
    LogCallOf("GetExistEx", number);
    if (RefuseCall(!IsImageNumber(number), kImageNumberIllegal, "GetExistEx", number)) return 0;
    return g_images.count(number) ? 1 : 0;
}

// Scripts name files the Windows way; a backslash is a directory separator.
// As the host does, any image of that number goes first, whether the file
// then loads or not. False when no image was made.
bool LoadInto(const std::string& name, int number) {
    g_images.erase(number);
    // The host copies the name into buffers of 256 and 260 characters before
    // it opens the file: a longer one overruns them.
    if (name.size() > kLongestImagePath) {
        RaiseRunTimeError("LoadEx", kBufferOverrun, name);
        return false;
    }
    if (name.empty()) return false;
    std::string path = name;
    std::replace(path.begin(), path.end(), '\\', '/');
    try {
        ImageContent decoded;
        if (!DecodeImageFile(path, &decoded.width, &decoded.height, &decoded.pixels)) return false;
        g_images[number] = std::move(decoded);
        return true;
    } catch (const std::bad_alloc&) {
        return false; // no image, as for any file the host cannot load
    }
}

// The plain loader: a file it cannot load ends the script.
void __attribute__((cdecl)) LoadImage(char* fileName, int number) {
    const std::string name = fileName ? fileName : "";
    const auto args = [&] { return name + "," + std::to_string(number); };
    LogCall("LoadEx", args);
    if (!IsImageNumber(number))
        RaiseRunTimeError("LoadEx", kImageNumberIllegal, args());
    else if (!LoadInto(name, number))
        RaiseRunTimeError("LoadEx", kImageLoadFailed, args());
}

// The loader with options (texture kind and size divisor, which the stand-in
// ignores): with silentError 1 a file it cannot load only leaves no image.
// The number is checked either way.
void __attribute__((cdecl))
LoadImageSilent(char* fileName, int number, int textureFlag, int divide, int silentError) {
    const std::string name = fileName ? fileName : "";
    const auto args = [&] {
        return name + "," +
               FormatArgs(
                   {double(number), double(textureFlag), double(divide), double(silentError)});
    };
    LogCall("LoadEx", args);
    if (!IsImageNumber(number))
        RaiseRunTimeError("LoadEx", kImageNumberIllegal, args());
    else if (!LoadInto(name, number) && silentError == 0)
        RaiseRunTimeError("LoadEx", kImageLoadFailed, args());
}

template <typename F> void* Address(F* function) {
    return reinterpret_cast<void*>(function);
}

void* ResolveImage(const char* name) {
    if (!ResolveAllowed(name)) return nullptr;
    const std::string n(name);
    if (n == "?DeleteEx@@YAXH@Z") return Address(&DeleteImage);
    if (n == "?GetExistEx@@YAHH@Z") return Address(&ImageExists);
    if (n == "?LoadEx@@YAXPADH@Z") return Address(&LoadImage);
    if (n == "?LoadEx@@YAXPADHHHH@Z") return Address(&LoadImageSilent);
    return nullptr;
}

HostModule g_module = {&ResolveImage};

} // namespace

HostModule& ImageModule() {
    return g_module;
}

void ResetImages() {
    std::map<int, ImageContent>().swap(g_images);
}

bool FindImage(int number, ImagePixels* out) {
    auto it = g_images.find(number);
    if (it == g_images.end()) return false;
    out->width = it->second.width;
    out->height = it->second.height;
    out->pixels = it->second.pixels.data();
    return true;
}

void PutImage(int number, uint32_t width, uint32_t height, const uint32_t* pixels) {
    ImageContent image;
    image.width = width;
    image.height = height;
    const std::size_t count = static_cast<std::size_t>(width) * height;
    if (pixels)
        image.pixels.assign(pixels, pixels + count);
    else
        image.pixels.assign(count, 0);
    g_images[number] = std::move(image);
}

void MakeTestImage(int number, uint32_t width, uint32_t height,
                   const std::vector<uint32_t>& pixels) {
    ImageContent image{width, height, pixels};
    image.pixels.resize(static_cast<std::size_t>(width) * height, 0);
    g_images[number] = std::move(image);
}

bool ReadImage(int number, ImageContent* out) {
    auto it = g_images.find(number);
    if (it == g_images.end()) return false;
    *out = it->second;
    return true;
}

std::vector<int> ImageNumbers() {
    std::vector<int> numbers;
    for (const auto& entry : g_images)
        numbers.push_back(entry.first);
    return numbers;
}

bool WriteTestImageFile(const std::string& path, uint32_t width, uint32_t height,
                        const std::vector<uint32_t>& pixels) {
    return EncodeImageFile(path, width, height, pixels);
}

} // namespace simhost
