#include "parse_floor.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace kepbench {
namespace {

class Walker {
  public:
    Walker(const uint8_t* data, std::size_t size) : m_at(data), m_end(data + size) {}

    bool ok() const { return m_ok; }
    uint64_t sum() const { return m_sum; }

    int32_t Int() {
        if (m_end - m_at < 4) {
            m_ok = false;
            return 0;
        }
        uint32_t value;
        std::memcpy(&value, m_at, 4);
        m_at += 4;
        m_sum += value;
        return static_cast<int32_t>(value);
    }
    void Ints(int32_t count) {
        for (int32_t i = 0; i < count && m_ok; ++i)
            Int();
    }
    void String() {
        const void* zero = std::memchr(m_at, 0, static_cast<std::size_t>(m_end - m_at));
        const uint8_t* stop = zero ? static_cast<const uint8_t*>(zero) : m_end;
        for (const uint8_t* c = m_at; c < stop; ++c)
            m_sum += *c;
        m_at = zero ? stop + 1 : m_end;
    }

  private:
    const uint8_t* m_at;
    const uint8_t* m_end;
    uint64_t m_sum = 0;
    bool m_ok = true;
};

// Sections in file order; floats are touched as the 32-bit words they are.
void Walk(Walker& w) {
    const int32_t version = w.Int();
    for (int32_t g = 0, n = w.Int(); g < n && w.ok(); ++g) {
        w.Ints(2);
        w.String();
        w.Ints(3);
    }
    if (version == 5)
        for (int32_t v = 0, n = w.Int(); v < n && w.ok(); ++v) {
            w.String();
            w.Ints(4);
        }
    for (int32_t l = 0, n = w.Int(); l < n && w.ok(); ++l) {
        const int32_t width = w.Int();
        const int32_t height = w.Int();
        if (width > 0 && height > 0) w.Ints(width * height);
    }
    for (int32_t m = 0, n = w.Int(); m < n && w.ok(); ++m) {
        w.Ints(2);
        w.String();
        w.Ints(6 + (version == 5 ? 1 : 0));
        for (int32_t s = 0, surfaces = w.Int(); s < surfaces && w.ok(); ++s) {
            w.Int();
            w.String();
            w.Ints(6);
            const int32_t vertices = w.Int();
            const int32_t triangles = w.Int();
            const int32_t lines = w.Int();
            w.Ints(vertices * 15);
            w.Ints(triangles * 3);
            w.Ints(lines * 2);
        }
    }
    for (int32_t e = 0, n = w.Int(); e < n && w.ok(); ++e) {
        w.Ints(2);
        w.String();
        w.Ints(3);
    }
}

} // namespace

uint64_t ParseOnly(const std::string& path, bool* ok) {
    *ok = false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return 0;
    std::vector<uint8_t> bytes;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        if (size > 0) bytes.resize(static_cast<std::size_t>(size));
        std::rewind(file);
    }
    const bool whole = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    std::fclose(file);
    if (!whole) return 0;
    Walker walker(bytes.data(), bytes.size());
    Walk(walker);
    *ok = walker.ok();
    return walker.sum();
}

} // namespace kepbench
