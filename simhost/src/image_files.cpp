// The one unit that holds the image decoder and encoder implementations. They
// are compiled static so that the host library exports none of their symbols.
#include "image_files.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace simhost {
namespace {

std::string LowerExtension(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

uint32_t Little(const std::vector<unsigned char>& bytes, std::size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | bytes[at + i];
    return value;
}

// The bytes an uncompressed bitmap's header promises (0 for other files). The
// host's loader makes an image of a bitmap whose pixels are cut short, even of
// a header alone; the missing pixels are made black here.
int64_t PromisedBitmapBytes(const std::vector<unsigned char>& bytes) {
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return 0;
    const uint32_t compression = Little(bytes, 30, 4);
    if (compression != 0 && compression != 3) return 0;
    const int64_t width = static_cast<int32_t>(Little(bytes, 18, 4));
    const int64_t height = std::llabs(static_cast<int32_t>(Little(bytes, 22, 4)));
    const int64_t row = (width * Little(bytes, 28, 2) + 31) / 32 * 4;
    return Little(bytes, 10, 4) + height * row;
}

} // namespace

bool DecodeImageFile(const std::string& path, uint32_t* width, uint32_t* height,
                     std::vector<uint32_t>* pixels) {
    std::vector<unsigned char> bytes;
    try {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    } catch (const std::exception&) {
        return false; // a directory, for one, opens but cannot be read
    }
    const int64_t promised = PromisedBitmapBytes(bytes);
    if (promised > static_cast<int64_t>(bytes.size()) && promised <= (int64_t{1} << 28))
        bytes.resize(static_cast<std::size_t>(promised), 0);
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return false;
    int w = 0, h = 0, channels = 0;
    stbi_uc* rgba =
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &channels, 4);
    if (!rgba) return false;
    if (w <= 0 || h <= 0) {
        stbi_image_free(rgba);
        return false;
    }
    const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    pixels->resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const stbi_uc* p = rgba + 4 * i;
        (*pixels)[i] = (uint32_t{p[3]} << 24) | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) |
                       uint32_t{p[2]};
    }
    stbi_image_free(rgba);
    *width = static_cast<uint32_t>(w);
    *height = static_cast<uint32_t>(h);
    return true;
}

bool EncodeImageFile(const std::string& path, uint32_t width, uint32_t height,
                     const std::vector<uint32_t>& pixels) {
    const uint32_t maxSide = static_cast<uint32_t>(std::numeric_limits<int>::max() / 4);
    if (width == 0 || height == 0 || width > maxSide || height > maxSide) return false;
    if (pixels.size() != static_cast<std::size_t>(width) * height) return false;
    std::vector<unsigned char> rgba(pixels.size() * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        rgba[4 * i + 0] = static_cast<unsigned char>(pixels[i] >> 16);
        rgba[4 * i + 1] = static_cast<unsigned char>(pixels[i] >> 8);
        rgba[4 * i + 2] = static_cast<unsigned char>(pixels[i]);
        rgba[4 * i + 3] = static_cast<unsigned char>(pixels[i] >> 24);
    }
    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);
    const std::string ext = LowerExtension(path);
    if (ext == ".png") return stbi_write_png(path.c_str(), w, h, 4, rgba.data(), w * 4) != 0;
    if (ext == ".bmp") return stbi_write_bmp(path.c_str(), w, h, 4, rgba.data()) != 0;
    if (ext == ".tga") return stbi_write_tga(path.c_str(), w, h, 4, rgba.data()) != 0;
    if (ext == ".jpg" || ext == ".jpeg")
        return stbi_write_jpg(path.c_str(), w, h, 4, rgba.data(), 95) != 0;
    return false;
}

} // namespace simhost
