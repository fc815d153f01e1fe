#pragma once
// The disc size budget: the estimated disc use of the title list at the chosen
// bit rate, the size bar that shows it, and the scale drawn under the bar. The
// front end paints what is computed here; all coordinates are those of the
// scale image (421 x 33 pixels).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/UserPrompts.h"
#include "project/TitleList.h"

namespace tl {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kScaleInk{68, 68, 62};        // scale text, ticks, bar border
inline constexpr Rgb kBarBlue{35, 126, 216};       // estimate below kOrangeFrom
inline constexpr Rgb kBarOrange{255, 128, 0};      // kOrangeFrom .. kRedFrom - 1
inline constexpr Rgb kBarRed{218, 17, 5};          // kRedFrom and above; first marker
inline constexpr Rgb kMarkerYellow{247, 200, 10};  // second marker

inline constexpr std::int64_t kOrangeFrom = 4250;
inline constexpr std::int64_t kRedFrom = 4483;
inline constexpr std::int64_t kScaleMax = 5000;   // units at the full bar
inline constexpr int kFullBarWidth = 380;         // pixels for kScaleMax units

// Panel geometry (pnlSizebar, imgSizeBar, prgSize).
inline constexpr int kSizePanelWidth = 438, kSizePanelHeight = 42;
inline constexpr int kScaleImageLeft = 4, kScaleImageTop = 6;
inline constexpr int kScaleImageWidth = 421, kScaleImageHeight = 33;
inline constexpr int kBarLeft = 14, kBarTop = 10, kBarHeight = 16;

// Milliseconds of a PlayTime text "HH:MM:SS.mmm". The digits after the point
// are taken as milliseconds as they stand ("1.5" gives 5 ms); an unreadable
// part counts as 0.
std::int64_t PlayTimeMs(const std::string& playTime);

// Quality / 100.
double QualityFactor(std::int32_t quality);

// quality * totalMs / 10 000 000, rounded to the nearest integer with a half
// going to the even neighbour, computed exactly in integers.
std::int64_t SizeEstimate(std::int64_t totalMs, std::int32_t quality);

struct SizeBarState {
    int width = 0;            // width of the bar in pixels
    Rgb endColour = kBarBlue; // gradient end colour
    bool warn = false;        // the disc-too-small warning is due
    std::int64_t estimate = 0;
};

// The bar for one estimate (a non-empty list).
SizeBarState SizeBarForEstimate(std::int64_t estimate);
// The bar for the title list: width 0 and no warning when it is empty.
SizeBarState ComputeSizeBar(const TitleList& list, std::int32_t quality);
// ComputeSizeBar, and the warning box when it is due.
SizeBarState UpdateSizeBar(const TitleList& list, std::int32_t quality, UserPrompts& prompts);

// The scale, as data: ticks and markers are drawn only "with lines"; labels
// are drawn both times (over the existing image, without erasing).
struct ScaleTick {
    int x;
    int y0;
    int y1;
};
struct ScaleLabel {
    std::string text;
    int centreX;
    int top;
};
struct ScaleMarker {
    int x;
    int y0;
    int y1;
    int penWidth;
    Rgb colour;
};
struct SizeScale {
    const char* fontName = "Tahoma";
    int fontPoints = 8;
    Rgb ink = kScaleInk;
    std::vector<ScaleTick> ticks;
    std::vector<ScaleLabel> labels;
    std::array<ScaleMarker, 2> markers{};  // drawn in this order
};

// Labels use the catalogue's unit text STR_MB.
SizeScale SizeScaleGeometry();

} // namespace tl
