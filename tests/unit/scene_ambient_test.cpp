// The ambient pass over lightmap images: the per-channel pixel rule, which
// loads run it, the host calls it costs and the image numbers it keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "map/kep_import.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "scene_helpers.h"
#include "simhost/memblocks_images.h"

namespace {

using namespace scene_test;

class AmbientPassTest : public SceneTest {};

kepw::Map LightmapsOnly(std::vector<kepw::Lightmap> lightmaps) {
    kepw::Map map;
    map.lightmaps = std::move(lightmaps);
    return map;
}

kepw::Lightmap Pixels(int32_t width, int32_t height, std::vector<uint32_t> pixels) {
    return {width, height, std::move(pixels)};
}

std::vector<uint32_t> ImagePixels(int image) {
    simhost::ImageContent content;
    EXPECT_TRUE(simhost::ReadImage(image, &content)) << "no image " << image;
    return content.pixels;
}

int32_t LightmapImage(int32_t index) {
    const KEP_Lightmap* lightmap = CurrentMap()->lightmaps.At<KEP_Lightmap>(index);
    return lightmap ? lightmap->image : -1;
}

// Calls of the pass: everything from its first CreateMemblockFromImage on
// (the maps here have no meshes, so the build adds nothing after it).
std::vector<std::string> CallsFromFirstImageCopy() {
    std::vector<std::string> texts = AllCallTexts();
    const auto first = std::find_if(texts.begin(), texts.end(), [](const std::string& t) {
        return t.rfind("CreateMemblockFromImage(", 0) == 0;
    });
    return std::vector<std::string>(first, texts.end());
}

struct PixelCase {
    uint32_t ambient;
    uint32_t pixel;
    uint32_t expected;
};

TEST_F(AmbientPassTest, EachChannelGainsTheAmbientCappedAt255AndTheTopByteEndsZero) {
    const PixelCase cases[] = {
        {0x00102030u, 0xff804020u, 0x00906050u}, // plain sums, top byte 255 cleared
        {0x00200000u, 0x80f00010u, 0x00ff0010u}, // red 272 becomes 255
        {0x00000000u, 0xab123456u, 0x00123456u}, // ambient 0 only clears the top byte
        {0x000000ffu, 0x00000001u, 0x000000ffu}, // blue caps, nothing carries into green
        {0x0000ff00u, 0x0001ff00u, 0x0001ff00u}, // green caps, nothing carries into red
        {0x00ff0000u, 0x00ff0000u, 0x00ff0000u}, // red caps, nothing reaches the top byte
        {0x00ffffffu, 0xffffffffu, 0x00ffffffu},
        {0xff010101u, 0x00000000u, 0x00010101u}, // the ambient's own top byte adds nothing
        {0x00050607u, 0x7ffafbfcu, 0x00ffffffu},
    };
    for (const PixelCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << std::hex << "ambient 0x" << c.ambient << " pixel 0x" << c.pixel);
        ResetPluginAndHost();
        KEP_SetAmbient(static_cast<int32_t>(c.ambient));
        // The pixel stands between two others so a neighbour mix-up shows.
        ASSERT_EQ(LoadFile(LightmapsOnly({Pixels(3, 1, {0u, c.pixel, 0x01020304u})}), 2), 1)
            << LastErrorText();
        const uint32_t side = 0x01020304u;
        const uint32_t sideExpected =
            std::min(((side >> 16) & 0xffu) + ((c.ambient >> 16) & 0xffu), 255u) << 16 |
            std::min(((side >> 8) & 0xffu) + ((c.ambient >> 8) & 0xffu), 255u) << 8 |
            std::min((side & 0xffu) + (c.ambient & 0xffu), 255u);
        EXPECT_EQ(ImagePixels(LightmapImage(0)),
                  (std::vector<uint32_t>{c.ambient & 0x00ffffffu, c.expected, sideExpected}));
    }
}

