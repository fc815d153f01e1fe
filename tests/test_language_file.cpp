// Language files: line-break escaping, loading, writing, the language list,
// switching at run time, and the language files that are shipped.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/Error.h"
#include "app/Globals.h"
#include "lang/Catalogue.h"
#include "lang/LanguageFile.h"
#include "lang/LanguageList.h"
#include "lang/LanguageSwitch.h"
#include "platform/IniFile.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;
using tl::test::TempFolder;

namespace {

const std::string kShippedLangs = std::string(TESSALINE_SOURCE_DIR) + "/data/langs/";

// Every test starts from the built-in texts and leaves the process-wide paths
// and lists as it found them.
class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tl::ResetCatalogue();
        saved_ = {tl::LangsDir, tl::ConfigIniPath, tl::LanguageFilePath, tl::HelpFilePath, tl::ProfileDir};
        savedFilters_ = tl::OpenFilterList;
        savedExtensions_ = tl::AviSynthExtList;
        tl::HelpFilePath.clear();
        tl::ProfileDir.clear();
        tl::LangsDir = temp_.Dir() + "langs/";
        tl::ConfigIniPath = temp_.Dir() + "config.ini";
        fs::create_directories(tl::LangsDir);
    }

    void TearDown() override
    {
        tl::ResetCatalogue();
        tl::LangsDir = saved_[0];
        tl::ConfigIniPath = saved_[1];
        tl::LanguageFilePath = saved_[2];
        tl::HelpFilePath = saved_[3];
        tl::ProfileDir = saved_[4];
        tl::OpenFilterList = savedFilters_;
        tl::AviSynthExtList = savedExtensions_;
    }

    // A language file in the langs folder; lines are joined with CR LF.
    std::string WriteLang(const std::string& fileName, const std::vector<std::string>& lines) const
    {
        std::string text;
        for (const auto& line : lines)
            text += line + "\r\n";
        return temp_.Write("langs/" + fileName, text);
    }

    static void SetText(const char* key, const std::string& text)
    {
        tl::SetCatalogueText(tl::CatalogueIndex(key), text);
    }

    TempFolder temp_{"tl-lang"};

private:
    std::vector<std::string> saved_;
    std::vector<std::string> savedFilters_;
    std::vector<std::string> savedExtensions_;
};

// ---- escaping ---------------------------------------------------------------------

TEST(LineBreakEscaping, Escape)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"Line one\r\nLine two", "Line one#13Line two"},
        {"a\nb", "a#13b"},                  // lone LF
        {"a\rb", "a#13b"},                  // lone CR
        {"a\n\rb", "a#13#13b"},             // LF CR is two breaks
        {"a\r\r\nb", "a#13#13b"},           // CR, then a CR LF pair
        {"a\r\n\r\nb", "a#13#13b"},
        {"  padded \t", "padded"},          // trimmed
        {"\r\nedge\r\n", "edge"},           // breaks at the ends go with the trim
        {"", ""},
        {"no breaks", "no breaks"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tl::EscapeLineBreaks(c.in), c.out) << '"' << c.in << '"';
}

TEST(LineBreakEscaping, Unescape)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"Line one#13Line two", "Line one\r\nLine two"},
        {"#13#13", "\r\n\r\n"},
        {"##13", "#\r\n"},
        {"a#1", "a#1"},
        {"  spaced value  ", "spaced value"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tl::UnescapeLineBreaks(c.in), c.out) << '"' << c.in << '"';
}

// ---- loading -----------------------------------------------------------------------

TEST_F(LanguageTest, LineBreaksSurviveALoadAndAWrite)
{
    const std::string path = WriteLang("Test.ini", {"[Tessaline]", "STR_MAIN_AddingError1=Line one#13Line two"});
    tl::LoadLanguage(path);
    EXPECT_EQ(tl::Text("STR_MAIN_AddingError1"), "Line one\r\nLine two");

    tl::WriteLanguageFile(path);
    EXPECT_EQ(tl::IniReadString(path, "Tessaline", "STR_MAIN_AddingError1", ""), "Line one#13Line two");
    EXPECT_NE(TempFolder::Read(path).find("\r\nSTR_MAIN_AddingError1=Line one#13Line two\r\n"), std::string::npos);
}

