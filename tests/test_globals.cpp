// Start-up paths, config.ini and options.ini: defaults, stored values, the
// exact files written, and an installation folder that cannot be written.
#include "app/Error.h"
#include "app/Globals.h"
#include "lang/Catalogue.h"
#include "platform/IniFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using tl::test::TempFolder;

namespace {

bool ReadOnlyFoldersEnforced()
{
    TempFolder probe("tl-globals-probe");
    fs::permissions(probe.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    std::ofstream out(probe.Path() / "x");
    const bool refused = !out.is_open();
    fs::permissions(probe.Path(), fs::perms::owner_all);
    return refused;
}

// An installation folder with an empty "langs" folder and a private
// application-data folder (XDG_DATA_HOME) for the working-folder default.
class GlobalsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            oldXdg_ = old;
        ::setenv("XDG_DATA_HOME", data_.Path().c_str(), 1);
        fs::create_directory(install_.Path() / "langs");
        tl::ResetCatalogue();
    }
    void TearDown() override
    {
        if (oldXdg_)
            ::setenv("XDG_DATA_HOME", oldXdg_->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        tl::ResetCatalogue();
    }

    std::string Dir() const { return install_.Dir(); }
    std::string Read(const std::string& relative) const { return TempFolder::Read(install_.Path() / relative); }
    std::string DefaultTempDir() const { return data_.Dir() + "Tessaline/"; }

    TempFolder install_{"tl-install"};
    TempFolder data_{"tl-data"};
    std::optional<std::string> oldXdg_;
};

TEST_F(GlobalsTest, FreshFolderStartsWithDefaultsAndWritesThemInTableOrder)
{
    tl::InitPaths(Dir());
    EXPECT_EQ(tl::InstallDir, Dir());
    EXPECT_EQ(tl::ConfigIniPath, Dir() + "config.ini");
    EXPECT_EQ(tl::OptionsIniPath, Dir() + "options.ini");
    EXPECT_EQ(tl::LangsDir, Dir() + "langs/");
    EXPECT_EQ(tl::LanguageFilePath, Dir() + "langs/English.ini");
    EXPECT_EQ(tl::HelpFilePath, Dir() + "langs/English_help.chm");
    EXPECT_EQ(tl::ProfileDir, Dir() + "langs/English_Profile/");
    EXPECT_EQ(tl::ApplicationTitle, "Valdremo Tessaline");
    EXPECT_TRUE(tl::SettingsWritable());
    EXPECT_EQ(Read("config.ini"), "[VideoAPP_Form]\r\nAppTitle=Valdremo Tessaline\r\n");

    tl::LoadOptions();
    const tl::TOptions& o = tl::Options;
    EXPECT_EQ(o.LastOpenDir, "");
    EXPECT_EQ(o.VideoFormat, 0);
    EXPECT_EQ(o.Quality, 6400);
    EXPECT_EQ(o.VideoAspect, 0);
    EXPECT_EQ(o.TempDir, DefaultTempDir());
    EXPECT_TRUE(fs::is_directory(DefaultTempDir()));
    EXPECT_EQ(o.DVDLabel, "My DVD");
    EXPECT_EQ(o.TemplateIndex, 1);
    EXPECT_TRUE(o.ShowWindow);
    EXPECT_FALSE(o.UseDirectShow);
    EXPECT_EQ(o.ProcessPriority, 1);
    EXPECT_FALSE(o.IsWin9x);
    EXPECT_FALSE(tl::NoMenuDvd);
    EXPECT_EQ(o.TranscoderPath, Dir() + "transcoder.dll");
    EXPECT_EQ(o.StillStreamPath, Dir() + "stillstream.dll");
    EXPECT_EQ(o.VideoEncoderPath, Dir() + "videoencoder.dll");
    EXPECT_EQ(o.MuxerPath, Dir() + "muxer.dll");
    EXPECT_EQ(o.SubMuxerPath, Dir() + "submuxer.dll");
    EXPECT_EQ(o.DvdAuthorPath, Dir() + "dvdauthoring.dll");
    EXPECT_EQ(o.ResourcesDir, Dir() + "resources/");
    EXPECT_EQ(o.TemplateDir, Dir() + "template1/");
    EXPECT_FALSE(fs::exists(Dir() + "options.ini"));  // reading creates nothing

    tl::SaveOptions();
    EXPECT_EQ(Read("options.ini"), "[TLOptions]\r\n"
                                   "LastOpenDir=\r\n"
                                   "VideoFormat=0\r\n"
                                   "Quality=6400\r\n"
                                   "VideoAspect=0\r\n"
                                   "TempDir=" + DefaultTempDir() + "\r\n"
                                   "DVDLabel=My DVD\r\n"
                                   "TemplateIndex=1\r\n"
                                   "ShowWindow=1\r\n"
                                   "UseDirectShow=0\r\n");
    // the current language file is written too, with the texts in use
    EXPECT_NE(Read("langs/English.ini").find("IDS_Main_DVDLabel=My DVD"), std::string::npos);
}

TEST_F(GlobalsTest, SavedOptionsComeBackOnNextStart)
{
    tl::InitPaths(Dir());
    tl::LoadOptions();
    tl::Options.LastOpenDir = "/media/videos/";
    tl::Options.VideoFormat = 1;
    tl::Options.Quality = 9600;
    tl::Options.VideoAspect = 1;
    tl::Options.TempDir = "/var/tmp/work/";
    tl::Options.DVDLabel = "Holiday 2026";
    tl::Options.TemplateIndex = 4;
    tl::Options.ShowWindow = false;
    tl::Options.UseDirectShow = true;
    tl::SaveOptions();

    tl::Options = tl::TOptions{};
    tl::InitPaths(Dir());
    tl::LoadOptions();
    const tl::TOptions& o = tl::Options;
    EXPECT_EQ(o.LastOpenDir, "/media/videos/");
    EXPECT_EQ(o.VideoFormat, 1);
    EXPECT_EQ(o.Quality, 9600);
    EXPECT_EQ(o.VideoAspect, 1);
    EXPECT_EQ(o.TempDir, "/var/tmp/work/");
    EXPECT_EQ(o.DVDLabel, "Holiday 2026");
    EXPECT_EQ(o.TemplateIndex, 4);
    EXPECT_EQ(o.TemplateDir, Dir() + "template4/");
    EXPECT_FALSE(o.ShowWindow);
    EXPECT_TRUE(o.UseDirectShow);
}

TEST_F(GlobalsTest, StoredValuesAreReadWithTheirTypes)
{
    install_.Write("options.ini", "; written by hand\n"
                                  "[tloptions]\n"
                                  "videoformat=257\n"
                                  "VideoAspect=-1\n"
                                  "Quality=99999999999\n"
                                  "TemplateIndex=3\n"
                                  "ShowWindow=0\n"
                                  "UseDirectShow=5\n"
                                  "TempDir=/elsewhere/\n"
                                  "DVDLabel=\"  Quoted  \"\n");
    tl::InitPaths(Dir());
    tl::LoadOptions();
    const tl::TOptions& o = tl::Options;
    EXPECT_EQ(o.VideoFormat, 1);      // one byte: 257 keeps its low byte
    EXPECT_EQ(o.VideoAspect, 255);    // and -1 becomes 255
    EXPECT_EQ(o.Quality, 6400);       // no 32-bit number: default
    EXPECT_EQ(o.TemplateIndex, 3);
    EXPECT_EQ(o.TemplateDir, Dir() + "template3/");
    EXPECT_FALSE(o.ShowWindow);
    EXPECT_TRUE(o.UseDirectShow);
    EXPECT_EQ(o.TempDir, "/elsewhere/");
    EXPECT_EQ(o.DVDLabel, "  Quoted  ");
    // the default working folder is made even though another one is stored
    EXPECT_TRUE(fs::is_directory(DefaultTempDir()));
}

TEST_F(GlobalsTest, SavingKeepsTheRestOfOptionsIni)
{
    install_.Write("options.ini", "; keep this\n[Mine]\nA=1\n\n[TLOptions]\nQuality=3000\n");
    tl::InitPaths(Dir());
    tl::LoadOptions();
    tl::SaveOptions();
    EXPECT_EQ(Read("options.ini"), "; keep this\n[Mine]\nA=1\n\n[TLOptions]\nQuality=3000\n"
                                   "LastOpenDir=\nVideoFormat=0\nVideoAspect=0\nTempDir=" + DefaultTempDir() +
                                       "\nDVDLabel=My DVD\nTemplateIndex=1\nShowWindow=1\nUseDirectShow=0\n");
}

TEST_F(GlobalsTest, DiscLabelDefaultIsTheCatalogueText)
{
    tl::SetCatalogueText(tl::CatalogueIndex("IDS_Main_DVDLabel"), "Meine DVD");
    tl::InitPaths(Dir());
    tl::LoadOptions();
    EXPECT_EQ(tl::Options.DVDLabel, "Meine DVD");
}

TEST_F(GlobalsTest, AppTitleIsUsedOnceThenOverwritten)
{
    install_.Write("config.ini", "; installer\r\n[VideoAPP_Form]\r\nLanguageFile=English.ini\r\nAppTitle=Other Title\r\n"
                                 "\r\n[Extra]\r\nX=1\r\n");
    tl::InitPaths(Dir());
    EXPECT_EQ(tl::ApplicationTitle, "Other Title");
    EXPECT_EQ(Read("config.ini"), "; installer\r\n[VideoAPP_Form]\r\nLanguageFile=English.ini\r\n"
                                  "AppTitle=Valdremo Tessaline\r\n\r\n[Extra]\r\nX=1\r\n");
    tl::InitPaths(Dir());
    EXPECT_EQ(tl::ApplicationTitle, "Valdremo Tessaline");
}

struct LanguageCase {
    const char* stored;  // nullptr: no key
    const char* file;
    const char* base;
};

TEST_F(GlobalsTest, LanguagePathsFollowTheStoredFileName)
{
    const std::vector<LanguageCase> cases{
        {nullptr, "English.ini", "English"},
        {"Deutsch.ini", "Deutsch.ini", "Deutsch"},
        {"Deutsch", "Deutsch", "Deutsch"},
        {"my.lang.ini", "my.lang.ini", "my.lang"},
        // a name only: no folder part may lead the language file out of "langs"
        {"../../etc/evil.ini", "evil.ini", "evil"},
        // an empty name would make "langs" itself the language file
        {"", "English.ini", "English"},
        {"  ", "English.ini", "English"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(missing)");
        install_.Write("config.ini",
                       c.stored ? std::string("[VideoAPP_Form]\nLanguageFile=") + c.stored + "\n" : std::string());
        tl::InitPaths(Dir());
        EXPECT_EQ(tl::LanguageFilePath, Dir() + "langs/" + c.file);
        EXPECT_EQ(tl::HelpFilePath, Dir() + "langs/" + c.base + "_help.chm");
        EXPECT_EQ(tl::ProfileDir, Dir() + "langs/" + c.base + "_Profile/");
    }
}

TEST_F(GlobalsTest, LanguageChoiceIsTheFileNameWhenTheFileExists)
{
    tl::InitPaths(Dir());
    install_.Write("langs/Deutsch.ini", "[Tessaline]\n");
    tl::LanguageFilePath = Dir() + "langs/Deutsch.ini";
    tl::SaveLanguageChoice();
    EXPECT_EQ(tl::IniReadString(tl::ConfigIniPath, "VideoAPP_Form", "LanguageFile", ""), "Deutsch.ini");
    tl::LanguageFilePath = Dir() + "langs/Gone.ini";
    tl::SaveLanguageChoice();
    EXPECT_EQ(Read("config.ini"), "[VideoAPP_Form]\r\nAppTitle=Valdremo Tessaline\r\nLanguageFile=English.ini\r\n");
}

TEST_F(GlobalsTest, ReadOnlyInstallationStillStarts)
{
    if (!ReadOnlyFoldersEnforced())
        GTEST_SKIP() << "folder permissions are not enforced for this user (root?)";
    install_.Write("config.ini", "[VideoAPP_Form]\nAppTitle=Shown Anyway\n");
    fs::permissions(install_.Path() / "config.ini", fs::perms::owner_read);
    fs::permissions(install_.Path(), fs::perms::owner_read | fs::perms::owner_exec);

    ASSERT_NO_THROW(tl::InitPaths(Dir()));
    EXPECT_FALSE(tl::SettingsWritable());
    EXPECT_EQ(tl::ApplicationTitle, "Shown Anyway");
    ASSERT_NO_THROW(tl::LoadOptions());
    EXPECT_EQ(tl::Options.Quality, 6400);

    try {
        tl::SaveOptions();
        FAIL() << "no error raised";
    } catch (const tl::Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + Dir() + "options.ini");
    }
    EXPECT_THROW(tl::SaveLanguageChoice(), tl::Error);
    EXPECT_FALSE(fs::exists(Dir() + "options.ini"));
    fs::permissions(install_.Path(), fs::perms::owner_all);
}

TEST_F(GlobalsTest, ReadOnlyOptionsFileMakesSettingsNotWritable)
{
    if (!ReadOnlyFoldersEnforced())
        GTEST_SKIP() << "file permissions are not enforced for this user (root?)";
    install_.Write("options.ini", "[TLOptions]\nQuality=1000\n");
    fs::permissions(install_.Path() / "options.ini", fs::perms::owner_read);
    tl::InitPaths(Dir());
    EXPECT_FALSE(tl::SettingsWritable());
    tl::LoadOptions();
    EXPECT_EQ(tl::Options.Quality, 1000);
    EXPECT_THROW(tl::SaveOptions(), tl::Error);
    EXPECT_EQ(Read("options.ini"), "[TLOptions]\nQuality=1000\n");
}

TEST_F(GlobalsTest, NoApplicationDataFolderLeavesWorkingFolderEmpty)
{
    const std::string blocker = data_.Write("blocker", "a file, not a folder");
    ::setenv("XDG_DATA_HOME", (blocker + "/sub").c_str(), 1);
    tl::InitPaths(Dir());
    tl::LoadOptions();
    EXPECT_EQ(tl::Options.TempDir, "");
}

TEST_F(GlobalsTest, NumbersUseAFullStopAfterStartUp)
{
    const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    tl::InitPaths(Dir());
    EXPECT_STREQ(std::localeconv()->decimal_point, ".") << (german ? "after a German locale" : "");
}

TEST(Now, CountsLocalDaysSince1899)
{
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    const double expected = 25569.0 + static_cast<double>(t + local.tm_gmtoff) / 86400.0;
    // same second, allowing for the clock moving on between the two readings
    EXPECT_NEAR(tl::Now(), expected, 5.0 / 86400.0);
}

} // namespace
