#include "lang/LanguageList.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "app/Utils.h"
#include "platform/IniFile.h"

namespace fs = std::filesystem;

namespace tl {

namespace {

bool HasIniSuffix(const std::string& name)
{
    constexpr std::string_view suffix = ".ini";
    if (name.size() < suffix.size())
        return false;
    const std::string_view tail(name.data() + name.size() - suffix.size(), suffix.size());
    return std::equal(tail.begin(), tail.end(), suffix.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

} // namespace

TKelMultiLanguages::TKelMultiLanguages(const std::string& folder, const std::string& nameKey,
                                       const std::string& section)
{
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec))
        return;

    std::vector<std::string> fileNames;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        std::string name = it->path().filename().string();
        if (HasIniSuffix(name))
            fileNames.push_back(std::move(name));
    }
    std::sort(fileNames.begin(), fileNames.end());

    const std::string dir = AddTrailingBackslash(folder);
    for (const auto& fileName : fileNames) {
        std::string path = dir + fileName;
        const std::string baseName = FileBaseName(path);
        std::string name = IniReadString(path, section, nameKey, baseName);
        if (name.empty())
            name = baseName;
        paths_.push_back(std::move(path));
        names_.push_back(std::move(name));
    }
}

std::string TKelMultiLanguages::Path(int i) const
{
    return InRange(i) ? paths_[static_cast<std::size_t>(i)] : std::string();
}

std::string TKelMultiLanguages::Name(int i) const
{
    return InRange(i) ? names_[static_cast<std::size_t>(i)] : std::string();
}

void TKelMultiLanguages::SetCurrentIndex(int i)
{
    if (InRange(i))
        currentIndex_ = i;
}

} // namespace tl
