// CList cursor rules and Cstring text handling: every map record and every
// text read from a map goes through these two types.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/CList.h"
#include "core/Cstring.h"
#include "core/memory.h"

namespace {

// Items are addresses of these, so a misplaced item shows by its value.
int g_items[8] = {0, 1, 2, 3, 4, 5, 6, 7};
void* Item(int i) {
    return &g_items[i];
}

// The items from head to tail, read without moving the cursor.
std::vector<int> Items(const CList& list) {
    std::vector<int> values;
    for (int32_t i = 0; i < list.Count(); ++i)
        values.push_back(*list.At<int>(i));
    return values;
}

int CurrentValue(const CList& list) {
    void* item = list.GetCurrent();
    return item ? *static_cast<int*>(item) : -1;
}

void Fill(CList& list, std::initializer_list<int> values) {
    for (int v : values)
        list.Add(Item(v));
}

using V = std::vector<int>;

// --- CList ------------------------------------------------------------------

TEST(CListCursor, FirstOnEmptyListLeavesNoCurrentNode) {
    CList list;
    EXPECT_FALSE(list.First());
    EXPECT_EQ(list.GetCurrent(), nullptr);
    EXPECT_EQ(list.GetCurrentIndex(), -1);
    EXPECT_FALSE(list.Next());
}

TEST(CListCursor, IterationIdiomVisitsEveryItemInOrder) {
    CList list;
    Fill(list, {1, 2, 3});
    V seen;
    for (list.First(); list.GetCurrent(); list.Next())
        seen.push_back(CurrentValue(list));
    EXPECT_EQ(seen, (V{1, 2, 3}));
}

TEST(CListCursor, NextPastTheLastNodeLeavesNoCurrentAndAddAppends) {
    CList list;
    Fill(list, {1, 2});
    ASSERT_TRUE(list.First());
    EXPECT_TRUE(list.Next());
    EXPECT_FALSE(list.Next());
    EXPECT_EQ(list.GetCurrent(), nullptr);
    EXPECT_EQ(list.GetCurrentIndex(), -1);
    EXPECT_FALSE(list.Next()); // stays off the list

    list.Add(Item(3));
    EXPECT_EQ(Items(list), (V{1, 2, 3}));
    EXPECT_EQ(CurrentValue(list), 3);
    EXPECT_EQ(list.Count(), 3);
}

TEST(CListCursor, AddRightAfterFirstPutsTheItemSecond) {
    CList list;
    Fill(list, {1, 2, 3});
    list.First();
    list.Add(Item(7));
    EXPECT_EQ(Items(list), (V{1, 7, 2, 3}));
    EXPECT_EQ(list.GetCurrentIndex(), 1);
    // The cursor stays on the new node, so the next Add follows it.
    list.Add(Item(6));
    EXPECT_EQ(Items(list), (V{1, 7, 6, 2, 3}));
}

TEST(CListCursor, InsertRightAfterFirstMakesTheItemTheHead) {
    CList list;
    Fill(list, {1, 2});
    list.First();
    list.Insert(Item(5));
    EXPECT_EQ(Items(list), (V{5, 1, 2}));
    EXPECT_EQ(list.GetCurrentIndex(), 0);
    EXPECT_EQ(CurrentValue(list), 5);
}

TEST(CListCursor, FirstAndInsertAloneBuildTheListInReverse) {
    CList list;
    for (int v : {1, 2, 3, 4}) {
        list.First();
        list.Insert(Item(v));
    }
    EXPECT_EQ(Items(list), (V{4, 3, 2, 1}));
    EXPECT_EQ(list.Count(), 4);
}

TEST(CListCursor, InsertGoesBeforeTheCurrentNodeOrBeforeTheHeadWhenThereIsNone) {
    CList list;
    Fill(list, {1, 2, 3});
    ASSERT_TRUE(list.SetCurrent(2));
    list.Insert(Item(6));
    EXPECT_EQ(Items(list), (V{1, 2, 6, 3}));
    EXPECT_EQ(list.GetCurrentIndex(), 2);

    list.SetCurrent(-1);
    list.Insert(Item(7));
    EXPECT_EQ(Items(list), (V{7, 1, 2, 6, 3}));
    EXPECT_EQ(CurrentValue(list), 7);
}

TEST(CListRemove, OnlyNodeLeavesAnEmptyListWithNoCurrent) {
    CList list;
    list.Add(Item(1));
    EXPECT_TRUE(list.Remove(false));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.GetCurrent(), nullptr);
    EXPECT_FALSE(list.First());
    EXPECT_FALSE(list.Remove(false));
}

