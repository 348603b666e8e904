// Entity properties that act while reading: AMBIENT and CLASSNAME=PIVOT.
#include <gtest/gtest.h>

#include <string>

#include "load_helpers.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "simhost/memblocks_images.h"
#include "test_host.h"

namespace {

using EntityLoadTest = PluginTest;

kepw::Map MapWithEntityProperties(const std::vector<std::string>& properties) {
    kepw::Map map;
    map.groups = {{0, 0, "", {}}, {0, 0, "", {}}};
    for (const std::string& text : properties)
        map.entities.push_back({0, 1, text, {}});
    return map;
}

uint32_t AmbientAfterLoading(const std::string& value) {
    KEP_SetAmbient(0x123456);
    EXPECT_EQ(LoadFromMemblock(kepw::Write(MapWithEntityProperties({"AMBIENT=" + value}))), 1)
        << LastErrorText();
    return g_plugin.ambientColour;
}

TEST_F(EntityLoadTest, AmbientTakesTheLowByteOfEachNumber) {
    EXPECT_EQ(AmbientAfterLoading("64 32 16"), 0x402010u);
    EXPECT_EQ(AmbientAfterLoading("300 0 0"), 0x2c0000u);
    EXPECT_EQ(AmbientAfterLoading("-1 256 511"), 0xff00ffu);
    EXPECT_EQ(AmbientAfterLoading("5"), 0x050000u); // missing numbers count as 0
    EXPECT_EQ(AmbientAfterLoading("7 8"), 0x070800u);
    EXPECT_EQ(AmbientAfterLoading("bright"), 0u); // no number still sets the colour
    EXPECT_EQ(AmbientAfterLoading(""), 0u);
}

TEST_F(EntityLoadTest, AmbientKeyIsMatchedWithoutCaseAndTheLastOneWins) {
    KEP_SetAmbient(0);
    const kepw::Map source = MapWithEntityProperties(
        {"ambient=1 2 3", "name=x\nAmbient=\"4 5 6\"", "AMBIENT =9 9 9", "classname=light"});
    ASSERT_EQ(LoadFromMemblock(kepw::Write(source)), 1) << LastErrorText();
    EXPECT_EQ(g_plugin.ambientColour, 0x040506u);
    // Stored properties keep the file's case.
    EXPECT_EQ(PropertiesOf(CurrentMap()->entities.At<KEP_Entity>(0)->properties),
              (PropertyList{{"ambient", "1 2 3"}}));
}

TEST_F(EntityLoadTest, AmbientFromOneMapHoldsForTheNextFileLoad) {
    TempDir dir;
    kepw::Map lit = MapWithEntityProperties({"AMBIENT=16 32 48"});
    ASSERT_EQ(LoadFromFile(dir.Place("lit.kep"), kepw::Write(lit)), 1) << LastErrorText();
    kepw::Map plain;
    plain.lightmaps = {kepw::PatternLightmap(2, 2, 9)};
    plain.lightmaps[0].pixels[0] = 0xff804020u;
    plain.lightmaps[0].pixels[1] = 0x80f00010u;
    ASSERT_EQ(LoadFromFile(dir.Place("plain.kep"), kepw::Write(plain)), 1) << LastErrorText();
    simhost::ImageContent image;
    ASSERT_TRUE(simhost::ReadImage(CurrentMap()->lightmaps.At<KEP_Lightmap>(0)->image, &image));
    ASSERT_EQ(image.pixels.size(), 4u);
    EXPECT_EQ(image.pixels[0], 0x00906050u);
    EXPECT_EQ(image.pixels[1], 0x00ff2040u); // red capped at 255
    EXPECT_EQ(image.pixels[3], WithAmbient(plain.lightmaps[0].pixels[3], 0x102030u));
}

TEST_F(EntityLoadTest, PivotClassIsMatchedWithoutCaseButWhole) {
    const kepw::Map source = MapWithEntityProperties({
        "CLASSNAME=PIVOT",            // 0: pivot
        "classname=pivot",            // 1: pivot
        "ClassName=\"Pivot\"",        // 2: pivot, quotes removed
        "CLASSNAME =pivot",           // 3: key with a space
        "CLASSNAME= pivot",           // 4: value with a space
        "CLASSNAME=pivots",           // 5
        "name=CLASSNAME\npivot",      // 6: neither line is the pair
        "classname",                  // 7: no value
        "x=1\r\nclassname=pivot\r\n", // 8: pivot, on a later line
    });
    ASSERT_EQ(LoadFromMemblock(kepw::Write(source)), 1) << LastErrorText();
    const KEP_Map& map = *CurrentMap();
    std::vector<int32_t> pivotEntities;
    for (int32_t i = 0; i < map.pivots.Count(); ++i)
        pivotEntities.push_back(IndexIn(map.entities, map.pivots.ItemAt(i)));
    EXPECT_EQ(pivotEntities, (std::vector<int32_t>{0, 1, 2, 8}));
    EXPECT_EQ(GroupNumbered(map, 1)->pivotEntity, map.entities.ItemAt(8));
    EXPECT_EQ(PropertiesOf(map.entities.At<KEP_Entity>(8)->properties),
              (PropertyList{{"x", "1"}, {"classname", "pivot"}}));
}

TEST_F(EntityLoadTest, PivotsOfMissingGroupsChangeNoGroup) {
    kepw::Map source;
    source.groups = {{0, 0, "", {}}, {0, 0, "", {}}};
    source.entities = {{0, 2, "classname=pivot", {}},
                       {0, 9, "classname=pivot", {}},
                       {0, -1, "classname=pivot", {}}};
    ASSERT_EQ(LoadFromMemblock(kepw::Write(source)), 1) << LastErrorText();
    const KEP_Map& map = *CurrentMap();
    EXPECT_EQ(map.pivots.Count(), 3);
    EXPECT_EQ(GroupNumbered(map, 2)->pivotEntity, map.entities.ItemAt(0));
    EXPECT_EQ(GroupNumbered(map, 1)->pivotEntity, nullptr);
    EXPECT_EQ(GroupNumbered(map, 0)->pivotEntity, nullptr);
}

TEST_F(EntityLoadTest, MapOffsetIsTakenAtLoadTime) {
    kepw::Map source;
    source.entities = {{0, 0, "", {1.0f, 2.0f, 3.0f}}};
    const kepw::Bytes bytes = kepw::Write(source);
    KEP_MapOffset(10.0f, 0.0f, -5.0f);
    ASSERT_EQ(LoadFromMemblock(bytes), 1) << LastErrorText();
    KEP_Entity* moved = CurrentMap()->entities.At<KEP_Entity>(0);
    KEP_MapOffset(0.0f, 0.0f, 0.0f);
    EXPECT_EQ(moved->position[0], 11.0f); // not moved again by a later setting
    EXPECT_EQ(moved->position[1], 2.0f);
    EXPECT_EQ(moved->position[2], -2.0f);
    ASSERT_EQ(LoadFromMemblock(bytes), 1) << LastErrorText();
    EXPECT_EQ(CurrentMap()->entities.At<KEP_Entity>(0)->position[0], 1.0f);
}

TEST_F(EntityLoadTest, LineEndingsGiveTheSameProperties) {
    kepw::Map source;
    source.entities = {{0, 0, "a=1\nb=2", {}},
                       {0, 0, "a=1\r\nb=2\r\n", {}},
                       {0, 0, "\n\n\n", {}},
                       {0, 0, "=x\na=b", {}}};
    ASSERT_EQ(LoadFromMemblock(kepw::Write(source)), 1) << LastErrorText();
    const CList& entities = CurrentMap()->entities;
    const PropertyList ab = {{"a", "1"}, {"b", "2"}};
    EXPECT_EQ(PropertiesOf(entities.At<KEP_Entity>(0)->properties), ab);
    EXPECT_EQ(PropertiesOf(entities.At<KEP_Entity>(1)->properties), ab);
    EXPECT_TRUE(PropertiesOf(entities.At<KEP_Entity>(2)->properties).empty());
    EXPECT_EQ(PropertiesOf(entities.At<KEP_Entity>(3)->properties), (PropertyList{{"a", "b"}}));
}

} // namespace
