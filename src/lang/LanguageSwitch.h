#pragma once
// The window-free half of the Languages menu: which items it shows, which one
// is checked, and what a click on one of them changes. The front end turns the
// items into menu entries (captions used exactly as given, no accelerators)
// and applies the main window's texts when asked.
#include <functional>
#include <string>
#include <vector>

#include "lang/LanguageList.h"

namespace tl {

struct LanguageMenuItem {
    std::string caption;
    bool checked = false;
};

// The language list of LangsDir (key LanguageName, section "Tessaline").
TKelMultiLanguages MakeLanguageList();

// One item per language, in list order; the item whose path equals
// LanguageFilePath (letter case ignored) is checked and becomes the current index.
std::vector<LanguageMenuItem> BuildLanguageMenuItems(TKelMultiLanguages& languages);

// A click on the item with this caption: picks the last language of that name
// (letter case ignored), stores its file name as LanguageFile in config.ini,
// loads it, calls applyTexts (may be empty) and recomputes HelpFilePath and
// ProfileDir. The front end unchecks all items and checks the clicked one itself.
// If config.ini cannot be written, the switch still completes for this run and
// the write error is raised afterwards.
void SwitchLanguage(TKelMultiLanguages& languages, const std::string& clickedCaption,
                    const std::function<void()>& applyTexts);

} // namespace tl
