#include "map/kep_model.h"

#include <cstdint>
#include <new>

#include "core/CError.h"
#include "core/bits_and_case.h"
#include "core/memory.h"

void KEP_AddProperty(KEP_Properties& into, const std::string& key, const std::string& value) {
    Cstring* k = KEP_NEW(Cstring, KEP_UNIT_MAP);
    Cstring* v = KEP_NEW(Cstring, KEP_UNIT_MAP);
    if (!k || !v || !k->AssignBytes(key.data(), static_cast<int32_t>(key.size())) ||
        !v->AssignBytes(value.data(), static_cast<int32_t>(value.size()))) {
        KEP_DELETE(k);
        KEP_DELETE(v);
        KEP_FAIL(OutOfMemory, RecordAllocation, "KEP_AddProperty", KEP_UNIT_MAP);
    }
    // Both lists grow together so that they always keep the same length.
    try {
        into.keys.Add(k);
    } catch (...) {
        KEP_DELETE(k);
        KEP_DELETE(v);
        throw;
    }
    try {
        into.values.Add(v);
    } catch (...) {
        into.keys.Remove(); // deletes k
        KEP_DELETE(v);
        throw;
    }
}

bool KEP_Geometry::Allocate(int32_t vertices, int32_t triangles, int32_t lines) {
    Release();
    vertices = vertices > 0 ? vertices : 0;
    triangles = triangles > 0 ? triangles : 0;
    lines = lines > 0 ? lines : 0;
    const uint64_t bytes = sizeof(Header) + uint64_t{sizeof(KEP_Vertex)} * uint64_t(vertices) +
                           uint64_t{sizeof(KEP_Triangle)} * uint64_t(triangles) +
                           uint64_t{sizeof(KEP_Line)} * uint64_t(lines);
    if (bytes > SIZE_MAX) return false;
    void* block = KepAllocate(static_cast<std::size_t>(bytes), KEP_UNIT_MAP, __LINE__);
    if (!block) return false;
    m_block = static_cast<Header*>(block);
    *m_block = {vertices, triangles, lines};
    return true;
}

void KEP_Geometry::Release() {
    KepRelease(m_block);
    m_block = nullptr;
}

void KEP_ReleaseGeometry(KEP_Map* map) {
    if (!map) return;
    for (int32_t m = 0; m < map->meshes.Count(); ++m) {
        const KEP_Mesh* mesh = map->meshes.At(m);
        for (int32_t s = 0; mesh && s < mesh->surfaces.Count(); ++s)
            mesh->surfaces.At(s)->geometry.Release();
    }
}

void KEP_ParseProperties(const Cstring& text, KEP_Properties& into) {
    KEP_ParseProperties(text, into, [](const std::string&, const std::string&) {});
}

std::string KEP_UpperCase(std::string text) {
    for (char& c : text)
        c = KepUpperAscii(c);
    return text;
}

KEP_Group* KEP_FindGroup(KEP_Map& map, int32_t groupNumber) {
    COwningList<KEP_Group>& groups = map.groups;
    KEP_Group* found = nullptr;
    if (groupNumber == 0) {
        found = map.defaultGroup;
    } else if (groupNumber > 0 && static_cast<uint32_t>(groupNumber) <= map.groupsByNumber.size()) {
        found = map.groupsByNumber[static_cast<std::size_t>(groupNumber - 1)];
    }
    // Group n stands at position count - n (the file's groups run from the
    // last read to the first); the default group heads the list.
    if (found && groups.GetCurrentIndex() == -1)
        groups.SetCurrent(groupNumber == 0 ? 0 : groups.Count() - groupNumber);
    return found;
}
