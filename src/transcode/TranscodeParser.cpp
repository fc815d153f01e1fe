#include "transcode/TranscodeParser.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace tl {

namespace {

// Blanks as the transcoder's report means them: every control character and the space.
std::string TrimBlanks(const std::string& text)
{
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ')
        --e;
    return text.substr(b, e - b);
}

bool Contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

std::optional<std::int64_t> ParseInteger(const std::string& text)
{
    std::int64_t value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || text.empty())
        return std::nullopt;
    return value;
}

// A decimal number with "." as separator, whatever the process locale says.
std::optional<double> ParseDecimal(const std::string& text)
{
    double value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    auto [end, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
    if (ec != std::errc() || end != last || text.empty() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Rounds to the nearest integer; values beyond 64 bits (absurd input) give nothing.
std::optional<std::int64_t> RoundToInt64(double value)
{
    if (!std::isfinite(value) || std::fabs(value) >= 9.0e18)
        return std::nullopt;
    return static_cast<std::int64_t>(std::llround(value));
}

} // namespace

std::string TextBetween(const std::string& line, const std::string& a, const std::string& b)
{
    // Positions below count from 1, as the report rules are written.
    const std::size_t found = line.find(a);
    const std::size_t s = (found == std::string::npos ? 0 : found + 1) + a.size();
    if (b.empty() || s > line.size())
        return {};
    // The first B in the part of the line that starts one character after s.
    const std::size_t at = line.find(b, s);
    if (at == std::string::npos)
        return {};
    const std::size_t q = at - s + 1;
    return TrimBlanks(line.substr(s - 1, q));
}

std::int32_t ClockToMs(const std::string& clock)
{
    std::string parts[3];
    std::size_t index = 0;
    for (char c : clock) {
        if (c == ':') {
            ++index;
            if (index >= 3)
                break;
        } else {
            parts[index] += c;
        }
    }
    // A part beyond the third is ignored; a missing or bad part counts as 0.
    const std::int64_t h = ParseInteger(parts[0]).value_or(0);
    const std::int64_t m = ParseInteger(parts[1]).value_or(0);
    std::int64_t ms = 0;
    if (auto s = ParseDecimal(parts[2]))
        ms = RoundToInt64(*s * 1000.0).value_or(0);
    // Signed 32-bit arithmetic: wrap like the counters this value goes into.
    const auto wrapped = static_cast<std::uint32_t>(h) * 3600000u + static_cast<std::uint32_t>(m) * 60000u +
                         static_cast<std::uint32_t>(ms);
    return static_cast<std::int32_t>(wrapped);
}

bool IsErrorLine(const std::string& line, const std::string& previous)
{
    if (Contains(line, "No audio or video streams available"))
        return true;
    if (Contains(line, "I/O error occured"))
        return true;
    if (Contains(line, "Could not open"))
        return true;
    if (StartsWith(line, "Error") && !StartsWith(line, "Error while decoding stream"))
        return true;
    // The first message after the stream-mapping lines, unless it is progress
    // or a bracketed codec note.
    const bool afterMapping = Contains(previous, "Stream") && Contains(previous, "->");
    const bool codecNote = StartsWith(line, "[") && Contains(line, "@");
    return afterMapping && !Contains(line, "Stream") && !Contains(line, "size=") && !codecNote;
}

std::optional<std::string> InputNameFromLine(const std::string& line)
{
    if (!Contains(line, "Input #0, "))
        return std::nullopt;
    std::string name = TextBetween(line, "from '", "':");
    if (name == "N/A")
        return std::nullopt;
    return name;
}

std::optional<std::int32_t> DurationMsFromLine(const std::string& line)
{
    if (!StartsWith(line, "  Duration: "))
        return std::nullopt;
    // From the blank after "Duration:" up to the first comma; no comma gives an empty value.
    const std::size_t comma = line.find(',');
    std::string value;
    if (comma != std::string::npos && comma > 11)
        value = TrimBlanks(line.substr(11, comma - 11));
    if (value == "N/A")
        return std::nullopt;
    return ClockToMs(value);
}

std::optional<std::int32_t> PositionMsFromLine(const std::string& line)
{
    if (!Contains(line, " time="))
        return std::nullopt;
    const std::string value = TextBetween(line, " time=", " ");
    if (value == "N/A")
        return std::nullopt;
    // The transcoder's "no position yet" value.
    if (value == "10000000000.0")
        return 0;
    // A value that is not a number leaves the position as it was instead of
    // failing the whole report.
    const auto seconds = ParseDecimal(value);
    if (!seconds)
        return std::nullopt;
    const auto ms = RoundToInt64(*seconds * 1000.0);
    if (!ms || *ms > std::numeric_limits<std::int32_t>::max() || *ms < std::numeric_limits<std::int32_t>::min())
        return 0;  // out of range: as good as no position
    return static_cast<std::int32_t>(*ms);
}

std::string FileNamePart(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::int32_t PercentOf(double part, double whole)
{
    const double value = part / whole * 100.0;
    if (!std::isfinite(value))
        return 0;
    if (value > 100.0)
        return 100;
    return static_cast<std::int32_t>(std::llround(value));
}

std::string FormatDuration(double days)
{
    constexpr std::int64_t kMsPerDay = 86400000;
    std::int64_t ms = 0;
    if (auto total = RoundToInt64(std::fabs(days) * static_cast<double>(kMsPerDay)))
        ms = *total % kMsPerDay;
    const auto h = ms / 3600000;
    const auto n = ms / 60000 % 60;
    const auto s = ms / 1000 % 60;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(h), static_cast<long long>(n),
                  static_cast<long long>(s));
    return text;
}

} // namespace tl
