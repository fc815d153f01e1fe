#include "lang/LanguageFile.h"

#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

#include "app/Globals.h"
#include "app/Utils.h"
#include "lang/Catalogue.h"
#include "platform/IniFile.h"

namespace tl {

namespace {

constexpr std::string_view kEscapedBreak = "#13";
// The value that marks the end of the numbered extension keys.
constexpr const char* kNoExtension = "<None>";

} // namespace

std::string EscapeLineBreaks(const std::string& text)
{
    const std::string trimmed = Trim(text);
    std::string result;
    result.reserve(trimmed.size());
    for (std::size_t i = 0; i < trimmed.size(); ++i) {
        const char c = trimmed[i];
        if (c == '\r' || c == '\n') {
            // a CR LF pair is one break; any other CR or LF is a break of its own
            if (c == '\r' && i + 1 < trimmed.size() && trimmed[i + 1] == '\n')
                ++i;
            result += kEscapedBreak;
        } else {
            result += c;
        }
    }
    return result;
}

std::string UnescapeLineBreaks(const std::string& text)
{
    const std::string trimmed = Trim(text);
    std::string result;
    result.reserve(trimmed.size());
    std::size_t pos = 0;
    while (pos < trimmed.size()) {
        const auto found = trimmed.find(kEscapedBreak, pos);
        if (found == std::string::npos) {
            result.append(trimmed, pos, std::string::npos);
            break;
        }
        result.append(trimmed, pos, found - pos);
        result += "\r\n";
        pos = found + kEscapedBreak.size();
    }
    return result;
}

void LoadLanguage(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        WriteLanguageFile(path);

    const IniDocument doc(path);
    for (std::size_t i = 0; i < kCatalogueSize; ++i) {
        const std::string value = doc.ReadString(kLanguageSection, CatalogueEntryAt(i).key, CatalogueText(i));
        SetCatalogueText(i, UnescapeLineBreaks(value));
    }

    AviSynthExtList.clear();
    for (long long n = 1;; ++n) {
        std::string extension = doc.ReadString(kAviSynthExtSection, std::to_string(n), kNoExtension);
        if (extension == kNoExtension)
            break;
        AviSynthExtList.push_back(std::move(extension));
    }

    OpenFilterList = doc.ReadSectionLines(kFiltersSection);
}

void WriteLanguageFile(const std::string& path)
{
    IniDocument doc(path);
    doc.WriteString(kLanguageSection, kLanguageNameKey, EscapeLineBreaks(FileBaseName(path)));
    for (std::size_t i = 0; i < kCatalogueSize; ++i)
        doc.WriteString(kLanguageSection, CatalogueEntryAt(i).key, EscapeLineBreaks(CatalogueText(i)));
    doc.Save();
}

} // namespace tl
