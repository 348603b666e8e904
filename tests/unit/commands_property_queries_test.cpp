// Flags and key/value properties of groups, entities, meshes and pivots.
#include <climits>
#include <cstring>
#include <string>

#include "command_test_maps.h"
#include "host/host_functions.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "test_host.h"

namespace {

class PropertyQueryTest : public MapFixture {
  protected:
    void SetUp() override {
        group1 = map.AddGroup(0x11);
        group2 = map.AddGroup(0x22);
        AddProperty(group2->properties, "name", "lift");
        AddProperty(map->defaultGroup->properties, "hidden", "yes");
        light = map.AddEntity(group1);
        AddProperty(light->properties, "classname", "light");
        AddProperty(light->properties, "Colour", "255 255 255");
        AddProperty(light->properties, "colour", "second");
        AddProperty(light->properties, "empty", "");
        map.AddEntity(nullptr);       // entity 1: no properties
        pivot = map.AddPivot(group2); // entity 2, pivot 0
        mesh = map.AddMesh(group1, 0x33);
        AddProperty(mesh->properties, "detail", "1");
    }

    TestMap map;
    KEP_Group* group1 = nullptr;
    KEP_Group* group2 = nullptr;
    KEP_Entity* light = nullptr;
    KEP_Entity* pivot = nullptr;
    KEP_Mesh* mesh = nullptr;
};

// The string a string command returned, released after reading.
std::string Take(char* text) {
    std::string out = text ? text : "";
    host::DeleteHostString(text);
    return out;
}

TEST_F(PropertyQueryTest, FlagsOfGroupsAndMeshesOnly) {
    EXPECT_EQ(KEP_Flags(0, 0), 0x11);
    EXPECT_EQ(KEP_Flags(0, 1), 0x22);
    EXPECT_EQ(KEP_Flags(3, 0), 0x33);
    EXPECT_TRUE(Succeeded());
    for (int32_t code : {1, 2, 4, 6, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(KEP_Flags(code, 0), 0) << code;
        EXPECT_TRUE(Succeeded());
    }
    for (int32_t bad : {2, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(KEP_Flags(0, bad), 0) << bad;
        EXPECT_TRUE(Failed("Invalid component index"));
    }
    EXPECT_EQ(KEP_Flags(3, 1), 0);
    EXPECT_TRUE(Failed("Invalid component index"));
}

TEST_F(PropertyQueryTest, PropertyCountPerComponent) {
    EXPECT_EQ(KEP_PropertyCount(2, 0), 4);
    EXPECT_EQ(KEP_PropertyCount(2, 1), 0);
    EXPECT_EQ(KEP_PropertyCount(3, 0), 1);
    EXPECT_TRUE(Succeeded());
    // Pivot 0 is entity 2: both ways see the same record.
    EXPECT_EQ(KEP_PropertyCount(6, 0), KEP_PropertyCount(2, 2));
    EXPECT_EQ(KEP_PropertyCount(6, 0), 1);
    // With 2 groups, index 1 is group 2 and index 2 is out of range; the
    // default group (index -1) is out of reach.
    EXPECT_EQ(KEP_PropertyCount(0, 1), 1);
    EXPECT_TRUE(Succeeded());
    for (int32_t bad : {2, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(KEP_PropertyCount(0, bad), 0) << bad;
        EXPECT_TRUE(Failed("Invalid component index"));
    }
    EXPECT_EQ(KEP_PropertyCount(2, 3), 0);
    EXPECT_TRUE(Failed("Invalid component index"));
    EXPECT_EQ(KEP_PropertyCount(6, 1), 0);
    EXPECT_TRUE(Failed("Invalid component index"));
    // A code without properties is not reported here.
    EXPECT_EQ(KEP_PropertyCount(1, 0), 0);
    EXPECT_TRUE(Succeeded());
}

TEST_F(PropertyQueryTest, PropertyReadsKeysAndValuesByPosition) {
    EXPECT_EQ(Take(KEP_Property(nullptr, 2, 0, 0, 0)), "classname");
    EXPECT_EQ(Take(KEP_Property(nullptr, 2, 1, 0, 1)), "255 255 255");
    EXPECT_EQ(Take(KEP_Property(nullptr, 0, 1, 1, 0)), "lift");
    EXPECT_EQ(Take(KEP_Property(nullptr, 3, 0, 0, 0)), "detail");
    EXPECT_EQ(Take(KEP_Property(nullptr, 6, 1, 0, 0)), "PIVOT");
    EXPECT_TRUE(Succeeded());
    // An empty value is no failure.
    EXPECT_EQ(KEP_Property(nullptr, 2, 1, 0, 3), nullptr);
    EXPECT_TRUE(Succeeded());
}

TEST_F(PropertyQueryTest, PropertyChecksInOrderAndReleasesThePreviousString) {
    struct Case {
        int32_t component, selector, componentIndex, propertyIndex;
        const char* message;
    };
    const Case cases[] = {
        {1, 0, 0, 0, "Invalid component type"},
        {INT_MIN, 9, INT_MAX, -1, "Invalid component type"},
        {2, 9, 3, -1, "Invalid component index"},
        {0, 0, INT_MAX, 0, "Invalid component index"},
        {0, 0, -1, 0, "Invalid component index"},
        {2, 2, 0, 9, "Invalid property type"},
        {2, -1, 0, 0, "Invalid property type"},
        {2, 0, 0, 4, "Invalid property index"}, // equal to the property count
        {2, 1, 0, -1, "Invalid property index"},
        {2, 1, 1, 0, "Invalid property index"},
        {3, 0, 0, INT_MAX, "Invalid property index"},
    };
    for (const Case& c : cases) {
        char* previous = KEP_Property(nullptr, 2, 0, 0, 0);
        ASSERT_NE(previous, nullptr);
        EXPECT_EQ(
            KEP_Property(previous, c.component, c.selector, c.componentIndex, c.propertyIndex),
            nullptr);
        EXPECT_TRUE(Failed(c.message)) << c.component << "," << c.selector << ","
                                       << c.componentIndex << "," << c.propertyIndex;
        EXPECT_EQ(simhost::OutstandingHostStrings(), 0u);
    }
}

TEST_F(PropertyQueryTest, PropertyByKeyFindsTheFirstKeyIgnoringCase) {
    EXPECT_EQ(Take(KEP_PropertyByKey(nullptr, 2, 0, "colour")), "255 255 255");
    EXPECT_EQ(Take(KEP_PropertyByKey(nullptr, 2, 0, "CLASSNAME")), "light");
    EXPECT_EQ(Take(KEP_PropertyByKey(nullptr, 0, 1, "Name")), "lift");
    EXPECT_EQ(Take(KEP_PropertyByKey(nullptr, 6, 0, "classname")), "PIVOT");
    EXPECT_TRUE(Succeeded());
    // Not found, no properties, an empty value, a null key: empty, no failure.
    char* previous = KEP_PropertyByKey(nullptr, 3, 0, "detail");
    ASSERT_NE(previous, nullptr);
    EXPECT_EQ(KEP_PropertyByKey(previous, 2, 0, "colou"), nullptr);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(simhost::OutstandingHostStrings(), 0u);
    EXPECT_EQ(KEP_PropertyByKey(nullptr, 2, 1, "classname"), nullptr);
    EXPECT_EQ(KEP_PropertyByKey(nullptr, 2, 0, "empty"), nullptr);
    EXPECT_EQ(KEP_PropertyByKey(nullptr, 2, 0, nullptr), nullptr);
    EXPECT_EQ(KEP_PropertyByKey(nullptr, 2, 0, ""), nullptr);
    EXPECT_TRUE(Succeeded());
}

TEST_F(PropertyQueryTest, PropertyByKeyFailures) {
    char* previous = KEP_PropertyByKey(nullptr, 2, 0, "classname");
    EXPECT_EQ(KEP_PropertyByKey(previous, 4, 0, "classname"), nullptr);
    EXPECT_TRUE(Failed("Invalid component type"));
    EXPECT_EQ(simhost::OutstandingHostStrings(), 0u);
    previous = KEP_PropertyByKey(nullptr, 2, 0, "classname");
    EXPECT_EQ(KEP_PropertyByKey(previous, 0, INT_MAX, "name"), nullptr);
    EXPECT_TRUE(Failed("Invalid component index"));
    EXPECT_EQ(simhost::OutstandingHostStrings(), 0u);
    EXPECT_EQ(KEP_PropertyByKey(nullptr, 6, -1, "name"), nullptr);
    EXPECT_TRUE(Failed("Invalid component index"));
}

TEST_F(PropertyQueryTest, DirectPropertyWritesTheTextAndNothingForAnEmptyOne) {
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(KEPCPP_Property(buffer, 2, 1, 0, 1), 1);
    EXPECT_TRUE(Succeeded());
    EXPECT_STREQ(buffer, "255 255 255");
    EXPECT_EQ(buffer[12], '#');

    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(KEPCPP_Property(buffer, 2, 1, 0, 3), 1);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(buffer[0], '#');

    EXPECT_EQ(KEPCPP_Property(buffer, 5, 0, 0, 0), 0);
    EXPECT_TRUE(Failed("Invalid component type"));
    EXPECT_EQ(KEPCPP_Property(buffer, 2, 0, 9, 0), 0);
    EXPECT_TRUE(Failed("Invalid component index"));
    EXPECT_EQ(KEPCPP_Property(buffer, 2, 3, 0, 0), 0);
    EXPECT_TRUE(Failed("Invalid property type"));
    EXPECT_EQ(KEPCPP_Property(buffer, 2, 0, 0, 4), 0);
    EXPECT_TRUE(Failed("Invalid property index"));
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(KEPCPP_Property(nullptr, 2, 0, 0, 0), 0);
    EXPECT_TRUE(Failed("Invalid buffer"));
    EXPECT_EQ(simhost::OutstandingHostStrings(), 0u);
}

TEST_F(PropertyQueryTest, DirectPropertyByKeySucceedsWhenNothingMatches) {
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(KEPCPP_PropertyByKey(buffer, 2, 0, "nothing"), 1);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(KEPCPP_PropertyByKey(buffer, 2, 1, "classname"), 1); // no properties
    EXPECT_EQ(KEPCPP_PropertyByKey(buffer, 2, 0, nullptr), 1);
    EXPECT_EQ(KEPCPP_PropertyByKey(buffer, 2, 0, "EMPTY"), 1);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(buffer[0], '#');

    EXPECT_EQ(KEPCPP_PropertyByKey(buffer, 2, 0, "CLASSNAME"), 1);
    EXPECT_STREQ(buffer, "light");
    EXPECT_EQ(buffer[6], '#');

    EXPECT_EQ(KEPCPP_PropertyByKey(buffer, 7, 0, "classname"), 0);
    EXPECT_TRUE(Failed("Invalid component type"));
    EXPECT_EQ(KEPCPP_PropertyByKey(buffer, 3, 1, "detail"), 0);
    EXPECT_TRUE(Failed("Invalid component index"));
    EXPECT_EQ(KEPCPP_PropertyByKey(nullptr, 2, 0, "classname"), 0);
    EXPECT_TRUE(Failed("Invalid buffer"));
}

TEST_F(PropertyQueryTest, EveryCommandFailsWithoutACurrentMap) {
    KEP_Clear();
    char buffer[4] = "abc";
    EXPECT_EQ(KEP_Flags(0, 0), 0);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(KEP_PropertyCount(2, 0), 0);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(KEP_Property(nullptr, 2, 0, 0, 0), nullptr);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(KEP_PropertyByKey(nullptr, 2, 0, "a"), nullptr);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(KEPCPP_Property(buffer, 2, 0, 0, 0), 0);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(KEPCPP_PropertyByKey(buffer, 2, 0, "a"), 0);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_STREQ(buffer, "abc");
}

TEST_F(PropertyQueryTest, GroupLookupsKeepTheGroupListCursor) {
    map->groups.SetCurrent(2);
    EXPECT_EQ(KEP_PropertyCount(0, 1), 1);
    EXPECT_EQ(KEP_Flags(0, 0), 0x11);
    EXPECT_EQ(Take(KEP_PropertyByKey(nullptr, 0, 1, "name")), "lift");
    EXPECT_EQ(map->groups.GetCurrentIndex(), 2);
}

TEST_F(PropertyQueryTest, APartlyLoadedGroupListHasNoReachableIndexBeyondItsGroups) {
    KEP_Clear();
    TestMap partial(false);
    KEP_Group* only = partial.AddGroup(7);
    AddProperty(only->properties, "a", "b");
    // One group read and no default group: count - 1 = 0 valid indices.
    EXPECT_EQ(KEP_PropertyCount(0, 0), 0);
    EXPECT_TRUE(Failed("Invalid component index"));
    partial.AddGroup();
    EXPECT_EQ(KEP_PropertyCount(0, 0), 1);
    EXPECT_EQ(KEP_Flags(0, 0), 7);
    EXPECT_TRUE(Succeeded());
}

} // namespace
