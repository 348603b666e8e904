// Writes the scene the stand-in host holds for the current map as glTF 2.0.
//
// Layout: one node per host object, carrying the object's position and
// angles; under it one node per limb with the limb's offset and angles,
// nested as the limbs are linked, each limb with geometry holding one mesh
// of one triangle-list primitive (POSITION, NORMAL when the host mesh has
// unit normals, TEXCOORD_0, and TEXCOORD_1 when a lightmap is bound). Every
// entity is an empty node at its position whose `extras` hold its index,
// class name, group, pivot number and properties.
//
// Materials: the stage-0 image is the base colour texture. glTF has no
// lightmap slot, so the stage-1 lightmap is given as the occlusion texture
// read through TEXCOORD_1, the nearest core meaning (light that reaches the
// surface); the host's own modulate-times-two is noted in the material's
// `extras`. Materials are unlit-looking: no metal, full roughness.
//
// Axes: the host's space is left-handed (Y up, Z into the screen) and glTF's
// right-handed, so Z is mirrored throughout; triangles keep their corner
// order, which mirroring turns from the host's clockwise front faces into
// glTF's counter-clockwise ones.
//
// A `.glb` holds its images in its binary chunk; a `.gltf` is written with
// its buffer (`NAME.bin`) and images (`NAME_imageN.png`) beside it.
#pragma once

#include <string>

struct KEP_Map;

namespace kep {

struct ExportCounts {
    int nodes = 0;
    int meshes = 0;
    int vertices = 0;
    int images = 0;
};

// False with a reason in `error` when the scene cannot be written.
bool ExportGltf(const KEP_Map& map, const std::string& path, ExportCounts* counts,
                std::string* error);

} // namespace kep