TEST_F(LanguageTest, ValuesAreTrimmed)
{
    const std::string path = WriteLang("Test.ini", {"[Tessaline]", "STR_MAIN_btnAdd=   Add it   "});
    tl::LoadLanguage(path);
    EXPECT_EQ(tl::Text("STR_MAIN_btnAdd"), "Add it");
}

TEST_F(LanguageTest, AMissingFileIsCreatedWithEveryKey)
{
    const std::string path = tl::LangsDir + "English.ini";
    tl::LoadLanguage(path);

    ASSERT_TRUE(fs::is_regular_file(path));
    EXPECT_EQ(tl::IniReadString(path, "Tessaline", "LanguageName", ""), "English");
    for (std::size_t i = 0; i < tl::kCatalogueSize; ++i) {
        const auto& entry = tl::CatalogueEntryAt(i);
        EXPECT_EQ(tl::IniReadString(path, "Tessaline", entry.key, "<missing>"), tl::EscapeLineBreaks(entry.english))
            << entry.key;
        EXPECT_EQ(tl::CatalogueText(i), entry.english) << entry.key;
    }
    EXPECT_TRUE(tl::AviSynthExtList.empty());
    EXPECT_TRUE(tl::OpenFilterList.empty());
}

TEST_F(LanguageTest, AMissingFileThatCannotBeCreatedEndsTheLoad)
{
    const std::string path = temp_.Dir() + "no-such-folder/English.ini";
    SetText("STR_MAIN_btnAdd", "Kept");
    try {
        tl::LoadLanguage(path);
        FAIL() << "no error raised";
    } catch (const tl::Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
    }
    EXPECT_EQ(tl::Text("STR_MAIN_btnAdd"), "Kept");
}

TEST_F(LanguageTest, EmptyOrUnreadableFilesLeaveTheTexts)
{
    static const char kBinary[] = "\x00\x01\xff\xfe[\x00Tessaline]\x7f=\x80\r\n\x00STR_MAIN_btnAdd\x00=x";
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"binary", std::string(kBinary, sizeof kBinary - 1)},
        {"other section only", "[Elsewhere]\r\nSTR_MAIN_btnAdd=Wrong\r\n"},
    };
    for (const auto& c : cases) {
        tl::ResetCatalogue();
        SetText("STR_MAIN_btnAdd", "Hinzufügen");
        const std::string path = temp_.Write(std::string("langs/") + c.name + ".ini", c.bytes);
        tl::LoadLanguage(path);
        EXPECT_EQ(tl::Text("STR_MAIN_btnAdd"), "Hinzufügen") << c.name;
        EXPECT_EQ(tl::Text("STR_OK"), "OK") << c.name;
        EXPECT_EQ(TempFolder::Read(path), c.bytes) << c.name << ": an existing file is not rewritten by a load";
    }
}

TEST_F(LanguageTest, AviSynthExtensionsStopAtTheFirstMissingNumber)
{
    const std::string path = WriteLang("Test.ini", {"[TLAPP_AVSExt]", "1=.avs", "2=.rm", "4=.mkv"});
    tl::LoadLanguage(path);
    EXPECT_EQ(tl::AviSynthExtList, (std::vector<std::string>{".avs", ".rm"}));
}

TEST_F(LanguageTest, FiltersKeepTheFileOrderAndListsAreReplacedOnEveryLoad)
{
    const std::string first = WriteLang("First.ini", {"[TLAPP_Filters]", "; a comment", "Zeta Files=*.z", "",
                                                      "Alpha Files=*.a;*.aa", "[TLAPP_AVSExt]", "1=.avs"});
    tl::LoadLanguage(first);
    EXPECT_EQ(tl::OpenFilterList, (std::vector<std::string>{"Zeta Files=*.z", "Alpha Files=*.a;*.aa"}));
    EXPECT_EQ(tl::AviSynthExtList, (std::vector<std::string>{".avs"}));

    const std::string second = WriteLang("Second.ini", {"[Tessaline]", "STR_OK=Okay"});
    tl::LoadLanguage(second);
    EXPECT_TRUE(tl::OpenFilterList.empty());
    EXPECT_TRUE(tl::AviSynthExtList.empty());
}