TEST_F(AmbientPassTest, AmbientPropertyOfTheMapIsAddedToEveryPixelOfEveryLightmap) {
    KEP_SetAmbient(0x00404040); // replaced by the map's own AMBIENT before the pass
    kepw::Map map =
        LightmapsOnly({Pixels(2, 2, {0xff804020u, 0x00000000u, 0x01010101u, 0xfff0f0f0u}),
                       Pixels(1, 3, {0x10203040u, 0x00fefefeu, 0x80000000u})});
    kepw::Entity world;
    world.properties = "classname=worldspawn\nAMBIENT=16 32 48";
    map.entities = {world};
    ASSERT_EQ(LoadFile(map, 2), 1) << LastErrorText();
    EXPECT_EQ(ImagePixels(LightmapImage(0)),
              (std::vector<uint32_t>{0x00906050u, 0x00102030u, 0x00112131u, 0x00ffffffu}));
    EXPECT_EQ(ImagePixels(LightmapImage(1)),
              (std::vector<uint32_t>{0x00305070u, 0x00ffffffu, 0x00102030u}));
}

TEST_F(AmbientPassTest, MapMadeFromAMemblockKeepsItsPixelsExactly) {
    KEP_SetAmbient(0x00102030);
    const std::vector<uint32_t> pixels = {0xff804020u, 0x80f00010u, 0x00000000u, 0xffffffffu};
    ASSERT_EQ(LoadMemblock(LightmapsOnly({Pixels(2, 2, pixels)}), 2), 1) << LastErrorText();
    EXPECT_EQ(ImagePixels(LightmapImage(0)), pixels);
    EXPECT_TRUE(simhost::CallsNamed("CreateMemblockFromImage").empty());
    EXPECT_TRUE(simhost::CallsNamed("DeleteEx").empty());
}

TEST_F(AmbientPassTest, EveryLightmapCostsTheSameFewCallsWhateverItsSize) {
    KEP_SetAmbient(0x00010101);
    kepw::Map map =
        LightmapsOnly({kepw::PatternLightmap(1, 1, 1), kepw::PatternLightmap(64, 48, 2)});
    ASSERT_EQ(LoadFile(map, 2), 1) << LastErrorText();
    ASSERT_EQ(LightmapImage(0), 1000);
    ASSERT_EQ(LightmapImage(1), 1001);

    // The size query guards the pixel loop; the rest is one copy out, the
    // image made again under its own number, and the scratch memblock gone.
    // No pixel goes through a host write call.
    std::vector<std::string> expected;
    for (int image : {1000, 1001}) {
        expected.push_back(CallText("CreateMemblockFromImage", {31, double(image)}));
        expected.push_back(CallText("GetMemblockPtr", {31}));
        expected.push_back(CallText("GetMemblockSize", {31}));
        expected.push_back(CallText("DeleteEx", {double(image)}));
        expected.push_back(CallText("CreateImageFromMemblock", {double(image), 31}));
        expected.push_back(CallText("DeleteMemblock", {31}));
    }
    std::vector<std::string> pass = CallsFromFirstImageCopy();
    // The two queries may come in either order before the pixels are touched.
    for (std::size_t at = 0; at + 2 < pass.size(); at += 6)
        if (pass[at + 1].rfind("GetMemblockSize", 0) == 0) std::swap(pass[at + 1], pass[at + 2]);
    EXPECT_EQ(pass, expected);
    EXPECT_TRUE(simhost::MemblockNumbers().empty());
    EXPECT_EQ(simhost::ImageNumbers(), (std::vector<int>{1000, 1001}));
}

TEST_F(AmbientPassTest, MapWithoutLightmapsMakesNoHostCallAtAll) {
    KEP_SetAmbient(0x00ffffff);
    kepw::Map map;
    map.groups = {kepw::Group{}};
    map.entities = {Pivot(1, 1, 2, 3)};
    ASSERT_EQ(LoadFile(map, 2), 1) << LastErrorText();
    EXPECT_EQ(AllCallTexts(), std::vector<std::string>());
}

