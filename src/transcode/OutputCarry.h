#pragma once
// Output line assembly shared by the tool-output parsers: chunks in, whole
// lines out, the unfinished last line kept in the carry for the next chunk.
#include <cstddef>
#include <functional>
#include <string>

namespace tl {

void AssembleOutputLines(std::string& carry, const char* bytes, std::size_t count, bool processEnded,
                         const std::function<void(const std::string& line)>& onLine);

} // namespace tl
