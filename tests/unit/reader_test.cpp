// CFile, the reader every map goes through, and CError, the record it throws.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <type_traits>
#include <vector>

#include "core/CError.h"
#include "core/CFile.h"
#include "core/Cstring.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A scratch directory of its own for every test, removed afterwards.
class ReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/kep-reader-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        m_dir = name;
    }
    void TearDown() override {
        for (const std::string& file : m_files)
            std::remove(file.c_str());
        for (auto it = m_dirs.rbegin(); it != m_dirs.rend(); ++it)
            rmdir(it->c_str());
        rmdir(m_dir.c_str());
    }

    std::string WriteFile(const std::string& relative, const Bytes& bytes) {
        const std::string path = m_dir + "/" + relative;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        m_files.push_back(path);
        return path;
    }
    std::string MakeDir(const std::string& relative) {
        const std::string path = m_dir + "/" + relative;
        mkdir(path.c_str(), 0700);
        m_dirs.push_back(path);
        return path;
    }

    std::string m_dir;
    std::vector<std::string> m_files;
    std::vector<std::string> m_dirs;
};

// Runs `read` and returns the CError it throws; fails the test if none.
template <class Read> CError Thrown(Read read) {
    try {
        read();
    } catch (const CError& error) {
        return error;
    }
    ADD_FAILURE() << "no CError was thrown";
    return CError("", "", "", 0);
}

void ExpectError(const CError& error, const char* message, const char* function) {
    EXPECT_STREQ(error.message, message);
    EXPECT_STREQ(error.function, function);
    EXPECT_STREQ(error.file, "CFile");
    EXPECT_GT(error.line, 0);
}

uint32_t Bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

Bytes LittleEndian(uint32_t word) {
    return {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
            static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 24)};
}

// --- a reader that holds nothing ---------------------------------------------

TEST(ReaderWithoutData, EveryReadThrowsNoFile) {
    CFile reader;
    ExpectError(Thrown([&] { reader.ReadInt(); }), "No file", "CFile::ReadInt");
    ExpectError(Thrown([&] { reader.ReadFloat(); }), "No file", "CFile::ReadFloat");
    Cstring out;
    ExpectError(Thrown([&] { reader.ReadString(out); }), "No file", "CFile::ReadString");
    EXPECT_EQ(reader.Position(), 0);
}

TEST(ReaderWithoutData, ReadStringLeavesItsOutputAlone) {
    CFile reader;
    Cstring out("untouched");
    const char* before = out.Text();
    Thrown([&] { reader.ReadString(out); });
    EXPECT_EQ(out.Text(), before);
    EXPECT_STREQ(out.Text(), "untouched");
}

TEST_F(ReaderTest, MissingFileFailsToOpenAndHoldsNothing) {
    CFile reader;
    EXPECT_FALSE(reader.Open((m_dir + "/no-such-map.kep").c_str()));
    EXPECT_FALSE(reader.Open(nullptr));
    EXPECT_FALSE(reader.HoldsData());
    ExpectError(Thrown([&] { reader.ReadInt(); }), "No file", "CFile::ReadInt");
}

TEST_F(ReaderTest, FailedOpenDropsWhatWasHeldBefore) {
    const Bytes bytes{1, 0, 0, 0};
    CFile reader;
    ASSERT_TRUE(reader.OpenMemory(bytes.data(), 4));
    EXPECT_FALSE(reader.Open((m_dir + "/missing.kep").c_str()));
    ExpectError(Thrown([&] { reader.ReadInt(); }), "No file", "CFile::ReadInt");
}

TEST(ReaderWithoutData, RefusesUnsafeMemorySources) {
    CFile reader;
    EXPECT_FALSE(reader.OpenMemory(nullptr, 16));
    const Bytes bytes{1, 2, 3, 4};
    EXPECT_FALSE(reader.OpenMemory(bytes.data(), -1));
    EXPECT_FALSE(reader.HoldsData());
    ExpectError(Thrown([&] { reader.ReadFloat(); }), "No file", "CFile::ReadFloat");
}

// --- files --------------------------------------------------------------------

