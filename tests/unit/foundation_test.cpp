// The record lists and Cstring text handling: every map record and every text
// goes through these types. (CFile's reading in pieces is the cut maps' test:
// a file and a memblock must read alike around every piece's edge.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/CList.h"
#include "core/Cstring.h"
#include "core/memory.h"

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

} // namespace
