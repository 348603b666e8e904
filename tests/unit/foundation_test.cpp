// CList cursor rules, Cstring text handling and CFile's reading in pieces:
// every map record, every text and every value read from a file goes
// through these types.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

#include "core/CFile.h"
#include "core/CList.h"
#include "core/Cstring.h"

namespace {

// Items are addresses of these, so a misplaced item shows by its value.
int g_items[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};

TEST(CListCursor, FollowsTheRulesOfASinglyLinkedListWithACurrentNode) {
    // ops: +N Add(N), ^N Insert(N), F First, N Next, R Remove, SN SetCurrent(N),
    // GN GetAt(N), C Clear. Afterwards: each call's result (1 for true or an item,
    // Clear gives 1), [the items from head to tail] and @the current item.
    const char* cases[][2] = {
        {"F N R", "000 [] @-"},
        {"+1 +2 F N N N +3", "1111001 [123] @3"}, // off the end, Add appends
        {"+1 +2 +3 F +7 +6", "111111 [17623] @6"},
        {"+1 +2 F ^5", "1111 [512] @5"},
        {"F ^1 F ^2 F ^3", "011111 [321] @3"}, // First and Insert alone build in reverse
        {"+1 +2 +3 S2 ^6", "11111 [1263] @6"},
        {"+1 +2 S-1 ^7", "1101 [712] @7"}, // no current node: before the head
        {"+1 R R F", "1100 [] @-"},
        {"+1 +2 +3 S2 R", "11111 [12] @2"},      // the last: the node before it
        {"+1 +2 +3 +4 S1 R", "111111 [134] @3"}, // the middle: its follower
        {"+1 +2 F R", "1111 [2] @2"},
        {"+1 +2 F N N R", "111100 [12] @-"},
        {"+1 +2 +3 F G3", "11110 [123] @-"},
        {"+1 +2 +3 +4 G1 +7", "111111 [12734] @7"},
        {"+1 +2 S0 S2", "1110 [12] @-"},
        {"+1 +2 +3 S1 C +4", "111111 [4] @4"},
    };
    for (const auto& c : cases) {
        CListOf<int> list;
        std::string state;
        std::istringstream ops(c[0]);
        for (std::string op; ops >> op;) {
            const int n = op.size() > 1 ? std::stoi(op.substr(1)) : 0;
            int* item = n >= 0 && n < 10 ? &g_items[n] : nullptr;
            const bool ok = op[0] == '+'   ? list.Add(item)
                            : op[0] == '^' ? list.Insert(item)
                            : op[0] == 'F' ? list.First()
                            : op[0] == 'N' ? list.Next()
                            : op[0] == 'R' ? list.Remove()
                            : op[0] == 'S' ? list.SetCurrent(n)
                            : op[0] == 'G' ? list.GetAt(n) != nullptr
                                           : (list.Clear(), true);
            state += ok ? '1' : '0';
        }
        state += " [";
        for (int32_t i = 0; i < list.Count(); ++i)
            state += static_cast<char>('0' + *list.At(i));
        const int* current = list.GetCurrent();
        state += current ? "] @" + std::to_string(*current) : "] @-";
        EXPECT_EQ(state, c[1]) << c[0];
        EXPECT_EQ(current, list.At(list.GetCurrentIndex())) << c[0];
    }
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
    std::string bytes(2 * CFile::kPieceBytes + 9, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 37 + i / 256);
    const std::string path = testing::TempDir() + "pieces.bin";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(out);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
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
