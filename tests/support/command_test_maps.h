// Maps built directly as records for the command tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/bits_and_case.h"
#include "core/memory.h"
#include "map/kep_model.h"
#include "test_host.h"

// A new record at the end of `list`, whatever a command left its cursor on.
template <class T, class List> T* Append(List& list) {
    T* record = KEP_NEW(T, KEP_UNIT_MAP);
    if (!record) std::abort();
    list.SetCurrent(-1);
    list.Add(record);
    return record;
}

// A new empty map, registered as loading registers one: appended to the map
// list and made current, with the next map number. "KEP CLEAR" or Destructor
// frees it and every record appended to it.
KEP_Map* AddTestMap();

// The map most command tests share, map 0. Group 0 (flags 0x11) owns host
// object 1000, group 1 (flags 0x22, name=lift) is its limb 3, group 2 got no
// object. Mesh 0 (group 0, flags 0x33): surfaces built into limbs 0 and 2 with
// texture 1, and one never built. Entity 0 at (1.5, -2.25, 0): classname=light,
// Colour=255 255 255, colour=second, empty=; entity 1 has no properties;
// entities 2 to 5 are pivots of groups 0 at (1, 2, 3), 1 at (4, 5, 6), 2, none.
// Textures "brick" (image 1010) and "" (1020). The host holds both images and
// object 1000 at (5, 5, 5) with limbs 1 to 3, limb 3 offset by (1, 1, 1).
class SampleMapTest : public PluginTest {
  protected:
    void SetUp() override;
    KEP_Map* map = nullptr;
};

// The last-error state: code 0 with this text, or code 1 and no text.
::testing::AssertionResult Failed(const char* message);
::testing::AssertionResult Succeeded();
