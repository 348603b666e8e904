// CFile, the reader every map goes through, and CError, the record it throws.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/CError.h"
#include "core/CFile.h"
#include "core/Cstring.h"

namespace {

using Bytes = std::vector<uint8_t>;

// What the CError thrown by `read` says, as "message in function (file)".
template <class Read> std::string Thrown(Read read) {
    try {
        read();
    } catch (const CError& error) {
        return std::string(error.message) + " in " + error.function + " (" + error.file + ")";
    }
    return "nothing thrown";
}

TEST(CFileReader, WithoutDataEveryReadIsNoFileAndUnsafeSourcesAreRefused) {
    CFile reader;
    Cstring out("untouched");
    EXPECT_EQ(Thrown([&] { reader.ReadInt(); }), "No file in CFile::ReadInt (CFile)");
    EXPECT_EQ(Thrown([&] { reader.ReadFloat(); }), "No file in CFile::ReadFloat (CFile)");
    EXPECT_EQ(Thrown([&] { reader.ReadString(out); }), "No file in CFile::ReadString (CFile)");
    EXPECT_STREQ(out.Text(), "untouched");

    const Bytes bytes{1, 0, 0, 0};
    EXPECT_FALSE(reader.OpenMemory(nullptr, 16));
    EXPECT_FALSE(reader.OpenMemory(bytes.data(), -1));
    EXPECT_FALSE(reader.Open(nullptr));
    ASSERT_TRUE(reader.OpenMemory(bytes.data(), 4));
    // A failed open drops what was held before.
    EXPECT_FALSE(reader.Open("/nonexistent-kep-dir/missing.kep"));
    EXPECT_EQ(Thrown([&] { reader.ReadInt(); }), "No file in CFile::ReadInt (CFile)");
}

TEST(CFileReader, NumbersAreLittleEndianUnalignedAndKeepTheirBits) {
    const Bytes bytes{'a',  0,    0xFF, 0xFF, 0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12, 0,
                      0,    0,    0x80, 0,    0,    0,    0x80, 1,    0,    0,    0,
                      0x45, 0x23, 0xC1, 0x7F, 0xFF, 0xFF, 0x7F, 0x7F, 0x11, 0x22, 0x33};
    CFile reader;
    ASSERT_TRUE(reader.OpenMemory(bytes.data(), static_cast<int32_t>(bytes.size())));
    Cstring name;
    EXPECT_EQ(reader.ReadString(name), 1);
    EXPECT_EQ(reader.ReadInt(), -1);
    EXPECT_EQ(reader.ReadInt(), 0x12345678);
    EXPECT_EQ(reader.ReadInt(), INT32_MIN);
    // -0, the smallest denormal, a NaN with a payload, the largest float.
    const float floats[4] = {reader.ReadFloat(), reader.ReadFloat(), reader.ReadFloat(),
                             reader.ReadFloat()};
    EXPECT_EQ(std::memcmp(floats, &bytes[14], sizeof floats), 0);
    // Three bytes left: neither kind of number can be read, and none is consumed.
    EXPECT_EQ(Thrown([&] { reader.ReadInt(); }), "EOF in CFile::ReadInt (CFile)");
    EXPECT_EQ(Thrown([&] { reader.ReadFloat(); }), "EOF in CFile::ReadFloat (CFile)");
    EXPECT_EQ(reader.Remaining(), 3);
    try {
        reader.ReadInt();
    } catch (const CError& error) { // the place a tool shows, which scripts never see
        EXPECT_EQ(KepDescribeFailure(error), "header: ends at byte 33 (needs 1 more)");
    }
}

TEST(CFileReader, CopiesTheMemoryAndReadsStringsToAZeroOrTheEnd) {
    Bytes* source = new Bytes{0, 't', 'E', 0xE9, 0xFF, '\\', 0, 'z'};
    CFile reader;
    ASSERT_TRUE(reader.OpenMemory(source->data(), 8));
    delete source; // the memblock is deleted while the reader still reads
    Cstring out("old text");
    EXPECT_EQ(reader.ReadString(out), 0); // a zero byte is the empty string, consumed
    EXPECT_STREQ(out.Text(), "");
    EXPECT_EQ(reader.ReadString(out), 5);
    EXPECT_STREQ(out.Text(), "tE\xE9\xFF\\");
    EXPECT_EQ(out.Size(), 6);
    EXPECT_EQ(reader.ReadString(out), 1); // no terminator before the end
    EXPECT_STREQ(out.Text(), "z");
    EXPECT_EQ(reader.ReadString(out), 0);
    EXPECT_EQ(reader.Position(), 8);

    const uint8_t none = 0;
    ASSERT_TRUE(reader.OpenMemory(&none, 0)); // an empty block is held, with nothing in it
    EXPECT_EQ(Thrown([&] { reader.ReadInt(); }), "EOF in CFile::ReadInt (CFile)");
}

} // namespace