// ---- writing -----------------------------------------------------------------------

TEST_F(LanguageTest, WritingKeepsEverythingElseOfTheFile)
{
    const std::string head = "; translated by hand\r\n[Other]\r\n  x = 1  \r\n\r\n[TLAPP_Filters]\r\nVideo=*.avi\r\n";
    const std::string tail = "[After]\r\ny=2\r\n";
    const std::string path = temp_.Write("langs/Mine.ini", head +
                                                               "[Tessaline]\r\nLanguageName=Old name\r\n"
                                                               "STR_OK=Okay\r\nCustom=keep me\r\n" +
                                                               tail);
    tl::WriteLanguageFile(path);

    const std::string text = TempFolder::Read(path);
    EXPECT_EQ(text.substr(0, head.size()), head);
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(tl::IniReadString(path, "Tessaline", "Custom", ""), "keep me");
    EXPECT_EQ(tl::IniReadString(path, "Tessaline", "LanguageName", ""), "Mine");
    EXPECT_EQ(tl::IniReadString(path, "Tessaline", "STR_OK", ""), "OK");
    EXPECT_EQ(tl::IniReadString(path, "Tessaline", "IDS_Main_MSG_Faile", ""), "Burning failed.");
}

TEST_F(LanguageTest, WritingIntoAMissingFolderFails)
{
    const std::string path = temp_.Dir() + "missing/langs/English.ini";
    try {
        tl::WriteLanguageFile(path);
        FAIL() << "no error raised";
    } catch (const tl::Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
    }
    EXPECT_FALSE(fs::exists(path));
}

// ---- language list -----------------------------------------------------------------

TEST_F(LanguageTest, ListNamesFilesAndSkipsTheRest)
{
    WriteLang("b_Deutsch.ini", {"[Tessaline]", "LanguageName=Deutsch"});
    WriteLang("a_NoName.ini", {"[Tessaline]", "STR_OK=OK"});
    WriteLang("c_Empty.ini", {"[tessaline]", "languagename="});
    WriteLang("d_Upper.INI", {"[Tessaline]", "LanguageName=Upper"});
    WriteLang("notes.txt", {"[Tessaline]", "LanguageName=Text"});
    WriteLang("e.ini.bak", {"[Tessaline]", "LanguageName=Backup"});
    fs::create_directories(tl::LangsDir + "Folder.ini");
    fs::create_directories(tl::LangsDir + "English_Profile");

    tl::TKelMultiLanguages list(tl::LangsDir, "LanguageName", "Tessaline");
    ASSERT_EQ(list.Count(), 4);
    const char* names[] = {"a_NoName", "Deutsch", "c_Empty", "Upper"};
    const char* files[] = {"a_NoName.ini", "b_Deutsch.ini", "c_Empty.ini", "d_Upper.INI"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(list.Name(i), names[i]) << i;
        EXPECT_EQ(list.Path(i), tl::LangsDir + files[i]) << i;
    }
    EXPECT_EQ(list.Path(-1), "");
    EXPECT_EQ(list.Name(4), "");
    EXPECT_EQ(list.CurrentIndex(), 0);
    list.SetCurrentIndex(3);
    list.SetCurrentIndex(4);
    list.SetCurrentIndex(-1);
    EXPECT_EQ(list.CurrentIndex(), 3);
}

TEST_F(LanguageTest, ListOfAMissingFolderIsEmpty)
{
    tl::TKelMultiLanguages list(temp_.Dir() + "nowhere/", "LanguageName", "Tessaline");
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Path(0), "");
    tl::LangsDir = temp_.Dir() + "nowhere/";
    auto menuList = tl::MakeLanguageList();
    EXPECT_TRUE(tl::BuildLanguageMenuItems(menuList).empty());
}

