#include "project/SizeBudget.h"

#include <charconv>
#include <limits>

#include "lang/Catalogue.h"

namespace tl {

namespace {

__extension__ typedef __int128 Int128;

constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();

// A decimal integer that fits 32 bits, with an optional sign; anything else is 0.
std::int64_t PartValue(const std::string& text)
{
    std::size_t start = (!text.empty() && text[0] == '+') ? 1 : 0;
    if (start == text.size())
        return 0;
    std::int32_t value = 0;
    const char* first = text.data() + start;
    const char* last = text.data() + text.size();
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last)
        return 0;
    return value;
}

std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b)
{
    Int128 sum = static_cast<Int128>(a) + b;
    if (sum > kInt64Max)
        return kInt64Max;
    if (sum < kInt64Min)
        return kInt64Min;
    return static_cast<std::int64_t>(sum);
}

} // namespace

std::int64_t PlayTimeMs(const std::string& playTime)
{
    std::size_t dot = playTime.find('.');
    std::string left = playTime.substr(0, dot);
    std::string right = dot == std::string::npos ? std::string() : playTime.substr(dot + 1);

    // Hours and minutes are the first two fields; the rest is the seconds
    // (a fourth field makes the seconds unreadable, hence 0).
    std::string parts[3];
    std::size_t pos = 0;
    for (int i = 0; i < 2 && pos != std::string::npos; ++i) {
        std::size_t colon = left.find(':', pos);
        parts[i] = left.substr(pos, colon == std::string::npos ? std::string::npos : colon - pos);
        pos = colon == std::string::npos ? std::string::npos : colon + 1;
    }
    if (pos != std::string::npos)
        parts[2] = left.substr(pos);

    return PartValue(parts[0]) * 3'600'000 + PartValue(parts[1]) * 60'000 + PartValue(parts[2]) * 1000 +
           PartValue(right);
}

double QualityFactor(std::int32_t quality)
{
    return quality / 100.0;
}

std::int64_t SizeEstimate(std::int64_t totalMs, std::int32_t quality)
{
    const Int128 den = 10'000'000;
    const Int128 num = static_cast<Int128>(quality) * totalMs;
    Int128 quotient = num / den;   // truncated toward zero
    Int128 rest = num % den;       // same sign as num
    if (rest < 0)
        rest = -rest;
    if (rest * 2 > den || (rest * 2 == den && quotient % 2 != 0))
        quotient += num < 0 ? -1 : 1;
    if (quotient > kInt64Max)
        return kInt64Max;
    if (quotient < kInt64Min)
        return kInt64Min;
    return static_cast<std::int64_t>(quotient);
}

SizeBarState SizeBarForEstimate(std::int64_t estimate)
{
    SizeBarState state;
    state.estimate = estimate;
    if (estimate < kOrangeFrom) {
        state.endColour = kBarBlue;
    } else if (estimate < kRedFrom) {
        state.endColour = kBarOrange;
    } else {
        state.endColour = kBarRed;
        state.warn = true;
    }
    std::int64_t shown = estimate > kScaleMax ? kScaleMax : estimate;
    // 0.076 pixels per unit, the fraction cut off: 19 pixels per 250 units.
    std::int64_t width = shown * 19 / 250;
    state.width = width < 1 ? 1 : static_cast<int>(width);
    return state;
}

SizeBarState ComputeSizeBar(const TitleList& list, std::int32_t quality)
{
    if (list.Empty())
        return SizeBarState{};
    std::int64_t total = 0;
    for (std::size_t row = 0; row < list.Count(); ++row)
        total = SaturatingAdd(total, PlayTimeMs(list.Item(row).PlayTime));
    return SizeBarForEstimate(SizeEstimate(total, quality));
}

SizeBarState UpdateSizeBar(const TitleList& list, std::int32_t quality, UserPrompts& prompts)
{
    SizeBarState state = ComputeSizeBar(list, quality);
    if (state.warn)
        prompts.Message(Text("IDS_main_MSG_NotEnoughSpace"), Text("IDS_main_MSG_Warning"), MsgKind::Warning,
                        MsgButtons::Ok);
    return state;
}

SizeScale SizeScaleGeometry()
{
    SizeScale scale;
    const std::string unit = Text("STR_MB");
    for (int i = 0; i <= 21; ++i) {
        int x = 10 + 19 * i;
        if (i % 4 != 0) {
            scale.ticks.push_back({x, 0, 8});
            continue;
        }
        scale.ticks.push_back({x, 0, 20});
        // The "0" label would be cut at the image's left edge if centred on its tick.
        scale.labels.push_back({std::to_string(i * 250) + unit, i == 0 ? 12 : x, 20});
    }
    scale.markers = {ScaleMarker{348, 0, 20, 3, kBarRed}, ScaleMarker{333, 0, 20, 3, kMarkerYellow}};
    return scale;
}

} // namespace tl