TEST_F(ReaderTest, EmptyFileOpensAndTheFirstReadIntIsEof) {
    CFile reader;
    ASSERT_TRUE(reader.Open(WriteFile("empty.kep", {}).c_str()));
    EXPECT_EQ(reader.Size(), 0);
    ExpectError(Thrown([&] { reader.ReadInt(); }), "EOF", "CFile::ReadInt");
    Cstring out("x");
    EXPECT_EQ(reader.ReadString(out), 0);
    EXPECT_STREQ(out.Text(), "");
}

TEST_F(ReaderTest, WholeFileIsReadInOneGo) {
    Bytes bytes;
    for (uint32_t i = 0; i < 1000; ++i) {
        const Bytes word = LittleEndian(i * 2654435761u);
        bytes.insert(bytes.end(), word.begin(), word.end());
    }
    CFile reader;
    ASSERT_TRUE(reader.Open(WriteFile("big.kep", bytes).c_str()));
    EXPECT_EQ(reader.Size(), 4000);
    for (uint32_t i = 0; i < 1000; ++i)
        ASSERT_EQ(static_cast<uint32_t>(reader.ReadInt()), i * 2654435761u) << i;
    EXPECT_EQ(reader.Remaining(), 0);
}

TEST_F(ReaderTest, PathWrittenWithBackslashesOpens) {
    MakeDir("maps");
    MakeDir("maps/level1");
    WriteFile("maps/level1/start.kep", {5, 0, 0, 0});
    CFile reader;
    ASSERT_TRUE(reader.Open((m_dir + "\\maps\\level1\\start.kep").c_str()));
    EXPECT_EQ(reader.ReadInt(), 5);
}

TEST_F(ReaderTest, ReopeningReplacesTheHeldData) {
    CFile reader;
    ASSERT_TRUE(reader.Open(WriteFile("a.kep", {1, 0, 0, 0, 2, 0, 0, 0}).c_str()));
    EXPECT_EQ(reader.ReadInt(), 1);
    ASSERT_TRUE(reader.Open(WriteFile("b.kep", {9, 0, 0, 0}).c_str()));
    EXPECT_EQ(reader.Position(), 0);
    EXPECT_EQ(reader.ReadInt(), 9);
    ExpectError(Thrown([&] { reader.ReadInt(); }), "EOF", "CFile::ReadInt");
}

// --- numbers ------------------------------------------------------------------

TEST(ReaderNumbers, IntegersAreLittleEndianAndSigned) {
    const Bytes bytes{0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,
                      0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x00, 0x80};
    CFile reader;
    ASSERT_TRUE(reader.OpenMemory(bytes.data(), static_cast<int32_t>(bytes.size())));
    EXPECT_EQ(reader.ReadInt(), 1);
    EXPECT_EQ(reader.ReadInt(), -1);
    EXPECT_EQ(reader.ReadInt(), 0x12345678);
    EXPECT_EQ(reader.ReadInt(), INT32_MIN);
}

TEST(ReaderNumbers, ExactlyFourBytesLeftIsOneMoreIntThenEof) {
    const Bytes bytes{0x2A, 0, 0, 0};
    CFile reader;
    ASSERT_TRUE(reader.OpenMemory(bytes.data(), 4));
    EXPECT_EQ(reader.ReadInt(), 42);
    EXPECT_EQ(reader.Position(), reader.Size());
    ExpectError(Thrown([&] { reader.ReadInt(); }), "EOF", "CFile::ReadInt");
    ExpectError(Thrown([&] { reader.ReadFloat(); }), "EOF", "CFile::ReadFloat");
}

TEST(ReaderNumbers, OneToThreeBytesLeftIsEofForBothKinds) {
    for (int32_t left = 1; left <= 3; ++left) {
        const Bytes bytes(static_cast<std::size_t>(4 + left), 0x11);
        CFile reader;
        ASSERT_TRUE(reader.OpenMemory(bytes.data(), static_cast<int32_t>(bytes.size())));
        reader.ReadInt();
        ExpectError(Thrown([&] { reader.ReadInt(); }), "EOF", "CFile::ReadInt");
        ExpectError(Thrown([&] { reader.ReadFloat(); }), "EOF", "CFile::ReadFloat");
        // A read that cannot be made consumes nothing.
        EXPECT_EQ(reader.Remaining(), left);
    }
}

