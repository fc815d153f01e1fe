#pragma once
// Fills a catalogue format the way the texts expect it: %s, %d, %.2d, %0.2f,
// %% and the like, each taking the next argument. A placeholder with no
// argument left, or of the wrong kind, is written out as it stands, so a
// translated text with a mistake never crashes the program.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <variant>

namespace tl {

using FormatArg = std::variant<std::int64_t, double, std::string>;

std::string Format(const std::string& format, std::initializer_list<FormatArg> args);

} // namespace tl