// ---- menu and switching --------------------------------------------------------------

TEST_F(LanguageTest, MenuChecksTheLanguageInUseIgnoringCase)
{
    WriteLang("Deutsch.ini", {"[Tessaline]", "LanguageName=Deutsch"});
    WriteLang("English.ini", {"[Tessaline]", "LanguageName=English"});
    WriteLang("Francais.ini", {"[Tessaline]", "LanguageName=Français"});
    tl::LanguageFilePath = tl::LangsDir + "ENGLISH.ini";

    auto list = tl::MakeLanguageList();
    const auto items = tl::BuildLanguageMenuItems(list);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].caption, "Deutsch");
    EXPECT_FALSE(items[0].checked);
    EXPECT_EQ(items[1].caption, "English");
    EXPECT_TRUE(items[1].checked);
    EXPECT_EQ(items[2].caption, "Français");
    EXPECT_FALSE(items[2].checked);
    EXPECT_EQ(list.CurrentIndex(), 1);
}

TEST_F(LanguageTest, SwitchLoadsTheLanguageAndStoresTheChoice)
{
    WriteLang("English.ini", {"[Tessaline]", "LanguageName=English"});
    WriteLang("Deutsch.ini", {"[Tessaline]", "LanguageName=Deutsch", "STR_MAIN_btnAdd=Hinzufügen",
                              "[TLAPP_Filters]", "Videodateien=*.avi"});
    tl::LanguageFilePath = tl::LangsDir + "English.ini";
    auto list = tl::MakeLanguageList();
    tl::BuildLanguageMenuItems(list);

    int applied = 0;
    tl::SwitchLanguage(list, "deutsch", [&] {
        // texts are loaded before they are applied; the help paths follow afterwards
        ++applied;
        EXPECT_EQ(tl::Text("STR_MAIN_btnAdd"), "Hinzufügen");
        EXPECT_EQ(tl::HelpFilePath, "");
    });

    EXPECT_EQ(applied, 1);
    EXPECT_EQ(tl::LanguageFilePath, tl::LangsDir + "Deutsch.ini");
    EXPECT_EQ(tl::IniReadString(tl::ConfigIniPath, "VideoAPP_Form", "LanguageFile", ""), "Deutsch.ini");
    EXPECT_EQ(tl::HelpFilePath, tl::LangsDir + "Deutsch_help.chm");
    EXPECT_EQ(tl::ProfileDir, tl::LangsDir + "Deutsch_Profile/");
    EXPECT_EQ(tl::OpenFilterList, (std::vector<std::string>{"Videodateien=*.avi"}));
}

TEST_F(LanguageTest, SwitchToAPartialLanguageKeepsThePreviousTexts)
{
    WriteLang("Deutsch.ini", {"[Tessaline]", "LanguageName=Deutsch", "STR_MAIN_btnAdd=Hinzufügen",
                              "STR_MAIN_btnRemove=Entfernen"});
    WriteLang("Francais.ini", {"[Tessaline]", "LanguageName=Français", "STR_MAIN_btnRemove=Supprimer"});
    tl::LanguageFilePath = tl::LangsDir + "Deutsch.ini";
    auto list = tl::MakeLanguageList();
    tl::BuildLanguageMenuItems(list);

    tl::SwitchLanguage(list, "Deutsch", {});
    tl::SwitchLanguage(list, "Français", {});
    EXPECT_EQ(tl::Text("STR_MAIN_btnAdd"), "Hinzufügen");
    EXPECT_EQ(tl::Text("STR_MAIN_btnRemove"), "Supprimer");
    EXPECT_EQ(tl::Text("STR_MAIN_btnUp"), "Up");
}