TEST(ReaderNumbers, FloatsKeepTheirExactBits) {
    const uint32_t patterns[] = {Bits(1.5f),           Bits(-2.0f),
                                 0x80000000u /* -0 */, 0x00000001u /* smallest denormal */,
                                 0x7F7FFFFFu,          0x7FC12345u /* a quiet NaN with payload */};
    Bytes bytes;
    for (uint32_t p : patterns) {
        const Bytes word = LittleEndian(p);
        bytes.insert(bytes.end(), word.begin(), word.end());
    }
    CFile reader;
    ASSERT_TRUE(reader.OpenMemory(bytes.data(), static_cast<int32_t>(bytes.size())));
    for (uint32_t p : patterns)
        EXPECT_EQ(Bits(reader.ReadFloat()), p);
}

TEST(ReaderNumbers, NumbersNeedNoAlignment) {
    const Bytes bytes{'a', 0, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x3F};
    CFile reader;
    ASSERT_TRUE(reader.OpenMemory(bytes.data(), static_cast<int32_t>(bytes.size())));
    Cstring name;
    EXPECT_EQ(reader.ReadString(name), 1);
    EXPECT_EQ(reader.Position(), 2);
    EXPECT_EQ(reader.ReadInt(), 16);
    EXPECT_EQ(reader.ReadFloat(), 1.5f);
}

// --- strings ------------------------------------------------------------------

TEST(ReaderStrings, StopAtZeroAndAtTheEndWithoutError) {
    const Bytes bytes{'x', 'y', 0, 'z'};
    CFile reader;
    ASSERT_TRUE(reader.OpenMemory(bytes.data(), 4));
    Cstring out;
    EXPECT_EQ(reader.ReadString(out), 2);
    EXPECT_STREQ(out.Text(), "xy");
    EXPECT_EQ(out.Size(), 3);
    EXPECT_EQ(reader.ReadString(out), 1);
    EXPECT_STREQ(out.Text(), "z");
    EXPECT_EQ(reader.Position(), 4);
    EXPECT_EQ(reader.ReadString(out), 0);
    EXPECT_STREQ(out.Text(), "");
    EXPECT_EQ(reader.ReadString(out), 0);
    EXPECT_EQ(reader.Position(), 4);
}

TEST(ReaderStrings, ZeroByteAtPositionIsTheEmptyStringAndIsConsumed) {
    const Bytes bytes{0, 0, 'a', 0};
    CFile reader;
    ASSERT_TRUE(reader.OpenMemory(bytes.data(), 4));
    Cstring out("old text");
    EXPECT_EQ(reader.ReadString(out), 0);
    EXPECT_STREQ(out.Text(), "");
    EXPECT_EQ(reader.Position(), 1);
    EXPECT_EQ(reader.ReadString(out), 0);
    EXPECT_EQ(reader.Position(), 2);
    EXPECT_EQ(reader.ReadString(out), 1);
    EXPECT_STREQ(out.Text(), "a");
}

TEST(ReaderStrings, BytesAreKeptAsTheyStand) {
    const Bytes bytes{'t', 'E', 'x', 0xE9, 0x80, 0xFF, '\\', '/', 0};
    CFile reader;
    ASSERT_TRUE(reader.OpenMemory(bytes.data(), static_cast<int32_t>(bytes.size())));
    Cstring out;
    EXPECT_EQ(reader.ReadString(out), 8);
    EXPECT_EQ(std::memcmp(out.Text(), bytes.data(), 9), 0);
}

TEST(ReaderStrings, ResultIsTheCharacterCountOfLongStrings) {
    Bytes bytes(5000, 'q');
    bytes.push_back(0);
    CFile reader;
    ASSERT_TRUE(reader.OpenMemory(bytes.data(), static_cast<int32_t>(bytes.size())));
    Cstring out;
    EXPECT_EQ(reader.ReadString(out), 5000);
    EXPECT_EQ(out.Size(), 5001);
    EXPECT_EQ(reader.Remaining(), 0);
}

