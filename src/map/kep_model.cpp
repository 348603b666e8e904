#include "map/kep_model.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "core/CError.h"
#include "core/bits_and_case.h"
#include "core/memory.h"

const char* KEP_Properties::Key(int32_t index) const {
    if (index < 0 || index >= Count()) return "";
    return m_text.data() + m_starts[static_cast<std::size_t>(index)];
}

const char* KEP_Properties::Value(int32_t index) const {
    const char* key = Key(index);
    return index < 0 || index >= Count() ? key : key + std::strlen(key) + 1;
}

void KEP_Properties::Add(const std::string& key, const std::string& value) {
    const std::size_t start = m_text.size();
    try {
        if (start > INT32_MAX) throw std::bad_alloc();
        m_text.insert(m_text.end(), key.begin(), key.end());
        m_text.push_back('\0');
        m_text.insert(m_text.end(), value.begin(), value.end());
        m_text.push_back('\0');
        m_starts.push_back(static_cast<int32_t>(start));
    } catch (const std::bad_alloc&) {
        m_text.resize(start); // never needs memory
        KEP_FAIL(OutOfMemory, RecordAllocation, "KEP_Properties::Add", KEP_UNIT_MAP);
    }
}

void KEP_Properties::Reserve(std::size_t bytes, std::size_t count) {
    try {
        m_text.reserve(m_text.size() + bytes);
        m_starts.reserve(m_starts.size() + count);
    } catch (const std::bad_alloc&) {
        // Without the room at once, each property takes its room as it comes.
    }
}

void KEP_Properties::Trim() {
    m_text.shrink_to_fit(); // both keep what they have when memory is short
    m_starts.shrink_to_fit();
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

bool KEP_Pixels::Allocate(int32_t bytes) {
    Release();
    m_bytes =
        static_cast<uint8_t*>(KepAllocate(static_cast<std::size_t>(bytes), KEP_UNIT_MAP, __LINE__));
    return m_bytes != nullptr;
}

void KEP_Pixels::Release() {
    KepRelease(m_bytes);
    m_bytes = nullptr;
}

void KEP_ReleaseBuildInput(KEP_Map* map) {
    if (!map) return;
    for (int32_t l = 0; l < map->lightmaps.Count(); ++l)
        map->lightmaps.At(l)->pixels.Release();
    for (int32_t m = 0; m < map->meshes.Count(); ++m) {
        const KEP_Mesh* mesh = map->meshes.At(m);
        for (int32_t s = 0; mesh && s < mesh->surfaces.Count(); ++s)
            mesh->surfaces.At(s)->geometry.Release();
    }
}

void KEP_SetMapDirectory(KEP_Map& map, const char* fileName) {
    std::size_t length = 0;
    for (std::size_t i = 0; fileName[i]; ++i)
        if (fileName[i] == '/' || fileName[i] == '\\') length = i + 1;
    if (length < 2 || length >= sizeof map.mapDirectory) length = 0;
    std::memcpy(map.mapDirectory, fileName, length);
    map.mapDirectory[length] = '\0';
}

std::string KEP_UpperCase(std::string text) {
    for (char& c : text)
        c = KepUpperAscii(c);
    return text;
}

KEP_Group* KEP_FindGroup(KEP_Map& map, int32_t groupNumber) {
    KEP_Group* found = nullptr;
    if (groupNumber == 0) {
        found = map.defaultGroup;
    } else if (groupNumber > 0 && static_cast<uint32_t>(groupNumber) <= map.groupsByNumber.size()) {
        found = map.groupsByNumber[static_cast<std::size_t>(groupNumber - 1)];
    }
    return found;
}
