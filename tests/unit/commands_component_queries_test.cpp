// Component queries (counts, surfaces, entities, textures and retexturing) and
// property queries (flags and key/value properties).
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "command_test_maps.h"
#include "host/host_functions.h"
#include "plugin/exports.h"
#include "simhost/memblocks_images.h"

namespace {

using ComponentQueryTest = SampleMapTest;

TEST_F(ComponentQueryTest, IndexQueriesOfWhatWasNeverBuiltGiveMinusOneWithoutFailing) {
    EXPECT_EQ(KEP_PivotID(0), -1); // not a pivot
    EXPECT_EQ(KEP_GetMeshIndex(1000), 0);
    EXPECT_EQ(KEP_GetMeshIndex(0), -1); // not the surface that was never built
    EXPECT_TRUE(Succeeded());
}

TEST_F(ComponentQueryTest, TextureCreationAppendsWhereverTheCursorWasLeft) {
    host::DeleteHostString(KEP_TextureName(nullptr, 0)); // leaves the cursor on texture 0
    simhost::MakeTestImage(5, 1, 1, {0u});
    EXPECT_EQ(KEP_TextureCreate("mine", 5), 2);
    EXPECT_EQ(KEP_TextureCreate(nullptr, 5), 3); // no name: an empty one
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(KEP_TextureID(2) + KEP_Texture(0), 5 + 1010);
    char buffer[8];
    EXPECT_EQ(KEPCPP_TextureName(buffer, 2), 1);
    EXPECT_STREQ(buffer, "mine");
}

TEST_F(ComponentQueryTest, TextureMeshChecksTextureFirstAndRetexturesTheRecordedLimb) {
    simhost::SetCallLog(simhost::CallLog::kFull);
    EXPECT_EQ(KEP_TextureMesh(5, 5, 2), 0);
    EXPECT_TRUE(Failed("Invalid texture index"));
    EXPECT_EQ(KEP_TextureMesh(5, 5, 1), 0);
    EXPECT_TRUE(Failed("Invalid mesh index"));
    EXPECT_EQ(KEP_TextureMesh(0, 1, 0), 1);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(KEP_TextureMesh(0, 0, 0), 1);
    EXPECT_EQ(KEP_SurfaceTexture(0, 1), 0);
    EXPECT_EQ(simhost::CallsNamed("TextureLimb"),
              (std::vector<std::string>{"TextureLimb(1000,2,1010)", "TextureLimb(1000,0,1010)"}));
    // A surface that was never built changes its index and nothing in the host.
    simhost::ClearCalls();
    EXPECT_EQ(KEP_TextureMesh(0, 2, 1), 1);
    EXPECT_EQ(KEP_SurfaceTexture(0, 2), 1);
    EXPECT_TRUE(simhost::Calls().empty());
}

using PropertyQueryTest = SampleMapTest;

// A string command in its two forms: the script's, which hands back a host
// string and frees the previous one, and the direct call's, which writes into
// the caller's buffer (nothing at all for an empty text) and gives 1.
struct StringQuery {
    const char* what;
    char* (*hostForm)(char* previous);
    int32_t (*bufferForm)(char* buffer);
    const char* text;
};
// clang-format off
#define QUERY(host, buffer, text)                                                                  \
    StringQuery{#host, [](char* p) { return host; }, [](char* b) { return buffer; }, text}
// clang-format on
const StringQuery kStringQueries[] = {
    QUERY(KEP_TextureName(p, 0), KEPCPP_TextureName(b, 0), "brick"),
    QUERY(KEP_TextureName(p, 1), KEPCPP_TextureName(b, 1), ""),
    QUERY(KEP_Property(p, 2, 0, 0, 0), KEPCPP_Property(b, 2, 0, 0, 0), "classname"),
    QUERY(KEP_Property(p, 2, 1, 0, 1), KEPCPP_Property(b, 2, 1, 0, 1), "255 255 255"),
    QUERY(KEP_Property(p, 6, 1, 0, 0), KEPCPP_Property(b, 6, 1, 0, 0), "PIVOT"), // pivot 0
    QUERY(KEP_Property(p, 2, 1, 0, 3), KEPCPP_Property(b, 2, 1, 0, 3), ""),      // an empty value
    // By key: the first key that matches, without regard to case.
    QUERY(KEP_PropertyByKey(p, 2, 0, "colour"), KEPCPP_PropertyByKey(b, 2, 0, "colour"),
          "255 255 255"),
    QUERY(KEP_PropertyByKey(p, 0, 1, "NAME"), KEPCPP_PropertyByKey(b, 0, 1, "NAME"), "lift"),
    QUERY(KEP_PropertyByKey(p, 2, 0, "CLASSNAME"), KEPCPP_PropertyByKey(b, 2, 0, "CLASSNAME"),
          "light"),
    // Not found, no properties, an empty value or no key: empty, no failure.
    QUERY(KEP_PropertyByKey(p, 2, 0, "colou"), KEPCPP_PropertyByKey(b, 2, 0, "colou"), ""),
    QUERY(KEP_PropertyByKey(p, 2, 1, "classname"), KEPCPP_PropertyByKey(b, 2, 1, "classname"), ""),
    QUERY(KEP_PropertyByKey(p, 2, 0, "empty"), KEPCPP_PropertyByKey(b, 2, 0, "empty"), ""),
    QUERY(KEP_PropertyByKey(p, 2, 0, nullptr), KEPCPP_PropertyByKey(b, 2, 0, nullptr), ""),
};

TEST_F(PropertyQueryTest, StringQueriesGiveTheSameTextInBothForms) {
    for (const StringQuery& q : kStringQueries) {
        SCOPED_TRACE(q.what);
        const std::string text = q.text;
        char* result = q.hostForm(host::CreateHostString(8));
        EXPECT_EQ(result ? std::string(result) : "(null)", text.empty() ? "(null)" : text);
        host::DeleteHostString(result);
        EXPECT_EQ(simhost::OutstandingHostStrings(), 0u); // the previous string went too
        EXPECT_TRUE(Succeeded());

        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(q.bufferForm(buffer), 1);
        EXPECT_TRUE(Succeeded());
        const std::string written(buffer, std::find(buffer, buffer + sizeof buffer, '#'));
        EXPECT_EQ(written, text.empty() ? "" : text + '\0'); // the text and its zero only
        EXPECT_EQ(q.bufferForm(nullptr), 0);
        EXPECT_TRUE(Failed("Invalid buffer"));
    }
}

TEST_F(PropertyQueryTest, FlagsAndCountsPerComponent) {
    EXPECT_EQ(KEP_Flags(0, 1), 0x22);
    EXPECT_EQ(KEP_Flags(3, 0), 0x33);
    EXPECT_EQ(KEP_Flags(2, 0), 0); // entities have no flags: no failure
    EXPECT_EQ(KEP_PropertyCount(2, 0), 4);
    EXPECT_EQ(KEP_PropertyCount(6, 0), KEP_PropertyCount(2, 2)); // pivot 0 is entity 2
    EXPECT_EQ(KEP_PropertyCount(0, 1), 1);
    EXPECT_EQ(KEP_PropertyCount(1, 0), 0); // visgroups: not reported
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(KEP_PropertyCount(0, 3), 0); // three groups: the default one is out of reach
    EXPECT_TRUE(Failed("Invalid component index"));
}

TEST_F(PropertyQueryTest, PropertyChecksInOrderAndReleasesThePreviousString) {
    // Type, then component index, then selector, then property index.
    const int32_t failing[][4] = {{1, 9, 9, 9}, {2, 9, 6, 9}, {2, 2, 0, 9}, {2, 0, 0, 4}};
    const char* messages[] = {"Invalid component type", "Invalid component index",
                              "Invalid property type", "Invalid property index"};
    for (int i = 0; i < 4; ++i) {
        const int32_t* c = failing[i];
        char* previous = KEP_Property(nullptr, 2, 0, 0, 0);
        EXPECT_EQ(KEP_Property(previous, c[0], c[1], c[2], c[3]), nullptr);
        EXPECT_TRUE(Failed(messages[i]));
        EXPECT_EQ(simhost::OutstandingHostStrings(), 0u); // the previous string released
    }
}

} // namespace