TEST(CListRemove, LastOfSeveralLeavesTheNodeBeforeItCurrent) {
    CList list;
    Fill(list, {1, 2, 3});
    ASSERT_TRUE(list.SetCurrent(2));
    EXPECT_TRUE(list.Remove(false));
    EXPECT_EQ(Items(list), (V{1, 2}));
    EXPECT_EQ(CurrentValue(list), 2);
    EXPECT_EQ(list.GetCurrentIndex(), 1);
}

TEST(CListRemove, MiddleNodeLeavesItsFollowerAndHeadLeavesTheNewHead) {
    CList list;
    Fill(list, {1, 2, 3, 4});
    list.SetCurrent(1);
    list.Remove(false);
    EXPECT_EQ(Items(list), (V{1, 3, 4}));
    EXPECT_EQ(CurrentValue(list), 3);

    list.First();
    list.Remove(false);
    EXPECT_EQ(Items(list), (V{3, 4}));
    EXPECT_EQ(CurrentValue(list), 3);
    EXPECT_EQ(list.GetCurrentIndex(), 0);
}

TEST(CListRemove, WithNoCurrentNodeReturnsFalseAndChangesNothing) {
    CList list;
    Fill(list, {1, 2, 3});
    list.First();
    while (list.Next()) {
    }
    EXPECT_FALSE(list.Remove(false));
    EXPECT_EQ(Items(list), (V{1, 2, 3}));
    EXPECT_EQ(list.Count(), 3);
}

TEST(CListRemove, DeletingItemsReleasesThemAsRawBlocks) {
    // Blocks from the tagged allocator: the sanitizer build reports a leak or a
    // double release if Remove or Clear get this wrong.
    CList list;
    for (int i = 0; i < 3; ++i)
        list.Add(KepAllocate(16, KEP_UNIT_MAP, __LINE__));
    list.First();
    EXPECT_TRUE(list.Remove(true));
    EXPECT_EQ(list.Count(), 2);
    list.Clear(true);
    EXPECT_EQ(list.Count(), 0);
}

TEST(CListIndex, GetAtOutsideTheListReturnsNullAndLeavesNoCurrent) {
    CList list;
    Fill(list, {1, 2, 3});
    for (int32_t index : {-1, 3, 1000, INT32_MIN}) {
        list.First();
        EXPECT_EQ(list.GetAt(index), nullptr) << index;
        EXPECT_EQ(list.GetCurrent(), nullptr) << index;
        EXPECT_EQ(list.GetCurrentIndex(), -1) << index;
    }
    EXPECT_EQ(CList().GetAt(0), nullptr);
}

TEST(CListIndex, GetAtMovesTheCursorAndGetCurrentIndexReportsIt) {
    CList list;
    Fill(list, {1, 2, 3, 4});
    for (int32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(list.GetAt(i), Item(i + 1));
        EXPECT_EQ(list.GetCurrentIndex(), i);
    }
    EXPECT_TRUE(list.SetCurrent(0));
    EXPECT_FALSE(list.SetCurrent(4));
    EXPECT_EQ(list.GetCurrentIndex(), -1);
    // Add after an index access goes right after the node found.
    list.GetAt(1);
    list.Add(Item(7));
    EXPECT_EQ(Items(list), (V{1, 2, 7, 3, 4}));
}

TEST(CListClear, EmptiesAnyListAndLeavesItUsable) {
    CList empty;
    empty.Clear(false);
    EXPECT_EQ(empty.Count(), 0);
    EXPECT_FALSE(empty.First());

    CList list;
    Fill(list, {1, 2, 3});
    list.SetCurrent(1);
    list.Clear(false);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.GetCurrent(), nullptr);
    EXPECT_EQ(list.GetCurrentIndex(), -1);
    list.Add(Item(4));
    EXPECT_EQ(Items(list), (V{4}));
}

