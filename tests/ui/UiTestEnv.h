#pragma once
// A throw-away installation folder for the windows' tests: the shipped
// language files, the paths and options of that folder, the English texts.
#include <QApplication>
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/Globals.h"
#include "lang/Catalogue.h"
#include "lang/LanguageFile.h"
#include "project/FileItem.h"
#include "project/TitleList.h"
#include "support/TempFolder.h"

namespace tl::test {

class InstallFolder {
public:
    InstallFolder()
    {
        namespace fs = std::filesystem;
        fs::copy(fs::path(TESSALINE_SOURCE_DIR) / "data" / "langs", temp_.Path() / "langs",
                 fs::copy_options::recursive);
        // the default working folder lands here, not in the user's home
        ::setenv("XDG_DATA_HOME", (temp_.Path() / "appdata").c_str(), 1);
        ResetCatalogue();
        InitPaths(temp_.Dir());
        LoadOptions();
        LoadLanguage(LanguageFilePath);
        NoMenuDvd = false;
        MainWindowShown = false;
    }
    const TempFolder& Folder() const { return temp_; }
    std::string Dir() const { return temp_.Dir(); }

private:
    TempFolder temp_{"tl-ui"};
};

// A title row without probing a file.
inline void AppendTitle(TitleList& list, const std::string& name, const std::string& playTime,
                        const std::string& format = "AVI")
{
    auto item = std::make_unique<TFileItem>();
    item->Folder = "/videos/";
    item->FileName = name;
    item->PlayTime = playTime;
    item->Format = format;
    item->FileSize = "1000";
    list.Append(std::move(item));
}

// The main of every window test. Without a chosen platform the windows are
// drawn off screen (also when the test runner lists the tests).
inline int RunUiTests(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace tl::test
