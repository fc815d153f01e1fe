#pragma once
// Language files: INI files whose section "Tessaline" holds the display name
// and one line per catalogue text, plus the open-dialog filters and the
// extensions that always go through the AviSynth script.
#include <string>

namespace tl {

inline constexpr const char* kLanguageSection = "Tessaline";
inline constexpr const char* kLanguageNameKey = "LanguageName";
inline constexpr const char* kAviSynthExtSection = "TLAPP_AVSExt";
inline constexpr const char* kFiltersSection = "TLAPP_Filters";

// Blank-trims the text and writes every line break (CR LF, lone LF, lone CR) as "#13",
// so a text fits on one INI line.
std::string EscapeLineBreaks(const std::string& text);
// Blank-trims the text and turns every "#13" into CR LF.
std::string UnescapeLineBreaks(const std::string& text);

// Fills the catalogue, AviSynthExtList and OpenFilterList from a language file.
// A missing file is first created from the current texts; keys missing from the
// file keep their current text. Throws tl::Error when the file cannot be created.
void LoadLanguage(const std::string& path);

// Writes LanguageName (the file's base name) and every catalogue text to the file,
// keeping every other section and key as it is. Throws tl::Error
// ("Unable to write to <file>") on failure.
void WriteLanguageFile(const std::string& path);

} // namespace tl