TEST(CListCount, FollowsEveryInsertionAndRemoval) {
    CList list;
    for (int i = 0; i < 100; ++i)
        list.Add(Item(i % 8));
    EXPECT_EQ(list.Count(), 100);
    list.SetCurrent(50);
    for (int i = 0; i < 10; ++i)
        list.Insert(Item(0));
    EXPECT_EQ(list.Count(), 110);
    list.First();
    while (list.Remove(false)) {
    }
    EXPECT_EQ(list.Count(), 0);
}

// --- Cstring ----------------------------------------------------------------

// The buffer never has spare room: size is always the length plus one.
void ExpectText(const Cstring& s, const char* text) {
    ASSERT_NE(s.Text(), nullptr);
    EXPECT_STREQ(s.Text(), text);
    EXPECT_EQ(s.Size(), static_cast<int32_t>(std::strlen(text)) + 1);
}

TEST(CstringCreate, EmptyStringHoldsTheEmptyTextWithSizeOne) {
    Cstring s;
    ExpectText(s, "");
    EXPECT_TRUE(s == "");
}

TEST(CstringCreate, NullTextLeavesNoBufferAndEmptyGivesItOne) {
    Cstring s(nullptr);
    EXPECT_EQ(s.Text(), nullptr);
    EXPECT_EQ(s.Size(), 0);
    EXPECT_STREQ(s.CStr(), "");
    EXPECT_TRUE(s.Empty());
    ExpectText(s, "");
}

TEST(CstringAssign, NullIsRefusedAndKeepsTheText) {
    Cstring s("PIVOT");
    EXPECT_FALSE(s.Assign(nullptr));
    ExpectText(s, "PIVOT");
    s = static_cast<const char*>(nullptr);
    ExpectText(s, "PIVOT");
}

TEST(CstringAssign, ReplacesTheWholeTextWithAnExactBuffer) {
    Cstring s("a much longer text than the next");
    EXPECT_TRUE(s.Assign("ab"));
    ExpectText(s, "ab");
    EXPECT_TRUE(s.Assign(""));
    ExpectText(s, "");
}

TEST(CstringAssign, OwnTextOrOwnStringLeavesItUnchanged) {
    Cstring s("texture_1");
    EXPECT_TRUE(s.Assign(s.Text()));
    ExpectText(s, "texture_1");
    s = s.Text();
    ExpectText(s, "texture_1");
    Cstring& same = s;
    s = same;
    ExpectText(s, "texture_1");
    // A tail of its own text is copied before the old buffer goes.
    EXPECT_TRUE(s.Assign(s.Text() + 8));
    ExpectText(s, "1");
}

TEST(CstringAssign, CopyBetweenStringsIsIndependent) {
    Cstring a("key");
    Cstring b("value");
    a = b;
    ExpectText(a, "value");
    b.Assign("changed");
    ExpectText(a, "value");
    EXPECT_NE(a.Text(), b.Text());
}

TEST(CstringAppend, EmptyTextOrZeroByteChangesNothing) {
    Cstring s("ab");
    EXPECT_TRUE(s.Append(""));
    ExpectText(s, "ab");
    s += '\0';
    ExpectText(s, "ab");
    EXPECT_FALSE(s.Append(nullptr));
    ExpectText(s, "ab");
}

TEST(CstringAppend, TextAndCharactersJoin) {
    Cstring s("ab");
    EXPECT_TRUE(s.Append("cd"));
    ExpectText(s, "abcd");
    EXPECT_EQ(s.Size(), 5);
    s += 'e';
    s += "fg";
    ExpectText(s, "abcdefg");
}

TEST(CstringAppend, ToAStringWithoutBufferStartsAtTheBeginning) {
    Cstring s(nullptr);
    EXPECT_TRUE(s.Append("xy"));
    ExpectText(s, "xy");
}

