// The glTF library's declarations, with its JSON and image code set the way
// this tool uses it: images arrive already encoded as PNG, so the library
// neither decodes nor writes image files itself.
#pragma once

#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#include <tiny_gltf.h>
