// The per-title job files: ~convert.bat byte for byte, the AviSynth route and
// its script, and write failures that must never pass as success.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/Error.h"
#include "app/Globals.h"
#include "support/TempFolder.h"
#include "transcode/JobBuilder.h"

using namespace tl;
namespace fs = std::filesystem;

namespace {

struct BatchCase {
    unsigned videoFormat;
    std::int32_t quality;
    unsigned videoAspect;
    const char* options;  // what stands between the input and the output of line 1
};

TEST(ConvertBatch, ExactBytesForEverySetting)
{
    const BatchCase cases[] = {
        {0, 6400, 0, "-target pal-dvd -b 6400k -aspect 4:3 "},
        {0, 6400, 1, "-target pal-dvd -b 6400k -aspect 16:9 "},
        {1, 6400, 0, "-target ntsc-dvd -b 6400k -aspect 4:3 "},
        {1, 6400, 1, "-target ntsc-dvd -b 6400k -aspect 16:9 "},
        {0, 64, 0, "-target pal-dvd -b 64k -aspect 4:3 "},
        {1, 9600, 1, "-target ntsc-dvd -b 9600k -aspect 16:9 "},
        {2, 6400, 0, "-b 6400k -aspect 4:3 "},  // unknown TV system: no target
        {0, 6400, 7, "-target pal-dvd -b 6400k "},  // unknown aspect: no aspect
        {9, 6400, 9, "-b 6400k "},
    };
    for (const auto& c : cases) {
        ConvertJob job;
        job.transcoderPath = "/opt/tl/transcoder.dll";
        job.input = "/v/a b.avi";
        job.tempDir = "/tmp/work/";
        job.outputIndex = 0;
        job.videoFormat = c.videoFormat;
        job.quality = c.quality;
        job.videoAspect = c.videoAspect;
        const std::string expected =
            std::string("\"/opt/tl/transcoder.dll\" -p 4061775 -i \"/v/a b.avi\" ") + c.options +
            " \"/tmp/work/0.mpg\"\r\n"
            "\"/opt/tl/transcoder.dll\" -p 4061775 -i \"/v/a b.avi\"  -y -f image2 -ss 01.000 -t 0.001 -s 150x114  "
            "\"/tmp/work/0.jpg\"\r\n";
        EXPECT_EQ(ConvertBatchText(job), expected) << c.options;
    }
}

TEST(ConvertBatch, OutputsAreNumberedByTitle)
{
    ConvertJob job;
    job.transcoderPath = "/t.dll";
    job.input = "/v/x.mkv";
    job.tempDir = "/w/";
    job.outputIndex = 12;
    const std::string text = ConvertBatchText(job);
    EXPECT_NE(text.find(" \"/w/12.mpg\"\r\n"), std::string::npos);
    EXPECT_NE(text.find(" \"/w/12.jpg\"\r\n"), std::string::npos);
}

TEST(AviSynthRoute, ExtensionListAndSwitch)
{
    const std::vector<std::string> exts = {".avi", ".wmv"};
    const struct {
        const char* source;
        bool useDirectShow;
        bool route;
    } cases[] = {
        {"/v/a.avi", false, true},
        {"/v/a.AVI", false, false},  // letter case counts
        {"/v/a.wmv", false, true},
        {"/v/a.mkv", false, false},
        {"/v/a.mkv", true, true},
        {"/v/a.AVI", true, true},
        {"/v.avi/clip", false, false},  // a dot in a folder is no extension
        {"/v/clip.avi.mkv", false, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UsesAviSynthRoute(c.source, c.useDirectShow, exts), c.route) << c.source << " " << c.useDirectShow;
    EXPECT_FALSE(UsesAviSynthRoute("/v/a.avi", false, {}));
}

TEST(AviSynthScript, PlaceholderInAnyCaseAndCrLfLines)
{
    const std::string source = "/v/My Clip.AVI";
    const struct {
        const char* templ;
        const char* script;
    } cases[] = {
        {"DirectShowSource(\"<%InputFile%>\")\n", "DirectShowSource(\"/v/My Clip.AVI\")\r\n"},
        {"a=\"<%inputfile%>\"\r\nb=\"<%INPUTFILE%>\"\r\n", "a=\"/v/My Clip.AVI\"\r\nb=\"/v/My Clip.AVI\"\r\n"},
        {"x <%InPuTfIlE%><%inputFile%>", "x /v/My Clip.AVI/v/My Clip.AVI\r\n"},  // last line without break
        {"one\rtwo\n\nthree", "one\r\ntwo\r\n\r\nthree\r\n"},                       // every break becomes CR LF
        {"<%InputFile", "<%InputFile\r\n"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AviSynthScriptText(c.templ, source), c.script) << c.templ;
}

class JobFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = Options;
        savedProfile_ = ProfileDir;
        savedExts_ = AviSynthExtList;
        Options.TempDir = temp_.Dir() + "work/";
        fs::create_directories(Options.TempDir);
        ProfileDir = temp_.Dir() + "English_Profile/";
        Options.TranscoderPath = "/opt/tl/transcoder.dll";
        Options.VideoFormat = 0;
        Options.VideoAspect = 0;
        Options.Quality = 6400;
        Options.OutputIndex = 1;
        Options.UseDirectShow = false;
        AviSynthExtList = {".avs2", ".wmv"};
    }
    void TearDown() override
    {
        Options = saved_;
        ProfileDir = savedProfile_;
        AviSynthExtList = savedExts_;
    }
    test::TempFolder temp_{"tl-jobs"};
    TOptions saved_;
    std::string savedProfile_;
    std::vector<std::string> savedExts_;
};

TEST_F(JobFiles, DirectRouteWritesOnlyTheBatch)
{
    Options.CurrentSource = "/v/a.mkv";
    WriteTitleJob();
    EXPECT_EQ(test::TempFolder::Read(Options.TempDir + "~convert.bat"),
              "\"/opt/tl/transcoder.dll\" -p 4061775 -i \"/v/a.mkv\" -target pal-dvd -b 6400k -aspect 4:3  \"" +
                  Options.TempDir + "1.mpg\"\r\n\"/opt/tl/transcoder.dll\" -p 4061775 -i \"/v/a.mkv\"  -y -f image2 "
                                    "-ss 01.000 -t 0.001 -s 150x114  \"" + Options.TempDir + "1.jpg\"\r\n");
    EXPECT_FALSE(fs::exists(Options.TempDir + "DirectShow.avs"));
}

TEST_F(JobFiles, ScriptRouteNamesTheScriptInBothLines)
{
    temp_.Write("English_Profile/DirectShow.avs", "DirectShowSource(\"<%inputFILE%>\")\nConvertToYV12()");
    for (bool forced : {false, true}) {
        Options.UseDirectShow = forced;
        Options.CurrentSource = forced ? "/v/a.mkv" : "/v/a.wmv";
        WriteTitleJob();
        const std::string script = Options.TempDir + "DirectShow.avs";
        EXPECT_EQ(test::TempFolder::Read(script),
                  "DirectShowSource(\"" + Options.CurrentSource + "\")\r\nConvertToYV12()\r\n");
        const std::string batch = test::TempFolder::Read(Options.TempDir + "~convert.bat");
        const std::string input = " -i \"" + script + "\" ";
        const auto first = batch.find(input);
        ASSERT_NE(first, std::string::npos) << batch;
        EXPECT_NE(batch.find(input, first + 1), std::string::npos) << batch;
        EXPECT_EQ(batch.find(Options.CurrentSource), std::string::npos) << batch;
    }
}

TEST_F(JobFiles, MissingTemplateNamesTheFileAndWritesNoBatch)
{
    Options.UseDirectShow = true;
    Options.CurrentSource = "/v/a.mkv";
    try {
        WriteTitleJob();
        FAIL() << "no error raised";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(ProfileDir + "DirectShow.avs"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(Options.TempDir + "~convert.bat"));
}

TEST_F(JobFiles, FullDiskRaisesAnError)
{
    // The batch file's name leads to a device that is always full: the bytes
    // only fail when the buffer goes out, which must not pass as success.
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    fs::create_symlink("/dev/full", Options.TempDir + "~convert.bat");
    Options.CurrentSource = "/v/a.mkv";
    try {
        WriteTitleJob();
        FAIL() << "no error raised";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("~convert.bat"), std::string::npos) << e.what();
    }
}

TEST_F(JobFiles, ReadOnlyFolderRaisesAnError)
{
    fs::permissions(Options.TempDir, fs::perms::owner_read | fs::perms::owner_exec);
    const std::string probe = Options.TempDir + "probe";
    const bool writable = std::ofstream(probe).good();
    std::error_code ignored;
    fs::remove(probe, ignored);
    if (writable) {
        fs::permissions(Options.TempDir, fs::perms::owner_all);
        GTEST_SKIP() << "running with rights that ignore a read-only folder";
    }
    Options.CurrentSource = "/v/a.mkv";
    EXPECT_THROW(WriteTitleJob(), Error);
    fs::permissions(Options.TempDir, fs::perms::owner_all);
}

TEST_F(JobFiles, RemoveJobFilesIgnoresMissingFiles)
{
    temp_.Write("work/~convert.bat", "x");
    temp_.Write("work/DirectShow.avs", "y");
    temp_.Write("work/0.mpg", "z");
    RemoveJobFiles(Options.TempDir);
    EXPECT_FALSE(fs::exists(Options.TempDir + "~convert.bat"));
    EXPECT_FALSE(fs::exists(Options.TempDir + "DirectShow.avs"));
    EXPECT_TRUE(fs::exists(Options.TempDir + "0.mpg"));
    EXPECT_NO_THROW(RemoveJobFiles(Options.TempDir));
}

} // namespace