// --- memory copies ------------------------------------------------------------

TEST(ReaderMemory, CopyKeepsItsOwnBytesWhenTheSourceChangesOrGoes) {
    Bytes* source = new Bytes{7, 0, 0, 0, 'o', 'k', 0};
    CFile reader;
    ASSERT_TRUE(reader.OpenMemory(source->data(), 7));
    std::fill(source->begin(), source->end(), 0xEE);
    delete source; // the memblock is deleted while the reader still reads
    EXPECT_EQ(reader.ReadInt(), 7);
    Cstring out;
    EXPECT_EQ(reader.ReadString(out), 2);
    EXPECT_STREQ(out.Text(), "ok");
}

TEST(ReaderMemory, EmptyBlockIsHeldButHasNothingToRead) {
    const uint8_t byte = 0;
    CFile reader;
    ASSERT_TRUE(reader.OpenMemory(&byte, 0));
    EXPECT_TRUE(reader.HoldsData());
    ExpectError(Thrown([&] { reader.ReadInt(); }), "EOF", "CFile::ReadInt");
}

TEST(ReaderMemory, NewCopyReplacesTheOldOneAndStartsAtTheFront) {
    const Bytes first{1, 0, 0, 0, 2, 0, 0, 0};
    const Bytes second{3, 0, 0, 0};
    CFile reader;
    ASSERT_TRUE(reader.OpenMemory(first.data(), 8));
    reader.ReadInt();
    ASSERT_TRUE(reader.OpenMemory(second.data(), 4));
    EXPECT_EQ(reader.Size(), 4);
    EXPECT_EQ(reader.ReadInt(), 3);
}

// --- CError -------------------------------------------------------------------

TEST(ErrorRecord, IsAPlainRecordCopiedByteForByte) {
    static_assert(std::is_trivially_copyable<CError>::value, "thrown and copied as bytes");
    static_assert(std::is_standard_layout<CError>::value, "fields in their stated order");
    EXPECT_EQ(offsetof(CError, line), 0u);
    EXPECT_EQ(sizeof(CError::message), 2048u);
    EXPECT_EQ(sizeof(CError::file), 261u);
    EXPECT_EQ(sizeof(CError::function), 131u);
}

TEST(ErrorRecord, HoldsWhatItWasGiven) {
    const CError error("Unsupported Version", "KEP_Load", "kep_import_v4", 77);
    EXPECT_STREQ(error.message, "Unsupported Version");
    EXPECT_STREQ(error.function, "KEP_Load");
    EXPECT_STREQ(error.file, "kep_import_v4");
    EXPECT_EQ(error.line, 77);
}

TEST(ErrorRecord, CutsTextsLongerThanTheirFields) {
    const std::string message(3000, 'm');
    const std::string function(500, 'f');
    const std::string file(400, 'u');
    const CError error(message.c_str(), function.c_str(), file.c_str(), 1);
    EXPECT_EQ(std::string(error.message), message.substr(0, 2047));
    EXPECT_EQ(std::string(error.function), function.substr(0, 130));
    EXPECT_EQ(std::string(error.file), file.substr(0, 260));
}

TEST(ErrorRecord, TextThatJustFitsIsKeptWhole) {
    const std::string message(2047, 'm');
    const CError error(message.c_str(), "f", "u", 1);
    EXPECT_EQ(std::string(error.message), message);
}

TEST(ErrorRecord, MissingTextsBecomeEmpty) {
    const CError error(nullptr, nullptr, nullptr, 3);
    EXPECT_STREQ(error.message, "");
    EXPECT_STREQ(error.function, "");
    EXPECT_STREQ(error.file, "");
}

TEST(ErrorRecord, ThrowMacroNamesTheRaisingLine) {
    const int line = __LINE__ + 2;
    try {
        KEP_THROW("Out of memory", "KEP_FindTexture", "kep_import_v4");
    } catch (const CError& error) {
        EXPECT_EQ(error.line, line);
        EXPECT_STREQ(error.message, "Out of memory");
        EXPECT_STREQ(error.function, "KEP_FindTexture");
        return;
    }
    FAIL() << "nothing was thrown";
}

} // namespace
