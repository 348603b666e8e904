// The record lists, Cstring text handling and CFile's reading in pieces:
// every map record, every text and every value read from a file goes
// through these types.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/CFile.h"
#include "core/CList.h"
#include "core/Cstring.h"
#include "core/memory.h"
#include "kep_writer.h"

namespace {

TEST(Lists, GrowAtTheHeadInOrderAndFreeWhatLeavesAnOwningList) {
    namespace memory = kep_memory_test;
    memory::TrackBlocks(true);
    {
        // Enough head insertions to outgrow the room in front several times.
        COwningList<int> list;
        for (int n = 0; n < 20; ++n) {
            int* item = KEP_NEW(int, "item");
            *item = n;
            n % 2 ? list.PushFront(item) : list.Add(item);
        }
        std::string order;
        int32_t position = 0;
        for (const int* item : list) {
            EXPECT_EQ(list.At(position), item);
            EXPECT_EQ(list.IndexOf(item), position++);
            order += std::to_string(*item) + ' ';
        }
        EXPECT_EQ(order, "19 17 15 13 11 9 7 5 3 1 0 2 4 6 8 10 12 14 16 18 ");
        EXPECT_EQ(list.At(20), nullptr);

        const std::size_t held = memory::LiveBlocks().size();
        list.RemoveAt(20); // no such item
        list.RemoveAt(0);
        list.RemoveAt(18);
        EXPECT_EQ(memory::LiveBlocks().size(), held - 2);
        EXPECT_EQ(*list.At(0), 17);
        EXPECT_EQ(*list.At(17), 16);
        list.Clear(); // the items and the list's own block
        EXPECT_EQ(memory::LiveBlocks(), std::vector<std::string>{});
        list.PushFront(KEP_NEW(int, "item"));
    } // the list's end frees the rest
    EXPECT_EQ(memory::LiveBlocks(), std::vector<std::string>{});
    memory::TrackBlocks(false);
}

TEST(Cstring, ChangesSurviveTheirOwnTextAndRefuseWhatIsNoText) {
    Cstring s(nullptr);
    EXPECT_FALSE(s.Assign(nullptr) || s.Append(nullptr) || s.AssignBytes(nullptr, 2) ||
                 s.AssignBytes("abc", -1));
    EXPECT_STREQ(s.CStr(), "");
    EXPECT_TRUE(s.Append("xy"));
    s += '\0';
    s += 'z';
    s = s.Text();
    EXPECT_STREQ(s.CStr(), "xyz");
    s.Assign(s.Text() + 1); // its own tail is copied before the old buffer goes
    // The buffer moves while growing: the text is read from where it now lies.
    s.Append(s.Text());
    s.Append(s.Text() + 3);
    EXPECT_STREQ(s.CStr(), "yzyzz");
    EXPECT_TRUE(s.AssignBytes("z{\xe9\xff@`x", 6)); // bytes as they stand, up to the count
    Cstring copy("key");
    copy = s;
    EXPECT_TRUE(s.Empty());
    EXPECT_STREQ(s.CStr(), "");
    EXPECT_STREQ(copy.CStr(), "z{\xe9\xff@`");
}

// A file is read through a window of one piece: a value may straddle the
// window's edge at any of its bytes, and must read as the same bytes do.
TEST(CFilePieces, ValuesStraddlingAPieceEdgeReadAsTheirBytes) {
    kepw::Bytes bytes(2 * CFile::kPieceBytes + 9);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 37 + i / 256);
    const std::string path = testing::TempDir() + "pieces.bin";
    ASSERT_TRUE(kepw::WriteFile(path, bytes));
    for (int32_t shift = 0; shift < 4; ++shift) {
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str()));
        char skipped[4];
        file.ReadBytes(skipped, shift);
        while (file.Remaining() >= 4) {
            const int32_t at = file.Position();
            int32_t expected;
            std::memcpy(&expected, bytes.data() + at, 4);
            ASSERT_EQ(file.ReadInt(), expected) << "shift " << shift << ", byte " << at;
        }
    }
    std::remove(path.c_str());
}

} // namespace
