// Image file decoding and encoding for the image module, kept apart so that
// only one unit carries the decoder's implementation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace simhost {

// Decodes a BMP, PNG, JPEG, TGA (or other common) image file into pixel words
// 0xAARRGGBB; images without alpha get an opaque top byte. False if the file
// is missing or cannot be decoded.
bool DecodeImageFile(const std::string& path, uint32_t* width, uint32_t* height,
                     std::vector<uint32_t>* pixels);

// Encodes pixel words 0xAARRGGBB as the file kind named by the extension
// (".png", ".bmp", ".tga", ".jpg"). False for other extensions or on failure.
bool EncodeImageFile(const std::string& path, uint32_t width, uint32_t height,
                     const std::vector<uint32_t>& pixels);

} // namespace simhost
