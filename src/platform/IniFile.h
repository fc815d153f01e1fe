#pragma once
// Profile INI files with the semantics of the Windows profile routines:
// sections and keys are found without regard to letter case, values are
// trimmed of surrounding blanks, a read value is at most 2047 characters, and a
// write replaces or adds one key while keeping every other byte of the file
// (comments, blank lines, other sections, line ends) unchanged.
// A failed write raises tl::Error("Unable to write to <file>").
#include <string>
#include <vector>

namespace tl {

inline constexpr std::size_t kIniMaxValueLength = 2047;

std::string IniReadString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& defaultValue);
// Integer value (decimal; leading sign allowed); the default when missing or not a number.
long long IniReadInteger(const std::string& file, const std::string& section, const std::string& key,
                         long long defaultValue);
// Booleans are stored as integers: non-zero is true.
bool IniReadBool(const std::string& file, const std::string& section, const std::string& key, bool defaultValue);
// The lines key=value of a section, in file order (comment and blank lines skipped).
std::vector<std::string> IniReadSectionLines(const std::string& file, const std::string& section);

void IniWriteString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value);
void IniWriteInteger(const std::string& file, const std::string& section, const std::string& key, long long value);
void IniWriteBool(const std::string& file, const std::string& section, const std::string& key, bool value);

// The same operations on a file held in memory, for writing many keys in one go
// (the language file). Save() writes the file once; same error on failure.
class IniDocument {
public:
    // Loads the file; a missing or unreadable file gives an empty document.
    explicit IniDocument(std::string file);
    std::string ReadString(const std::string& section, const std::string& key, const std::string& defaultValue) const;
    std::vector<std::string> ReadSectionLines(const std::string& section) const;
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void Save() const;
    const std::string& FileName() const { return file_; }

private:
    std::string file_;
    std::string text_;  // the file's bytes
};

} // namespace tl
