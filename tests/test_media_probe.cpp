// The media probe on real files made with ffmpeg: what an ordinary clip fills
// in, which files are refused with which message, which are skipped silently,
// the duplicate rule, the extension rule and the open dialog's filter.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/Globals.h"
#include "lang/Catalogue.h"
#include "project/MediaProbe.h"
#include "support/ScriptedPrompts.h"
#include "support/TempFolder.h"
#include "support/TestLoop.h"

namespace {

namespace fs = std::filesystem;
using namespace tl;

const char* const kError1 =
    "An error occurred while adding file:\r\n\r\nCan not get file \"%s\" complete name.";
const char* const kError3 = "An error occurred while adding file:\r\n\r\nCan not get file \"%s\" play time.";
const char* const kError4 = "An error occurred while adding file:\r\n\r\nFile\"%s\" has no audio and video.";

bool RunQuiet(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Clips shared by all tests, made once.
class MediaProbeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Start as a plain program does: the "C" locale until someone changes it.
        std::setlocale(LC_ALL, "C");
        folder_ = std::make_unique<test::TempFolder>("tl-probe");
        const std::string d = folder_->Dir();
        const std::string ff = "ffmpeg -hide_banner -nostdin -y ";
        const std::string video = "-f lavfi -i testsrc=size=320x240:rate=25 ";
        const std::string audio = "-f lavfi -i sine=frequency=440:sample_rate=48000 ";
        ready_ = RunQuiet(ff + video + audio + "-t 2 -c:v mpeg4 -c:a mp2 " + d + "av.avi") &&
                 RunQuiet(ff + audio + "-t 2 -c:a mp2 " + d + "audio.mp2") &&
                 RunQuiet(ff + video + "-t 2 -c:v mpeg2video " + d + "video.mpg");
        std::ofstream(d + "subs.srt") << "1\n00:00:00,000 --> 00:00:02,000\nHello\n\n"
                                         "2\n00:00:03,000 --> 00:00:05,000\nBye\n";
        // A file with a duration but no audio and no video stream.
        ready_ = ready_ && RunQuiet(ff + "-i " + d + "subs.srt -c:s srt " + d + "subs.mkv");
    }
    static void TearDownTestSuite() { folder_.reset(); }

    void SetUp() override
    {
        if (!ready_)
            GTEST_SKIP() << "ffmpeg could not make the test clips";
        ResetCatalogue();
        savedFilters_ = OpenFilterList;
        OpenFilterList = {"Video Files=*.avi;*.mpg;*.mpeg;*.mkv", "Audio=*.mp2"};
    }
    void TearDown() override { OpenFilterList = savedFilters_; }

    static std::string Dir() { return folder_->Dir(); }
    // A copy of one of the clips under another name (below the shared folder).
    static std::string CopyAs(const std::string& clip, const std::string& name)
    {
        fs::path to = fs::path(Dir()) / name;
        fs::create_directories(to.parent_path());
        fs::copy_file(Dir() + clip, to, fs::copy_options::overwrite_existing);
        return to.string();
    }
    static std::string Write(const std::string& name, const std::string& bytes)
    {
        return folder_->Write(name, bytes);
    }
    static std::string Truncated(const std::string& clip, const std::string& name, std::size_t bytes)
    {
        std::string data = test::TempFolder::Read(Dir() + clip);
        return Write(name, data.substr(0, bytes));
    }

    // The expected box text: the English format with the path in place of %s.
    static std::string Message(const std::string& format, const std::string& path)
    {
        std::string text = format;
        return text.replace(text.find("%s"), 2, path);
    }

    void Add(const std::string& path) { AddSourceFile(list, path, prompts, loop); }

    TitleList list;
    test::ScriptedPrompts prompts;
    test::TestLoop loop;
    static inline std::unique_ptr<test::TempFolder> folder_;
    static inline bool ready_ = false;
    std::vector<std::string> savedFilters_;
};

