// Disc size budget: play time parsing, the estimate and its rounding, the bar's
// width and colour, the warning, and the scale geometry the front end paints.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "lang/Catalogue.h"
#include "project/SizeBudget.h"
#include "support/ScriptedPrompts.h"

namespace {

using namespace tl;

TitleList ListOf(const std::vector<std::string>& playTimes)
{
    TitleList list;
    int n = 0;
    for (const std::string& t : playTimes) {
        auto item = std::make_unique<TFileItem>();
        item->Folder = "/v/";
        item->FileName = std::to_string(n++) + ".avi";
        item->PlayTime = t;
        list.Append(std::move(item));
    }
    return list;
}

TEST(SizeBudget, PlayTimeMs)
{
    struct Case {
        const char* text;
        std::int64_t ms;
    } cases[] = {
        {"01:23:45.678", 5'025'678},
        {"00:00:01.5", 1005},     // digits after the point are milliseconds as they stand
        {"00:02:00", 120'000},    // no point
        {"01:00:00.000", 3'600'000},
        {"100:00:00.000", 360'000'000},
        {"", 0},
        {"junk", 0},
        {"aa:02:03.004", 123'004},  // an unreadable part counts as 0
        {"00:xx:03.004", 3004},
        {"00:01:03.abc", 63'000},
        {"00:00:05.1.2", 5000},   // "1.2" is no integer
        {"1:2:3:4.5", 3'720'005}, // the seconds "3:4" are unreadable
        {"99999999999:00:00", 0}, // beyond 32 bits
        {"00:01", 60'000},        // hours and minutes, no seconds
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(PlayTimeMs(c.text), c.ms);
    }
}

TEST(SizeBudget, EstimateRoundsHalfToEven)
{
    struct Case {
        std::int64_t ms;
        std::int32_t quality;
        std::int64_t estimate;
    } cases[] = {
        {3'600'000, 6400, 2304},
        {5'000'000, 1, 0},      // 0.5 -> 0
        {15'000'000, 1, 2},     // 1.5 -> 2
        {25'000'000, 1, 2},     // 2.5 -> 2
        {25'000'001, 1, 3},     // just above the half
        {24'999'999, 1, 2},
        {35'000'000, 1, 4},     // 3.5 -> 4
        {0, 6400, 0},
        {-15'000'000, 1, -2},   // a negative play time rounds the same way
        // exact where a double product would not be: 9600 * 2^62 overflows 64 bits
        {std::int64_t{1} << 62, 9600, 4'427'218'577'690'292},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.ms) + " ms at " + std::to_string(c.quality));
        EXPECT_EQ(SizeEstimate(c.ms, c.quality), c.estimate);
    }
    EXPECT_DOUBLE_EQ(QualityFactor(6400), 64.0);
}

TEST(SizeBudget, BarFollowsTheEstimate)
{
    struct Case {
        const char* name;
        std::vector<std::string> titles;
        std::int32_t quality;
        std::int64_t estimate;
        int width;
        Rgb colour;
        bool warn;
    } cases[] = {
        {"one hour", {"01:00:00.000"}, 6400, 2304, 175, kBarBlue, false},
        {"110 minutes", {"01:00:00.000", "00:50:00.000"}, 6400, 4224, 321, kBarBlue, false},
        {"111 minutes", {"01:51:00.000"}, 6400, 4262, 323, kBarOrange, false},
        {"117 minutes", {"01:00:00.000", "00:57:00.000"}, 6400, 4493, 341, kBarRed, true},
        {"first orange value", {"00:00:42.500"}, 1'000'000, 4250, 323, kBarOrange, false},
        {"last orange value", {"00:00:44.820"}, 1'000'000, 4482, 340, kBarOrange, false},
        {"first red value", {"00:00:44.830"}, 1'000'000, 4483, 340, kBarRed, true},
        {"6000 clamps to the full bar", {"00:01:00.000"}, 1'000'000, 6000, 380, kBarRed, true},
        {"zero length titles", {"00:00:00.000", "junk"}, 6400, 0, 1, kBarBlue, false},
        {"tiny estimate", {"00:00:10.000"}, 6400, 6, 1, kBarBlue, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TitleList list = ListOf(c.titles);
        SizeBarState s = ComputeSizeBar(list, c.quality);
        EXPECT_EQ(s.estimate, c.estimate);
        EXPECT_EQ(s.width, c.width);
        EXPECT_EQ(s.endColour, c.colour);
        EXPECT_EQ(s.warn, c.warn);
    }
}

TEST(SizeBudget, EmptyListHasNoBar)
{
    TitleList list;
    test::ScriptedPrompts prompts;
    SizeBarState s = UpdateSizeBar(list, 6400, prompts);
    EXPECT_EQ(s.width, 0);
    EXPECT_FALSE(s.warn);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST(SizeBudget, WarningAtEveryRecomputationWhileTooBig)
{
    ResetCatalogue();
    TitleList list = ListOf({"02:00:00.000"});
    test::ScriptedPrompts prompts;
    UpdateSizeBar(list, 6400, prompts);
    UpdateSizeBar(list, 6400, prompts);
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[0].text, "Note: Burning file is much more than DVD-5 disc.");
    EXPECT_EQ(prompts.shown[0].caption, "Warning");
    EXPECT_EQ(prompts.shown[0].kind, MsgKind::Warning);
    EXPECT_EQ(prompts.shown[0].buttons, MsgButtons::Ok);
    // A lower bit rate brings it under the limit: no box.
    UpdateSizeBar(list, 3000, prompts);
    EXPECT_EQ(prompts.shown.size(), 2u);
}

TEST(SizeBudget, ScaleGeometry)
{
    ResetCatalogue();
    SizeScale scale = SizeScaleGeometry();
    ASSERT_EQ(scale.ticks.size(), 22u);
    for (int i = 0; i < 22; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(scale.ticks[i].x, 10 + 19 * i);
        EXPECT_EQ(scale.ticks[i].y0, 0);
        EXPECT_EQ(scale.ticks[i].y1, i % 4 == 0 ? 20 : 8);
    }
    // A scale step of 19 pixels is 250 units, the same ratio the bar uses.
    EXPECT_EQ(scale.ticks[20].x - scale.ticks[0].x, SizeBarForEstimate(5000).width);

    const std::vector<std::pair<std::string, int>> labels = {
        {"0MB", 12}, {"1000MB", 86}, {"2000MB", 162}, {"3000MB", 238}, {"4000MB", 314}, {"5000MB", 390}};
    ASSERT_EQ(scale.labels.size(), labels.size());
    for (std::size_t i = 0; i < labels.size(); ++i) {
        EXPECT_EQ(scale.labels[i].text, labels[i].first);
        EXPECT_EQ(scale.labels[i].centreX, labels[i].second);
        EXPECT_EQ(scale.labels[i].top, 20);
    }
    EXPECT_EQ(scale.markers[0].x, 348);
    EXPECT_EQ(scale.markers[0].colour, kBarRed);
    EXPECT_EQ(scale.markers[1].x, 333);
    EXPECT_EQ(scale.markers[1].colour, kMarkerYellow);
    for (const ScaleMarker& m : scale.markers) {
        EXPECT_EQ(m.y0, 0);
        EXPECT_EQ(m.y1, 20);
        EXPECT_EQ(m.penWidth, 3);
    }
    EXPECT_EQ(scale.ink, (Rgb{68, 68, 62}));
    EXPECT_STREQ(scale.fontName, "Tahoma");
    EXPECT_EQ(scale.fontPoints, 8);
}

TEST(SizeBudget, ScaleLabelsFollowTheLanguage)
{
    ResetCatalogue();
    SetCatalogueText(CatalogueIndex("STR_MB"), "Mo");
    SizeScale scale = SizeScaleGeometry();
    ResetCatalogue();
    ASSERT_FALSE(scale.labels.empty());
    EXPECT_EQ(scale.labels.back().text, "5000Mo");
}

} // namespace
