// The component codes by which script commands name a map's collections.
#pragma once

#include <cstdint>

enum KEP_Component : int32_t {
    kGroup = 0,
    kVisGroup = 1,
    kEntity = 2,
    kMesh = 3,
    kTexture = 4,
    kLightmap = 5,
    kPivot = 6,
    kMap = 7,
    kObject = 8,
};