TEST_F(MediaProbeTest, OrdinaryClipFillsEveryField)
{
    const std::string path = Dir() + "av.avi";
    Add(path);
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(list.Caption(0), path);
    const TFileItem& item = list.Item(0);

    const std::vector<std::pair<const char*, const std::string*>> fields = {
        {"FileName", &item.FileName},       {"Folder", &item.Folder},
        {"CompleteName", &item.CompleteName}, {"FileSize", &item.FileSize},
        {"Format", &item.Format},           {"PlayTime", &item.PlayTime},
        {"AudioCount", &item.AudioCount},   {"VideoCount", &item.VideoCount},
        {"VideoCodec", &item.VideoCodec},   {"Width", &item.Width},
        {"Height", &item.Height},           {"VideoBitrate", &item.VideoBitrate},
        {"AspectRatio", &item.AspectRatio}, {"FrameRate", &item.FrameRate},
        {"AudioCodec", &item.AudioCodec},   {"AudioBitRate", &item.AudioBitRate},
        {"Channels", &item.Channels},       {"SamplingRate", &item.SamplingRate},
    };
    ASSERT_EQ(fields.size(), 18u);
    for (const auto& [name, value] : fields)
        EXPECT_FALSE(value->empty()) << name << " is empty";

    EXPECT_EQ(item.FileName, "av.avi");
    EXPECT_EQ(item.Folder, Dir());
    EXPECT_EQ(item.CompleteName, path);
    EXPECT_EQ(item.FileSize, std::to_string(fs::file_size(path)));
    EXPECT_EQ(item.Format, "AVI");
    EXPECT_TRUE(std::regex_match(item.PlayTime, std::regex(R"(\d\d:\d\d:\d\d\.\d\d\d)"))) << item.PlayTime;
    EXPECT_EQ(item.PlayTime.substr(0, 8), "00:00:02");
    EXPECT_EQ(item.AudioCount, "1");
    EXPECT_EQ(item.VideoCount, "1");
    EXPECT_EQ(item.VideoCodec, "MPEG-4 Visual");
    EXPECT_EQ(item.Width, "320");
    EXPECT_EQ(item.Height, "240");
    EXPECT_TRUE(std::regex_match(item.VideoBitrate, std::regex(R"(\d+)"))) << item.VideoBitrate;
    EXPECT_EQ(item.AspectRatio, "1.333");
    EXPECT_EQ(item.FrameRate, "25.000");
    EXPECT_EQ(item.AudioCodec, "MPEG Audio");
    EXPECT_TRUE(std::regex_match(item.AudioBitRate, std::regex(R"(\d+)"))) << item.AudioBitRate;
    EXPECT_EQ(item.Channels, "1");
    EXPECT_EQ(item.SamplingRate, "48000");
}

TEST_F(MediaProbeTest, SingleKindClipsAreAdded)
{
    Add(Dir() + "audio.mp2");
    Add(Dir() + "video.mpg");
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_TRUE(prompts.shown.empty());
    const TFileItem& a = list.Item(0);
    EXPECT_EQ(a.VideoCount, "0");
    EXPECT_EQ(a.AudioCount, "1");
    EXPECT_TRUE(a.Width.empty());
    EXPECT_TRUE(a.VideoCodec.empty());
    EXPECT_EQ(a.AudioCodec, "MPEG Audio");
    const TFileItem& v = list.Item(1);
    EXPECT_EQ(v.VideoCount, "1");
    EXPECT_EQ(v.AudioCount, "0");
    EXPECT_EQ(v.VideoCodec, "MPEG Video");
    EXPECT_TRUE(v.SamplingRate.empty());
}

TEST_F(MediaProbeTest, RejectionChecksInOrder)
{
    auto record = [](std::string name, std::string size, std::string time, std::string video,
                     std::string audio) {
        TFileItem i;
        i.CompleteName = std::move(name);
        i.FileSize = std::move(size);
        i.PlayTime = std::move(time);
        i.VideoCount = std::move(video);
        i.AudioCount = std::move(audio);
        return i;
    };
    struct Case {
        const char* name;
        TFileItem item;
        const char* key;
    } cases[] = {
        {"nothing known", record("", "", "", "0", "0"), "STR_MAIN_AddingError1"},
        {"no name, the rest known", record("", "1", "00:00:01.000", "1", "1"), "STR_MAIN_AddingError1"},
        {"no size", record("a", "", "", "0", "0"), "STR_MAIN_AddingError2"},
        {"no play time", record("a", "1", "", "0", "0"), "STR_MAIN_AddingError3"},
        {"no streams", record("a", "1", "00:00:01.000", "0", "0"), "STR_MAIN_AddingError4"},
        {"audio only", record("a", "1", "00:00:01.000", "0", "1"), nullptr},
        {"video only", record("a", "1", "00:00:01.000", "1", "0"), nullptr},
        {"counts not known", record("a", "1", "00:00:01.000", "", ""), nullptr},
        {"one count not known", record("a", "1", "00:00:01.000", "0", ""), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const char* key = RejectionKey(c.item);
        if (c.key)
            EXPECT_STREQ(key, c.key);
        else
            EXPECT_EQ(key, nullptr);
    }
}

TEST_F(MediaProbeTest, UnusableFilesGiveOneMessageEachAndTheBatchGoesOn)
{
    const std::string text = Write("notes.avi", "hello, this is no video\n");
    const std::string empty = Write("empty.avi", "");
    const std::string percent = Write("odd %s %d name.avi", "still no video\n");
    // A name that is no UTF-8 text: the library cannot open it.
    const std::string latin1 = CopyAs("av.avi", "caf\xe9.avi");
    const std::string subtitles = Dir() + "subs.mkv";
    std::vector<std::string> batch = {text, Dir() + "av.avi", empty, percent, latin1, subtitles};

    AddFileList(list, batch, prompts, loop);

    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.Caption(0), Dir() + "av.avi");
    std::vector<std::string> expected = {Message(kError3, text), Message(kError3, empty),
                                         Message(kError3, percent), Message(kError1, latin1),
                                         Message(kError4, subtitles)};
    ASSERT_EQ(prompts.shown.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(prompts.shown[i].text, expected[i]);
        EXPECT_EQ(prompts.shown[i].caption, "Error");
        EXPECT_EQ(prompts.shown[i].kind, MsgKind::Information);
        EXPECT_EQ(prompts.shown[i].buttons, MsgButtons::Ok);
    }
}