TEST_F(LanguageTest, SwitchPicksTheLaterOfTwoLanguagesWithOneName)
{
    WriteLang("a_de.ini", {"[Tessaline]", "LanguageName=Deutsch", "STR_OK=Erste"});
    WriteLang("b_de.ini", {"[Tessaline]", "LanguageName=Deutsch", "STR_OK=Zweite"});
    tl::LanguageFilePath = tl::LangsDir + "a_de.ini";
    auto list = tl::MakeLanguageList();
    const auto items = tl::BuildLanguageMenuItems(list);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_TRUE(items[0].checked);

    tl::SwitchLanguage(list, items[0].caption, {});
    EXPECT_EQ(list.CurrentIndex(), 1);
    EXPECT_EQ(tl::LanguageFilePath, tl::LangsDir + "b_de.ini");
    EXPECT_EQ(tl::Text("STR_OK"), "Zweite");
}

// A config.ini that cannot be written must not leave the new file chosen with
// the old texts loaded: the exit would write those texts into the new file.
TEST_F(LanguageTest, SwitchCompletesWhenConfigCannotBeWritten)
{
    WriteLang("Deutsch.ini", {"[Tessaline]", "LanguageName=Deutsch", "STR_MAIN_btnAdd=Hinzufügen"});
    tl::ConfigIniPath = temp_.Dir() + "missing/config.ini";
    tl::LanguageFilePath = tl::LangsDir + "English.ini";
    auto list = tl::MakeLanguageList();

    int applied = 0;
    try {
        tl::SwitchLanguage(list, "Deutsch", [&] { ++applied; });
        FAIL() << "no error raised";
    } catch (const tl::Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + tl::ConfigIniPath);
    }
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(tl::LanguageFilePath, tl::LangsDir + "Deutsch.ini");
    EXPECT_EQ(tl::Text("STR_MAIN_btnAdd"), "Hinzufügen");
    EXPECT_EQ(tl::ProfileDir, tl::LangsDir + "Deutsch_Profile/");
}

// ---- shipped language files ------------------------------------------------------------

TEST_F(LanguageTest, ShippedFilesHoldEveryKey)
{
    for (const char* language : {"English", "Deutsch"}) {
        const std::string path = kShippedLangs + language + ".ini";
        ASSERT_TRUE(fs::is_regular_file(path)) << path;
        EXPECT_EQ(tl::IniReadString(path, "Tessaline", "LanguageName", ""), language);
        for (std::size_t i = 0; i < tl::kCatalogueSize; ++i) {
            const char* key = tl::CatalogueEntryAt(i).key;
            EXPECT_NE(tl::IniReadString(path, "Tessaline", key, ""), "") << language << ": " << key;
        }
    }
}

TEST_F(LanguageTest, ShippedEnglishIsTheBuiltInText)
{
    const std::string copy = temp_.Write("langs/English.ini", TempFolder::Read(kShippedLangs + "English.ini"));
    tl::LoadLanguage(copy);
    for (std::size_t i = 0; i < tl::kCatalogueSize; ++i)
        EXPECT_EQ(tl::CatalogueText(i), tl::CatalogueEntryAt(i).english) << tl::CatalogueEntryAt(i).key;
}

// The exit writes the current language file back; a shipped file must come out unchanged.
TEST_F(LanguageTest, ShippedFilesAreStableUnderTheWriter)
{
    for (const char* language : {"English", "Deutsch"}) {
        tl::ResetCatalogue();
        const std::string original = TempFolder::Read(kShippedLangs + language + ".ini");
        const std::string copy = temp_.Write(std::string("langs/") + language + ".ini", original);
        tl::LoadLanguage(copy);
        tl::WriteLanguageFile(copy);
        EXPECT_EQ(TempFolder::Read(copy), original) << language;
    }
}