TEST_F(AmbientPassTest, ImageNumbersStayTheReadersAndOtherImagesAreLeftAlone) {
    // Images 1000..1002 belong to the script: the lightmaps get 1003 and 1004.
    for (int image = 1000; image <= 1002; ++image)
        simhost::MakeTestImage(image, 1, 1, {0xff000000u + static_cast<uint32_t>(image)});
    KEP_SetAmbient(0x00101010);

    kepw::Map map = LightmapsOnly({Pixels(1, 1, {0x00200020u}), Pixels(1, 1, {0x00300030u})});
    kepw::Mesh mesh;
    mesh.surfaces = {OneTriangle("wall.bmp", 1, 0, 0, 0, 1),
                     OneTriangle("wall.bmp", 2, 0, 0, 0, 4)};
    map.meshes = {mesh};
    ASSERT_EQ(LoadFile(map, 2), 1) << LastErrorText();

    EXPECT_EQ(LightmapImage(0), 1003);
    EXPECT_EQ(LightmapImage(1), 1004);
    EXPECT_EQ(simhost::CallsNamed("CreateMemblockFromImage"),
              (std::vector<std::string>{CallText("CreateMemblockFromImage", {31, 1003}),
                                        CallText("CreateMemblockFromImage", {31, 1004})}));
    for (int image = 1000; image <= 1002; ++image)
        EXPECT_EQ(ImagePixels(image),
                  std::vector<uint32_t>{0xff000000u + static_cast<uint32_t>(image)});
    EXPECT_EQ(ImagePixels(1003), std::vector<uint32_t>{0x00301030u});
    EXPECT_EQ(ImagePixels(1004), std::vector<uint32_t>{0x00401040u});

    // The build binds the very images the reader made (and the pass re-made).
    const simhost::ObjectState object = ObjectOf(1000);
    ASSERT_EQ(object.limbs.size(), 2u);
    EXPECT_EQ(object.limbs[0].stage1Image, 1003);
    EXPECT_EQ(object.limbs[1].stage1Image, 1004);
}

TEST_F(AmbientPassTest, LightmapWithoutAnImageIsPassedOver) {
    KEP_SetAmbient(0x00010203);
    ASSERT_EQ(LoadFile(LightmapsOnly({Pixels(0, 5, {}), Pixels(1, 1, {0x00000000u})}), 2), 1)
        << LastErrorText();
    EXPECT_EQ(LightmapImage(0), 0);
    EXPECT_EQ(simhost::CallsNamed("CreateMemblockFromImage"),
              std::vector<std::string>{
                  CallText("CreateMemblockFromImage", {31, double(LightmapImage(1))})});
    EXPECT_EQ(ImagePixels(LightmapImage(1)), std::vector<uint32_t>{0x00010203u});
}

TEST_F(AmbientPassTest, ImageSmallerThanItsLightmapIsLeftUntouched) {
    // A map from a memblock has had no pass yet; its image is then replaced
    // by a smaller one, as a script may do, and the pass is run over it.
    ASSERT_EQ(LoadMemblock(LightmapsOnly({kepw::PatternLightmap(16, 16, 3)}), 2), 1)
        << LastErrorText();
    const int image = LightmapImage(0);
    simhost::MakeTestImage(image, 2, 1, {0xff102030u, 0xff405060u});
    g_plugin.ambientColour = 0x00101010;
    simhost::ClearCalls();

    KEP_ApplyAmbient();

    EXPECT_EQ(ImagePixels(image), (std::vector<uint32_t>{0xff102030u, 0xff405060u}));
    EXPECT_TRUE(simhost::CallsNamed("CreateImageFromMemblock").empty());
    EXPECT_EQ(simhost::CallsNamed("DeleteMemblock"),
              std::vector<std::string>{CallText("DeleteMemblock", {31})});
    EXPECT_EQ(simhost::MemblockNumbers(), std::vector<int>{kMapMemblock});
}

} // namespace