TEST_F(MediaProbeTest, MessagesFollowTheLanguage)
{
    SetCatalogueText(CatalogueIndex("STR_MAIN_AddingError3"), "Keine Spielzeit: %s");
    SetCatalogueText(CatalogueIndex("STR_Error"), "Fehler");
    const std::string text = Write("lang.avi", "text");
    Add(text);
    ResetCatalogue();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Keine Spielzeit: " + text);
    EXPECT_EQ(prompts.shown[0].caption, "Fehler");
}

TEST_F(MediaProbeTest, SkippedSilently)
{
    const std::string noExt = CopyAs("av.avi", "clip");
    const std::string wrongExt = CopyAs("av.avi", "clip.mov");
    fs::create_directories(Dir() + "folder.avi");
    const std::string fifo = Dir() + "pipe.avi";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);  // opening it would block for ever
    const std::string paths[] = {Dir() + "missing.avi", noExt, wrongExt, Dir() + "folder.avi", fifo, ""};
    for (const std::string& p : paths) {
        SCOPED_TRACE(p);
        Add(p);
        EXPECT_TRUE(list.Empty());
        EXPECT_TRUE(prompts.shown.empty());
    }
    fs::remove(fifo);
}

TEST_F(MediaProbeTest, WindowQueueIsServedForEveryFile)
{
    int served = 0;
    loop.Post([&] { ++served; });
    Add(Dir() + "missing.avi");  // even a file that is skipped
    EXPECT_EQ(served, 1);
}

TEST_F(MediaProbeTest, DuplicatesAreExactAndCaseSensitive)
{
    const std::string lower = CopyAs("av.avi", "dup/clip.avi");
    const std::string upper = CopyAs("av.avi", "dup/CLIP.avi");
    Add(lower);
    Add(lower);
    EXPECT_EQ(list.Count(), 1u);
    Add(upper);
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Caption(1), upper);
    EXPECT_TRUE(prompts.shown.empty());

    // Removed and added again: a fresh record read anew from the file.
    list.SelectTitleRow(0);
    list.RemoveSelected();
    Add(lower);
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Caption(1), lower);
    EXPECT_EQ(list.Item(1).CompleteName, lower);
}

TEST_F(MediaProbeTest, UnusualNames)
{
    const std::string names[] = {"\xc3\xa9t\xc3\xa9 \xe2\x80\x94 \xd0\xba\xd0\xb8\xd0\xbd\xd0\xbe.avi",
                                 "with  blanks .avi", "quote\"and'apostrophe.avi", "sub dir/\xc3\xbc.AVI"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string path = CopyAs("av.avi", name);
        list.Clear();
        Add(path);
        ASSERT_EQ(list.Count(), 1u);
        EXPECT_TRUE(prompts.shown.empty());
        const TFileItem& item = list.Item(0);
        EXPECT_EQ(item.CompleteName, path);
        EXPECT_EQ(item.Folder + item.FileName, path);
        EXPECT_EQ(item.FileName, fs::path(path).filename().string());
        EXPECT_EQ(item.VideoCount, "1");
    }
}

