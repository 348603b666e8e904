// Host meshes: decoded mesh memblocks, kept by number until deleted.
#pragma once

#include <cstdint>
#include <vector>

#include "simhost/scene.h"

namespace simhost {

// The vertices of mesh `number`, or null when there is no such mesh.
const std::vector<MeshVertex>* FindMeshVertices(int number);
void DeleteMeshNumber(int number);
void ResetMeshes();

} // namespace simhost
