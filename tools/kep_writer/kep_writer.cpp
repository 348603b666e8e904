#include "kep_writer.h"

#include <cstdio>
#include <cstring>

namespace kepw {

void ByteWriter::UInt(uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        m_bytes.push_back(static_cast<uint8_t>(value >> shift));
}

void ByteWriter::Int(int32_t value) {
    UInt(static_cast<uint32_t>(value));
}

void ByteWriter::Float(float value) {
    uint32_t bits = 0;
    static_assert(sizeof bits == sizeof value, "float32 is 4 bytes");
    std::memcpy(&bits, &value, sizeof bits);
    UInt(bits);
}

void ByteWriter::String(const std::string& text) {
    Raw(text.data(), text.size());
    m_bytes.push_back(0);
}

void ByteWriter::Raw(const void* data, std::size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    m_bytes.insert(m_bytes.end(), p, p + size);
}

namespace {

template <class T> int32_t CountOf(const std::optional<int32_t>& forced, const std::vector<T>& v) {
    return forced ? *forced : static_cast<int32_t>(v.size());
}

template <std::size_t N> void Ints(ByteWriter& out, const std::array<int32_t, N>& values) {
    for (int32_t v : values)
        out.Int(v);
}

template <std::size_t N> void Floats(ByteWriter& out, const std::array<float, N>& values) {
    for (float v : values)
        out.Float(v);
}

void WriteGroups(ByteWriter& out, const Map& map) {
    out.Int(CountOf(map.groupCount, map.groups));
    for (const Group& g : map.groups) {
        out.Int(g.flags);
        out.Int(g.parentGroupNumber);
        out.String(g.properties);
        Ints(out, g.values);
    }
}

void WriteVisGroups(ByteWriter& out, const Map& map) {
    out.Int(CountOf(map.visGroupCount, map.visGroups));
    for (const VisGroup& v : map.visGroups) {
        out.String(v.name);
        Ints(out, v.values);
    }
}

void WriteLightmaps(ByteWriter& out, const Map& map) {
    out.Int(CountOf(map.lightmapCount, map.lightmaps));
    for (const Lightmap& l : map.lightmaps) {
        out.Int(l.width);
        out.Int(l.height);
        for (uint32_t pixel : l.pixels)
            out.UInt(pixel);
    }
}

void WriteVertex(ByteWriter& out, const Vertex& v) {
    Floats(out, v.position);
    Floats(out, v.normal);
    Ints(out, v.colour);
    Floats(out, v.texture);
    out.Float(v.textureW);
    Floats(out, v.lightmap);
    out.Float(v.lightmapW);
}

void WriteSurface(ByteWriter& out, const Surface& s) {
    out.Int(s.firstValue);
    out.String(s.textureName);
    out.Int(s.lightmapNumber);
    Floats(out, s.values);
    // All three counts precede the three lists.
    out.Int(CountOf(s.vertexCount, s.vertices));
    out.Int(CountOf(s.triangleCount, s.triangles));
    out.Int(CountOf(s.lineCount, s.lines));
    for (const Vertex& v : s.vertices)
        WriteVertex(out, v);
    for (const auto& t : s.triangles)
        Ints(out, t);
    for (const auto& l : s.lines)
        Ints(out, l);
}

void WriteMeshes(ByteWriter& out, const Map& map) {
    out.Int(CountOf(map.meshCount, map.meshes));
    for (const Mesh& m : map.meshes) {
        out.Int(m.flags);
        out.Int(m.groupNumber);
        out.String(m.properties);
        Ints(out, m.values);
        Floats(out, m.position);
        if (map.version == 5) out.Int(m.visGroupNumber);
        out.Int(CountOf(m.surfaceCount, m.surfaces));
        for (const Surface& s : m.surfaces)
            WriteSurface(out, s);
    }
}

void WriteEntities(ByteWriter& out, const Map& map) {
    out.Int(CountOf(map.entityCount, map.entities));
    for (const Entity& e : map.entities) {
        out.Int(e.visGroupNumber);
        out.Int(e.groupNumber);
        out.String(e.properties);
        Floats(out, e.position);
    }
}

} // namespace

Bytes Write(const Map& map) {
    ByteWriter out;
    out.Int(map.version);
    WriteGroups(out, map);
    if (map.version == 5) WriteVisGroups(out, map);
    WriteLightmaps(out, map);
    WriteMeshes(out, map);
    WriteEntities(out, map);
    return out.Take();
}

Bytes Truncate(const Bytes& bytes, std::size_t size) {
    if (size >= bytes.size()) return bytes;
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
}

Bytes WithVersion(Bytes bytes, int32_t version) {
    if (bytes.size() < 4) bytes.resize(4);
    const uint32_t v = static_cast<uint32_t>(version);
    for (std::size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<uint8_t>(v >> (8 * i));
    return bytes;
}

Lightmap PatternLightmap(int32_t width, int32_t height, uint32_t seed) {
    Lightmap l;
    l.width = width;
    l.height = height;
    if (width > 0 && height > 0) {
        const std::size_t count =
            static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        l.pixels.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            l.pixels.push_back(
                0xff000000u |
                ((seed * 0x10101u + static_cast<uint32_t>(i) * 0x0b1d3fu) & 0x00ffffffu));
    }
    return l;
}

Surface TriangleSurface(const std::string& textureName, int32_t lightmapNumber) {
    Surface s;
    s.textureName = textureName;
    s.lightmapNumber = lightmapNumber;
    for (int i = 0; i < 3; ++i) {
        Vertex v;
        const float f = static_cast<float>(i);
        v.position = {f, f + 1.0f, f + 2.0f};
        v.normal = {0.0f, 1.0f, 0.0f};
        v.colour = {255, 128, i};
        v.texture = {0.25f * f, 0.5f};
        v.lightmap = {0.125f * f, 0.75f};
        s.vertices.push_back(v);
    }
    s.triangles.push_back({0, 1, 2});
    return s;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written =
        bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    return written && closed;
}

} // namespace kepw
