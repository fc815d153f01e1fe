#include "lang/LanguageSwitch.h"

#include <exception>
#include <filesystem>

#include "app/Globals.h"
#include "app/Utils.h"
#include "lang/LanguageFile.h"
#include "platform/IniFile.h"

namespace tl {

namespace {

bool EqualsNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

TKelMultiLanguages MakeLanguageList()
{
    return TKelMultiLanguages(LangsDir, kLanguageNameKey, kLanguageSection);
}

std::vector<LanguageMenuItem> BuildLanguageMenuItems(TKelMultiLanguages& languages)
{
    std::vector<LanguageMenuItem> items;
    for (int i = 0; i < languages.Count(); ++i) {
        LanguageMenuItem item{languages.Name(i), false};
        if (EqualsNoCase(languages.Path(i), LanguageFilePath)) {
            item.checked = true;
            languages.SetCurrentIndex(i);
        }
        items.push_back(std::move(item));
    }
    return items;
}

void SwitchLanguage(TKelMultiLanguages& languages, const std::string& clickedCaption,
                    const std::function<void()>& applyTexts)
{
    for (int i = 0; i < languages.Count(); ++i)
        if (EqualsNoCase(languages.Name(i), clickedCaption))
            languages.SetCurrentIndex(i);

    if (languages.Count() > 0)
        LanguageFilePath = languages.Path(languages.CurrentIndex());

    // A failed config.ini write must not leave LanguageFilePath pointing at the
    // new file while the old texts stay loaded: at exit those texts would be
    // written into the new language file. So the switch is finished first.
    std::exception_ptr configError;
    try {
        IniWriteString(ConfigIniPath, "VideoAPP_Form", "LanguageFile",
                       std::filesystem::path(LanguageFilePath).filename().string());
    } catch (...) {
        configError = std::current_exception();
    }

    LoadLanguage(LanguageFilePath);
    if (applyTexts)
        applyTexts();

    const std::string base = FileBaseName(LanguageFilePath);
    HelpFilePath = LangsDir + base + "_help.chm";
    ProfileDir = LangsDir + base + "_Profile/";

    if (configError)
        std::rethrow_exception(configError);
}

} // namespace tl