TEST_F(MediaProbeTest, TruncatedClipsDoNotBreakTheProbe)
{
    // The header alone still tells the duration: such a file is added and
    // fails later, at conversion.
    const std::string cut = Truncated("av.avi", "cut.avi", 30000);
    const std::string stub = Truncated("av.avi", "stub.avi", 300);
    const std::string mpgCut = Truncated("video.mpg", "cut.mpg", 5000);
    for (const std::string& p : {cut, stub, mpgCut}) {
        SCOPED_TRACE(p);
        std::size_t before = list.Count() + prompts.shown.size();
        Add(p);
        EXPECT_EQ(list.Count() + prompts.shown.size(), before + 1);  // a row or a message
    }
    ASSERT_GE(list.Count(), 1u);
    EXPECT_EQ(list.Caption(0), cut);
    EXPECT_EQ(list.Item(0).FileSize, "30000");
}

TEST_F(MediaProbeTest, VanishedFileLeavesEverythingEmpty)
{
    TFileItem item;
    item.FileName = "keep";
    ProbeMedia(Dir() + "gone.avi", item);
    EXPECT_EQ(item.FileName, "keep");
    for (const ProbeField& f : ProbeFields())
        EXPECT_TRUE((item.*f.field).empty()) << f.requestedName;
    EXPECT_STREQ(RejectionKey(item), "STR_MAIN_AddingError1");
}

TEST_F(MediaProbeTest, UnreadableFileIsRefusedWithTheFirstMessage)
{
    const std::string path = CopyAs("av.avi", "locked.avi");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    if (::access(path.c_str(), R_OK) == 0)
        GTEST_SKIP() << "this user can read a file without read permission";
    Add(path);
    EXPECT_TRUE(list.Empty());
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, Message(kError1, path));
}

TEST_F(MediaProbeTest, ExtensionRules)
{
    struct Case {
        std::vector<std::string> filters;
        const char* ext;
        bool accepted;
    } cases[] = {
        {{"Video=*.avi;*.mpg;*.mpeg"}, ".avi", true},
        {{"Video=*.avi;*.mpg;*.mpeg"}, ".AVI", true},   // lowered before the test
        {{"Video=*.AVI"}, ".avi", true},                // the pattern too
        {{"Video=*.mpg;*.mpeg"}, ".mp", true},          // a substring is enough
        {{"Video=*.mpg;*.mpeg"}, ".mpe", true},
        {{"Video=*.mpg;*.mpeg"}, ".mkv", false},
        {{"Video=*.mpg;*.mpeg"}, "", false},            // no extension
        {{}, ".avi", false},                            // empty list
        {{"Films .avi=*.mpg"}, ".avi", false},          // the name part does not count
        {{"Video=*.mpg", "Audio=*.mp2;*.wav"}, ".wav", true},  // any line
        {{"*.avi"}, ".avi", false},                     // a line without '=' has no pattern
        {{"A=B=*.avi"}, ".avi", true},                  // the pattern starts after the first '='
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.ext) + (c.filters.empty() ? " (no filters)" : " in " + c.filters[0]));
        OpenFilterList = c.filters;
        EXPECT_EQ(IsAcceptedExtension(c.ext), c.accepted);
    }
}

TEST_F(MediaProbeTest, FileExtension)
{
    struct Case {
        const char* path;
        const char* ext;
    } cases[] = {
        {"/a/b/clip.avi", ".avi"},  {"/a/b/clip.tar.GZ", ".GZ"}, {"/a/b.d/clip", ""},
        {"clip", ""},               {"/a/.hidden", ".hidden"},   {"/a/clip.", "."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FileExtension(c.path), c.ext) << c.path;
}

TEST_F(MediaProbeTest, ExtensionRuleAppliesWhenAdding)
{
    const std::string upper = CopyAs("av.avi", "UPPER.AVI");
    const std::string mp = CopyAs("video.mpg", "short.mp");
    OpenFilterList = {"Video Files=*.avi;*.mpg;*.mpeg"};
    Add(upper);
    Add(mp);
    EXPECT_EQ(list.Count(), 2u);
    OpenFilterList.clear();
    Add(CopyAs("av.avi", "other.avi"));
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(MediaProbeTest, OpenFilter)
{
    OpenFilterList = {"A=*.avi", "B=*.mpg"};
    EXPECT_EQ(BuildOpenFilter(), "A|*.avi|B|*.mpg|All Files|*.*");
    OpenFilterList.clear();
    EXPECT_EQ(BuildOpenFilter(), "All Files|*.*");
    SetCatalogueText(CatalogueIndex("STR_AllFiles"), "Alle Dateien");
    OpenFilterList = {"Video Files=*.avi;*.mpg"};
    EXPECT_EQ(BuildOpenFilter(), "Video Files|*.avi;*.mpg|Alle Dateien|*.*");
    ResetCatalogue();
}

} // namespace