TEST_F(LanguageTest, ShippedGermanTranslatesTheMainWindow)
{
    // "Format" is the same word in both languages (list column 2).
    const char* keys[] = {
        "STR_MAIN_btnAdd", "STR_MAIN_btnRemove", "STR_MAIN_btnUp", "STR_MAIN_btnDown", "STR_MAIN_btnSettings",
        "STR_MAIN_btnHelp", "STR_MAIN_btnChooseAnotherTemplate", "STR_MAIN_btnBurn", "STR_MAIN_lblWriters",
        "STR_MAIN_lblSpeed", "STR_MAIN_lblDiscLabel", "STR_MAIN_lblDVDMenuTemplate", "STR_MAIN_mnuFile",
        "STR_MAIN_mnuSettings", "STR_MAIN_mnuHelp", "STR_MAIN_mniAdd", "STR_MAIN_mniDelete", "STR_MAIN_mniUp",
        "STR_MAIN_mniDown", "STR_MAIN_mniClear", "STR_MAIN_mniFile_Add", "STR_MAIN_mniFile_Delete",
        "STR_MAIN_mniFile_Up", "STR_MAIN_mniFile_Down", "STR_MAIN_mniFile_Burn", "STR_MAIN_mniFile_Exit",
        "STR_MAIN_mniSettings_Settings", "STR_MAIN_mniSettings_Lanuage", "STR_MAIN_mniHelp_HelpContents",
        "STR_MAIN_mniHelp_About", "STR_MAIN_mniHelp_QuickStart", "STR_MAIN_mniHelp_OnlineResources",
        "STR_MAIN_mniHelp_TechnicalSupport", "STR_MAIN_lsvFiles_Captain", "IDS_Main_chk_BufferProtect",
        "IDS_Main_chk_TestMode", "IDS_Main_chk_EjectAfter", "IDS_Main_act_Erase", "IDS_Main_DVDLabel",
        "STR_ABOUT_Title", "IDS_Main_chk_CreateNoMenuDVD", "IDS_Main_chk_CreateNoMenuDVDHint",
    };
    const std::string path = kShippedLangs + "Deutsch.ini";
    for (const char* key : keys) {
        const std::string german = tl::IniReadString(path, "Tessaline", key, "");
        EXPECT_NE(german, "") << key;
        EXPECT_NE(german, tl::EscapeLineBreaks(tl::Text(key))) << key;
    }
}

TEST_F(LanguageTest, ShippedFiltersAcceptTheCommonMediaFiles)
{
    const char* extensions[] = {"avi", "mpg", "mpeg", "vob", "mp4", "m4v", "mov", "mkv", "webm", "wmv",
                                "asf", "flv", "3gp", "ts", "m2ts", "mts", "ogv", "dv", "mp3", "wav",
                                "ogg", "oga", "flac", "m4a", "aac", "ac3", "wma", "opus", "mp2"};
    for (const char* language : {"English", "Deutsch"}) {
        const std::string copy = temp_.Write(std::string("langs/") + language + ".ini",
                                             TempFolder::Read(kShippedLangs + language + ".ini"));
        tl::LoadLanguage(copy);
        ASSERT_EQ(tl::OpenFilterList.size(), 2u) << language;
        EXPECT_EQ(tl::AviSynthExtList, (std::vector<std::string>{".avs", ".AVS"})) << language;
        for (const char* extension : extensions) {
            // the probe's test: ".ext" anywhere in the pattern of a line
            const std::string wanted = std::string("*.") + extension + ";";
            bool found = false;
            for (const auto& line : tl::OpenFilterList) {
                const std::string pattern = line.substr(line.find('=') + 1) + ";";
                found = found || pattern.find(wanted) != std::string::npos;
            }
            EXPECT_TRUE(found) << language << ": " << extension;
        }
    }
}

TEST_F(LanguageTest, ShippedProfilesHoldTheScriptTemplate)
{
    for (const char* language : {"English", "Deutsch"}) {
        const std::string script =
            TempFolder::Read(kShippedLangs + language + "_Profile/DirectShow.avs");
        EXPECT_NE(script.find("DirectShowSource(\"<%InputFile%>\")"), std::string::npos) << language;
        // the first quoted text of the script names the source
        const auto open = script.find('"');
        ASSERT_NE(open, std::string::npos);
        EXPECT_EQ(script.substr(open, 15), "\"<%InputFile%>\"");
    }
}

} // namespace
