#pragma once
// The pieces of the transcoder's console report that drive the conversion
// progress: pure functions on single lines, so they are tested with plain text.
#include <cstdint>
#include <optional>
#include <string>

namespace tl {

// The text between the first `a` in `line` and the first `b` after it, trimmed
// of blanks; empty when `b` is not found. A missing `a` counts as found at
// position 0 (counting from 1), so the text then starts at position len(a).
std::string TextBetween(const std::string& line, const std::string& a, const std::string& b);

// "h:m:s.ff" to milliseconds; missing or invalid parts count as 0. Wraps in
// signed 32-bit arithmetic like the counters it feeds.
std::int32_t ClockToMs(const std::string& clock);

// True when `line` reports a failure of the transcoder; `previous` is the line
// before it in the same chunk (empty for the first one).
bool IsErrorLine(const std::string& line, const std::string& previous);

// Values a single report line can carry. Each is empty when the line does not
// carry it, or carries "N/A" (the old value then stays).
std::optional<std::string> InputNameFromLine(const std::string& line);   // "Input #0, ... from '<name>':"
std::optional<std::int32_t> DurationMsFromLine(const std::string& line); // "  Duration: h:mm:ss.ff, ..."
std::optional<std::int32_t> PositionMsFromLine(const std::string& line); // "... time=<seconds> ..."

// File-name part of a path.
std::string FileNamePart(const std::string& path);

// Percentage part/whole × 100, rounded to the nearest integer and capped at 100.
std::int32_t PercentOf(double part, double whole);

// A duration in days shown as "h:nn:ss": hours without leading zero, only the
// part beyond whole days, a negative duration by its magnitude.
std::string FormatDuration(double days);

} // namespace tl