TEST(CstringAppend, OwnTextAppendsACopyOfIt) {
    // The buffer moves while growing; the appended text must be read from
    // where it now lies.
    Cstring s("ab");
    EXPECT_TRUE(s.Append(s.Text()));
    ExpectText(s, "abab");
    EXPECT_TRUE(s.Append(s.Text() + 3));
    ExpectText(s, "ababb");
    for (int i = 0; i < 6; ++i)
        s.Append(s.Text());
    EXPECT_EQ(s.Size(), 5 * 64 + 1);
    EXPECT_EQ(std::string(s.Text(), 10), "ababbababb");
}

TEST(CstringAppend, CharacterByCharacterKeepsAnExactBuffer) {
    Cstring s;
    std::string expected;
    for (int i = 0; i < 500; ++i) {
        const char c = static_cast<char>('a' + i % 26);
        s += c;
        expected += c;
    }
    ExpectText(s, expected.c_str());
}

TEST(CstringFind, NeedleSearchesFromTheStart) {
    Cstring s("CAULKWALL");
    EXPECT_EQ(s.Find("AULK", 0), 1);
    EXPECT_EQ(s.Find("AULK", 1), 1);
    EXPECT_EQ(s.Find("AULK", 2), -1);
    EXPECT_EQ(s.Find("ALL", 2), 6);
    EXPECT_EQ(s.Find("L", 5), 7);
    EXPECT_EQ(s.Find("AULK", 9), -1);
    EXPECT_EQ(s.Find("AULK", -1), -1);
    EXPECT_EQ(s.Find("aulk", 0), -1); // case matters
    EXPECT_EQ(s.Find("CAULKWALLS", 0), -1);
}

TEST(CstringFind, EmptyNeedleYieldsTheStartInsideTheText) {
    Cstring s("CAULKWALL");
    EXPECT_EQ(s.Find("", 3), 3);
    EXPECT_EQ(s.Find("", 0), 0);
    EXPECT_EQ(s.Find("", 8), 8);
    EXPECT_EQ(s.Find("", 9), -1);
}

TEST(CstringFind, NothingIsFoundInAnEmptyOrMissingText) {
    EXPECT_EQ(Cstring().Find("", 0), -1);
    EXPECT_EQ(Cstring().Find("A", 0), -1);
    EXPECT_EQ(Cstring(nullptr).Find("A", 0), -1);
    EXPECT_EQ(Cstring("A").Find(nullptr, 0), -1);
}

TEST(CstringMakeUpper, ChangesOnlyTheLettersAToZ) {
    Cstring s("caulk_1.bmp");
    s.MakeUpper();
    ExpectText(s, "CAULK_1.BMP");

    Cstring bytes("z{\xe9\xff@a`");
    bytes.MakeUpper();
    ExpectText(bytes, "Z{\xe9\xff@A`");

    Cstring none(nullptr);
    none.MakeUpper();
    EXPECT_EQ(none.Text(), nullptr);
}

TEST(CstringEquals, ComparesWholeTextsCaseSensitively) {
    Cstring s("PIVOT");
    EXPECT_TRUE(s == "PIVOT");
    EXPECT_FALSE(s == "pivot");
    EXPECT_FALSE(s == "PIVOT ");
    EXPECT_FALSE(s == "PIVO");
    EXPECT_FALSE(s == "");
    EXPECT_FALSE(s == nullptr);
    EXPECT_FALSE(Cstring() == nullptr);
}

TEST(CstringEmpty, DropsTheTextAndLeavesTheEmptyText) {
    Cstring s("something");
    EXPECT_TRUE(s.Empty());
    ExpectText(s, "");
    EXPECT_TRUE(s.Empty());
    ExpectText(s, "");
}

TEST(CstringAssignBytes, CopiesExactlyTheGivenBytes) {
    Cstring s;
    EXPECT_TRUE(s.AssignBytes("abcdef", 3));
    ExpectText(s, "abc");
    EXPECT_TRUE(s.AssignBytes("", 0));
    ExpectText(s, "");
    EXPECT_FALSE(s.AssignBytes(nullptr, 2));
    EXPECT_FALSE(s.AssignBytes("abc", -1));
    ExpectText(s, "");
}

} // namespace
