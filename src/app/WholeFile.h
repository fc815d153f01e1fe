#pragma once
// Files read and written in one go, as the tools' texts are. Every failure
// (open, read, write, close: a full disk often shows only at the close)
// raises tl::Error naming the file and the system's reason.
#include <string>

namespace tl {

std::string ReadWholeFile(const std::string& path);
// Writes the bytes as they are, replacing an existing file.
void WriteWholeFile(const std::string& path, const std::string& bytes);

} // namespace tl
