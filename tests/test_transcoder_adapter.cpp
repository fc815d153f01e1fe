// The transcoder adapter (dist/transcoder.dll) run as the conversion batch file
// runs it: real ffmpeg/ffprobe on tiny generated clips, results checked with
// ffprobe and pixel samples, and its console report read with the program's
// own report parser.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/TempFolder.h"
#include "transcode/TranscodeParser.h"

namespace fs = std::filesystem;

namespace {

const std::string kAdapter = std::string(TESSALINE_DIST_DIR) + "/transcoder.dll";
const std::string kCode = "4061775";

// ---- running programs -------------------------------------------------------

struct ChildOptions {
    std::string workDir;
    std::string pathPrefix;  // folder put in front of PATH (fake tools)
    bool mergeStderr = true; // stderr into the same pipe as stdout
};

// A started program whose output we read; reaped on destruction.
class Program {
public:
    Program(const std::vector<std::string>& argv, const ChildOptions& options = {})
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            if (!options.workDir.empty() && chdir(options.workDir.c_str()) != 0)
                _exit(126);
            if (!options.pathPrefix.empty()) {
                const char* path = std::getenv("PATH");
                const std::string value = options.pathPrefix + ":" + (path ? path : "/usr/bin:/bin");
                setenv("PATH", value.c_str(), 1);
            }
            const int input = open("/dev/null", O_RDONLY);
            dup2(input, STDIN_FILENO);
            dup2(fds[1], STDOUT_FILENO);
            if (options.mergeStderr) {
                dup2(fds[1], STDERR_FILENO);
            } else {
                const int null = open("/dev/null", O_WRONLY);
                dup2(null, STDERR_FILENO);
            }
            std::vector<char*> args;
            for (const std::string& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        close(fds[1]);
        fd_ = fds[0];
    }
    ~Program()
    {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            Wait();
        }
        if (fd_ >= 0)
            close(fd_);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    pid_t Pid() const { return pid_; }

    // Reads until `text` has appeared in the output (true) or the output ends;
    // an empty text reads to the end.
    bool ReadUntil(const std::string& text)
    {
        char buffer[4096];
        while (text.empty() || output_.find(text) == std::string::npos) {
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            output_.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }
    void ReadAll() { ReadUntil({}); }

    // Waits for the end; the exit code, or 128 + signal.
    int Wait()
    {
        ReadAll();
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    const std::string& Output() const { return output_; }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    bool reaped_ = false;
    std::string output_;
};

struct Result {
    int exitCode = -1;
    std::string output;
    std::vector<std::string> lines;
};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

Result RunProgram(const std::vector<std::string>& argv, const ChildOptions& options = {})
{
    Program program(argv, options);
    Result r;
    r.exitCode = program.Wait();
    r.output = program.Output();
    r.lines = Lines(r.output);
    return r;
}

void MustRun(const std::vector<std::string>& argv)
{
    const Result r = RunProgram(argv);
    ASSERT_EQ(r.exitCode, 0) << r.output;
}

Result Convert(const std::string& in, const std::string& out, const std::vector<std::string>& settings,
               const ChildOptions& options = {})
{
    std::vector<std::string> argv{kAdapter, "-p", kCode, "-i", in};
    argv.insert(argv.end(), settings.begin(), settings.end());
    argv.push_back(out);
    return RunProgram(argv, options);
}

const std::vector<std::string> kPal43{"-target", "pal-dvd", "-b", "6400k", "-aspect", "4:3"};

Result Thumbnail(const std::string& in, const std::string& out, const ChildOptions& options = {})
{
    return RunProgram({kAdapter, "-p", kCode, "-i", in, "-y", "-f", "image2", "-ss", "01.000", "-t", "0.001", "-s",
                "150x114", out},
               options);
}

// ---- reading the report as the program does ---------------------------------

// The lines the program's parser takes for failures (each line's predecessor
// as P, as if the whole report came in one chunk).
std::vector<std::string> ErrorLines(const std::vector<std::string>& lines)
{
    std::vector<std::string> errors;
    std::string previous;
    for (const std::string& line : lines) {
        if (line.find_first_not_of(' ') != std::string::npos && tl::IsErrorLine(line, previous))
            errors.push_back(line);
        previous = line;
    }
    return errors;
}

struct ReportValues {
    std::optional<std::string> inputName;
    std::optional<std::int32_t> durationMs;
    std::optional<std::int32_t> lastPositionMs;
    int progressLines = 0;
};

ReportValues ReadReport(const std::vector<std::string>& lines)
{
    ReportValues v;
    for (const std::string& line : lines) {
        if (auto name = tl::InputNameFromLine(line))
            v.inputName = name;
        if (auto ms = tl::DurationMsFromLine(line))
            v.durationMs = ms;
        if (line.find(" time=") != std::string::npos && line.find("size=") != std::string::npos) {
            ++v.progressLines;
            if (auto ms = tl::PositionMsFromLine(line))
                v.lastPositionMs = ms;
        }
    }
    return v;
}

// A successful run: exit 0, a report the parser reads fully, no failure in it.
void ExpectCleanReport(const Result& r, const std::string& inputShown, std::int32_t durationMs)
{
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(ErrorLines(r.lines).empty()) << r.output;
    const ReportValues v = ReadReport(r.lines);
    EXPECT_EQ(v.inputName.value_or("<none>"), inputShown) << r.output;
    ASSERT_TRUE(v.durationMs) << r.output;
    EXPECT_NEAR(*v.durationMs, durationMs, 100);
    EXPECT_GT(v.progressLines, 0) << r.output;
}

// ---- checking results -------------------------------------------------------

using Fields = std::map<std::string, std::string>;

std::vector<Fields> Streams(const std::string& file)
{
    const Result r = RunProgram({"ffprobe", "-v", "error", "-show_entries",
                          "stream=codec_type,codec_name,width,height,r_frame_rate,sample_rate,display_aspect_ratio",
                          "-of", "default", "file:" + file},
                         {{}, {}, false});
    std::vector<Fields> streams;
    for (const std::string& line : r.lines) {
        if (line == "[STREAM]")
            streams.emplace_back();
        else if (const auto eq = line.find('='); eq != std::string::npos && !streams.empty())
            streams.back()[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return streams;
}

std::optional<Fields> StreamOf(const std::vector<Fields>& streams, const std::string& type)
{
    for (const Fields& s : streams)
        if (s.count("codec_type") && s.at("codec_type") == type)
            return s;
    return std::nullopt;
}

// One picture of a video file (at `at` seconds; a still image: nullptr) as
// 8-bit luma, width x height.
struct Luma {
    int width = 0;
    int height = 0;
    std::string pixels;
    // Mean luma of the rectangle [x0, x1) x [y0, y1).
    double Mean(int x0, int y0, int x1, int y1) const
    {
        double sum = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                sum += static_cast<unsigned char>(pixels[static_cast<std::size_t>(y * width + x)]);
        return sum / ((x1 - x0) * (y1 - y0));
    }
};

Luma Picture(const std::string& file, int width, int height, const char* at = "0.5")
{
    std::vector<std::string> argv{"ffmpeg", "-nostdin", "-v", "error"};
    if (at)
        argv.insert(argv.end(), {"-ss", at});
    argv.insert(argv.end(), {"-i", "file:" + file, "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "gray", "pipe:1"});
    const Result r = RunProgram(argv, {{}, {}, false});
    Luma l{width, height, r.output};
    if (l.pixels.size() != static_cast<std::size_t>(width * height))
        ADD_FAILURE() << file << ": expected a " << width << "x" << height << " picture, got " << r.output.size()
                      << " bytes";
    return l;
}

std::vector<std::string> FolderEntries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool ProcessAlive(pid_t pid)
{
    // A zombie still answers kill(); it has ended all the same.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    const auto close = text.rfind(')');
    return !text.empty() && close != std::string::npos && text.substr(close + 2, 1) != "Z";
}

// Children of pid (from /proc).
std::vector<pid_t> ChildrenOf(pid_t pid)
{
    std::vector<pid_t> children;
    for (const auto& e : fs::directory_iterator("/proc")) {
        const std::string name = e.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(e.path() / "stat");
        std::string text;
        std::getline(stat, text);
        const auto close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(text.substr(close + 2));
        std::string state;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == pid && state != "Z")
            children.push_back(std::stoi(name));
    }
    return children;
}

// Waits (generously) for a process to end; not a timing check.
bool EndsSoon(pid_t pid)
{
    for (int i = 0; i < 200; ++i) {
        if (!ProcessAlive(pid))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// ---- the clips ----------------------------------------------------------------

class TranscoderAdapter : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        clips_ = std::make_unique<tl::test::TempFolder>("tl-transcoder-clips");
        const std::string d = clips_->Dir();
        const std::vector<std::string> head{"ffmpeg", "-nostdin", "-v", "error", "-y"};
        auto make = [&](std::vector<std::string> args) {
            args.insert(args.begin(), head.begin(), head.end());
            MustRun(args);
        };
        // 4:3 picture with sound, 2 s.
        make({"-f", "lavfi", "-i", "testsrc=s=320x240:r=25:d=2", "-f", "lavfi", "-i", "sine=f=440:d=2", "-c:v",
              "mpeg4", "-c:a", "aac", "-shortest", d + "full.mp4"});
        // 16:9 picture with sound, 1 s.
        make({"-f", "lavfi", "-i", "testsrc=s=640x360:r=25:d=1", "-f", "lavfi", "-i", "sine=d=1", "-c:v", "mpeg4",
              "-c:a", "aac", "-shortest", d + "wide.mp4"});
        make({"-f", "lavfi", "-i", "testsrc=s=320x240:r=25:d=1", "-c:v", "mpeg4", d + "video-only.mp4"});
        make({"-f", "lavfi", "-i", "sine=f=1000:d=1", "-c:a", "pcm_s16le", d + "audio-only.wav"});
        // Shorter than the thumbnail's seek point.
        make({"-f", "lavfi", "-i", "testsrc=s=320x240:r=25:d=0.4", "-c:v", "mpeg4", d + "short.mp4"});
        clips_->Write("text.avi", "this is not a video\n");
        clips_->Write("empty.avi", "");
        // Cut before its index (which mp4 keeps at the end): unreadable.
        const std::string whole = tl::test::TempFolder::Read(d + "full.mp4");
        clips_->Write("truncated.mp4", whole.substr(0, whole.size() / 2));
    }
    static void TearDownTestSuite() { clips_.reset(); }

    static std::string Clip(const std::string& name) { return clips_->Dir() + name; }

    tl::test::TempFolder out_{"tl-transcoder-out"};
    std::string Out(const std::string& name) const { return out_.Dir() + name; }

    static std::unique_ptr<tl::test::TempFolder> clips_;
};

std::unique_ptr<tl::test::TempFolder> TranscoderAdapter::clips_;

// ---- conversion ----------------------------------------------------------------

struct DvdCase {
    std::vector<std::string> settings;
    int height;
    const char* rate;
    const char* aspect;
};

TEST_F(TranscoderAdapter, ConvertsToDvdVideoForEachTvSystemAndAspect)
{
    const std::vector<DvdCase> cases{
        {kPal43, 576, "25/1", "4:3"},
        {{"-target", "ntsc-dvd", "-b", "6400k", "-aspect", "16:9"}, 480, "30000/1001", "16:9"},
        // Settings out of range render no -target/-aspect: PAL, and the aspect nearer the source's.
        {{"-b", "6400k"}, 576, "25/1", "4:3"},
    };
    for (const DvdCase& c : cases) {
        SCOPED_TRACE(c.settings.front() + " " + c.settings[1]);
        const std::string out = Out("0.mpg");
        const Result r = Convert(Clip("full.mp4"), out, c.settings);
        ExpectCleanReport(r, Clip("full.mp4"), 2000);
        const ReportValues v = ReadReport(r.lines);
        EXPECT_NEAR(v.lastPositionMs.value_or(0), 2000, 200) << "progress must reach the end";

        const auto streams = Streams(out);
        const auto video = StreamOf(streams, "video");
        const auto audio = StreamOf(streams, "audio");
        ASSERT_TRUE(video && audio) << r.output;
        EXPECT_EQ(video->at("codec_name"), "mpeg2video");
        EXPECT_EQ(video->at("width"), "720");
        EXPECT_EQ(video->at("height"), std::to_string(c.height));
        EXPECT_EQ(video->at("r_frame_rate"), c.rate);
        EXPECT_EQ(video->at("display_aspect_ratio"), c.aspect);
        EXPECT_EQ(audio->at("sample_rate"), "48000");
        EXPECT_EQ(FolderEntries(out_.Path()), std::vector<std::string>{"0.mpg"}) << "no temporary file left";
    }
}

TEST_F(TranscoderAdapter, KeepsThePictureShapeWithBlackBars)
{
    // 16:9 into a 4:3 frame: bars above and below.
    const std::string letterbox = Out("letterbox.mpg");
    ASSERT_EQ(Convert(Clip("wide.mp4"), letterbox, kPal43).exitCode, 0);
    const Luma l = Picture(letterbox, 720, 576);
    if (!l.pixels.empty()) {
        EXPECT_LT(l.Mean(0, 0, 720, 60), 24.0) << "top bar";
        EXPECT_LT(l.Mean(0, 516, 720, 576), 24.0) << "bottom bar";
        EXPECT_GT(l.Mean(0, 100, 720, 476), 50.0) << "picture";
    }
    // 4:3 into a 16:9 frame: bars left and right.
    const std::string pillarbox = Out("pillarbox.mpg");
    ASSERT_EQ(Convert(Clip("full.mp4"), pillarbox, {"-target", "pal-dvd", "-b", "6400k", "-aspect", "16:9"}).exitCode,
              0);
    const Luma p = Picture(pillarbox, 720, 576);
    if (!p.pixels.empty()) {
        EXPECT_LT(p.Mean(0, 0, 70, 576), 24.0) << "left bar";
        EXPECT_LT(p.Mean(650, 0, 720, 576), 24.0) << "right bar";
        EXPECT_GT(p.Mean(110, 0, 610, 576), 50.0) << "picture";
    }
    // Without -aspect a 16:9 source gets the 16:9 frame, so no bars at all.
    const std::string chosen = Out("chosen.mpg");
    ASSERT_EQ(Convert(Clip("wide.mp4"), chosen, {"-target", "pal-dvd", "-b", "6400k"}).exitCode, 0);
    const auto video = StreamOf(Streams(chosen), "video");
    ASSERT_TRUE(video);
    EXPECT_EQ(video->at("display_aspect_ratio"), "16:9");
}

TEST_F(TranscoderAdapter, MakesUpTheMissingPictureOrSound)
{
    const std::string fromAudio = Out("from-audio.mpg");
    const Result a = Convert(Clip("audio-only.wav"), fromAudio, kPal43);
    ExpectCleanReport(a, Clip("audio-only.wav"), 1000);
    const auto streamsA = Streams(fromAudio);
    ASSERT_TRUE(StreamOf(streamsA, "video")) << "audio-only source gets a picture";
    EXPECT_EQ(StreamOf(streamsA, "video")->at("width"), "720");
    ASSERT_TRUE(StreamOf(streamsA, "audio"));
    EXPECT_EQ(StreamOf(streamsA, "audio")->at("sample_rate"), "48000");
    const Luma black = Picture(fromAudio, 720, 576, "0.2");
    if (!black.pixels.empty()) {
        EXPECT_LT(black.Mean(0, 0, 720, 576), 24.0);
    }

    const std::string fromVideo = Out("from-video.mpg");
    const Result v = Convert(Clip("video-only.mp4"), fromVideo, kPal43);
    ExpectCleanReport(v, Clip("video-only.mp4"), 1000);
    const auto streamsV = Streams(fromVideo);
    ASSERT_TRUE(StreamOf(streamsV, "audio")) << "video-only source gets a sound track";
    EXPECT_EQ(StreamOf(streamsV, "audio")->at("sample_rate"), "48000");
    EXPECT_EQ(StreamOf(streamsV, "video")->at("codec_name"), "mpeg2video");
}

TEST_F(TranscoderAdapter, AcceptsEveryBitRateTheSettingsOffer)
{
    // The settings slider goes from 64 to 9600 kbit/s; the encoder would refuse
    // a rate above the DVD peak rate, so the adapter lowers it.
    for (const char* rate : {"64k", "9600k"}) {
        SCOPED_TRACE(rate);
        const Result r = Convert(Clip("video-only.mp4"), Out("rate.mpg"), {"-target", "pal-dvd", "-b", rate});
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_TRUE(ErrorLines(r.lines).empty()) << r.output;
    }
}

TEST_F(TranscoderAdapter, FollowsTheAviSynthScriptToItsSource)
{
    const std::string script =
        out_.Write("DirectShow.avs", "DirectShowSource(\"" + Clip("full.mp4") + "\", audio=true)\r\n");
    const Result r = Convert(script, Out("0.mpg"), kPal43);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("Input #0, avs, from '" + script + "':"), std::string::npos) << r.output;
    ExpectCleanReport(r, script, 2000);
    EXPECT_TRUE(StreamOf(Streams(Out("0.mpg")), "video"));
}

// ---- thumbnail -------------------------------------------------------------------

TEST_F(TranscoderAdapter, WritesOneThumbnailOfTheAskedSize)
{
    struct Case {
        const char* clip;
        std::int32_t durationMs;
        bool black;
    };
    // A source shorter than 1 s gives its first picture; one without a picture a black one.
    for (const Case& c : {Case{"full.mp4", 2000, false}, Case{"short.mp4", 400, false},
                          Case{"audio-only.wav", 1000, true}}) {
        SCOPED_TRACE(c.clip);
        const std::string out = Out("0.jpg");
        const Result r = Thumbnail(Clip(c.clip), out);
        ExpectCleanReport(r, Clip(c.clip), c.durationMs);
        const auto video = StreamOf(Streams(out), "video");
        ASSERT_TRUE(video) << r.output;
        EXPECT_EQ(video->at("codec_name"), "mjpeg");
        EXPECT_EQ(video->at("width"), "150");
        EXPECT_EQ(video->at("height"), "114");
        const Luma l = Picture(out, 150, 114, nullptr);
        if (!l.pixels.empty()) {
            if (c.black) {
                EXPECT_LT(l.Mean(0, 0, 150, 114), 24.0);
            } else {
                EXPECT_GT(l.Mean(0, 0, 150, 114), 50.0);
            }
        }
        EXPECT_EQ(FolderEntries(out_.Path()), std::vector<std::string>{"0.jpg"});
        fs::remove(out);
    }
}

// ---- failures --------------------------------------------------------------------

// Every failure: non-zero exit, exactly one line the program takes for an
// error (it shows each in its own box), and no output file, not even one from
// an earlier run.
void ExpectOneFailure(const Result& r, const std::string& out, const std::string& expectedStart)
{
    EXPECT_NE(r.exitCode, 0) << r.output;
    const auto errors = ErrorLines(r.lines);
    ASSERT_EQ(errors.size(), 1u) << r.output;
    EXPECT_EQ(errors.front().rfind(expectedStart, 0), 0u) << errors.front();
    EXPECT_FALSE(fs::exists(out)) << r.output;
}

TEST_F(TranscoderAdapter, ReportsBrokenInputsAsOneErrorLine)
{
    const std::string noQuotes = out_.Write("noquotes.avs", "Version()\r\n");
    const std::string missingSource = out_.Write("missing.avs", "DirectShowSource(\"" + Clip("gone.avi") + "\")\r\n");
    struct Case {
        std::string input;
        std::string expectedStart;
    };
    const std::vector<Case> cases{
        {Clip("text.avi"), "Error while opening input file '" + Clip("text.avi") + "': Invalid data"},
        {Clip("empty.avi"), "Error while opening input file '" + Clip("empty.avi") + "'"},
        {Clip("truncated.mp4"), "Error while opening input file '" + Clip("truncated.mp4") + "'"},
        {Clip("no-such-file.avi"), "Error while opening input file '" + Clip("no-such-file.avi") +
                                       "': No such file or directory"},
        {clips_->Dir(), "Error while opening input file"},
        {noQuotes, "Error while opening input file '" + noQuotes + "': the AviSynth script names no source file"},
        {missingSource, "Error while opening input file '" + Clip("gone.avi") + "': No such file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        const std::string mpg = out_.Write("0.mpg", "left from an earlier run");
        ExpectOneFailure(Convert(c.input, mpg, kPal43), mpg, c.expectedStart);
        const std::string jpg = out_.Write("0.jpg", "left from an earlier run");
        ExpectOneFailure(Thumbnail(c.input, jpg), jpg, c.expectedStart);
    }
}

TEST_F(TranscoderAdapter, ReportsAnUnwritableOutput)
{
    const std::string out = Out("no-such-folder/0.mpg");
    const Result r = Convert(Clip("full.mp4"), out, kPal43);
    ExpectOneFailure(r, out, "Error while writing output file '" + out + "': No such file or directory");
    EXPECT_EQ(r.output.find(".tl-"), std::string::npos) << "the temporary name is not shown";
}

// A stand-in for ffmpeg in front of PATH (the real ffprobe still probes).
void WriteFakeFfmpeg(const tl::test::TempFolder& folder, const std::string& body)
{
    const std::string path = folder.Write("bin/ffmpeg", "#!/bin/sh\n" + body);
    fs::permissions(path, fs::perms::owner_all);
}

TEST_F(TranscoderAdapter, PassesSurvivedDecodingTroubleOnAsNotes)
{
    // ffmpeg at -loglevel error reports glitches it survives; right after the
    // stream mapping they must not look like a failure to the program.
    WriteFakeFfmpeg(out_, "echo 'Error while decoding stream #0:0: Invalid data found when processing input' >&2\n"
                          "echo '[mpeg4 @ 0x5588] ac-tex damaged at 3 7' >&2\n"
                          "for last; do :; done\n"
                          "printf 'data' > \"${last#file:}\"\n"
                          "printf 'frame=5\\ntotal_size=4\\nout_time_us=200000\\nprogress=end\\n'\n");
    const std::string out = Out("0.mpg");
    const Result r = Convert(Clip("full.mp4"), out, kPal43, {{}, out_.Dir() + "bin", true});
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(ErrorLines(r.lines).empty()) << r.output;
    EXPECT_TRUE(fs::exists(out));
}

TEST_F(TranscoderAdapter, TurnsAFailedOrSilentFfmpegIntoOneErrorLine)
{
    struct Case {
        const char* name;
        std::string script;
        std::string expectedStart;
    };
    const std::vector<Case> cases{
        {"fails after the mapping",
         "echo '[ac3 @ 0x1] something broke' >&2\necho 'Conversion failed!' >&2\nexit 1\n", "Error: Conversion failed!"},
        {"fails without a word", "exit 3\n", "Error: ffmpeg failed with exit code 3"},
        {"succeeds but writes nothing", "exit 0\n", "Error: nothing was written to"},
        {"dies of a signal", "kill -SEGV $$\n", "Error: ffmpeg was ended by signal 11"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFakeFfmpeg(out_, c.script);
        const std::string out = Out("0.mpg");
        ExpectOneFailure(Convert(Clip("full.mp4"), out, kPal43, {{}, out_.Dir() + "bin", true}), out,
                         c.expectedStart);
        EXPECT_EQ(FolderEntries(out_.Path()), std::vector<std::string>{"bin"}) << "no temporary file left";
    }
}

// ---- command line ------------------------------------------------------------------

TEST_F(TranscoderAdapter, RefusesBadCommandLinesWithoutRunningAnything)
{
    // Fake tools that leave a mark if anything is run at all.
    const std::string mark = Out("ran");
    for (const char* tool : {"bin/ffmpeg", "bin/ffprobe"}) {
        const std::string path = out_.Write(tool, "#!/bin/sh\ntouch '" + mark + "'\nexit 1\n");
        fs::permissions(path, fs::perms::owner_all);
    }
    const std::string in = Clip("full.mp4");
    const std::string out = Out("0.mpg");
    const std::vector<std::vector<std::string>> cases{
        {"-i", in, "-target", "pal-dvd", "-b", "6400k", out},                          // no access code
        {"-p", "4061776", "-i", in, "-target", "pal-dvd", "-b", "6400k", out},         // wrong access code
        {"-p", "", "-i", in, out},                                                     // empty access code
        {"-p", kCode, "-i", in, "-target", "pal-dvd", "-vcodec", "copy", "-b", "6400k", out}, // unknown option
        {"-p", kCode, "-i", in, "-target", "secam-dvd", out},                          // unknown target
        {"-p", kCode, "-i", in, "-aspect", "2.35", out},                               // unknown aspect
        {"-p", kCode, "-i", in, "-b", "lots", out},                                    // bad bit rate
        {"-p", kCode, "-i", in, "-f", "mp4", out},                                     // other output format
        {"-p", kCode, "-i", in, "-f", "image2", "-s", "150by114", out},                // bad size
        {"-p", kCode, "-i", in, "-target", "pal-dvd", "-f", "image2", out},            // mixed forms
        {"-p", kCode, "-i", in, "-target", "pal-dvd", "-b", "6400k"},                  // no output
        {"-p", kCode, "-target", "pal-dvd", out},                                      // no input
        {"-p", kCode, "-i", in, "extra", out},                                         // stray argument
        {"-p", kCode, "-i", in, "-b"},                                                 // option without value
    };
    for (const auto& args : cases) {
        std::string shown;
        for (const std::string& a : args)
            shown += a + " ";
        SCOPED_TRACE(shown);
        std::vector<std::string> argv{kAdapter};
        argv.insert(argv.end(), args.begin(), args.end());
        const Result r = RunProgram(argv, {{}, out_.Dir() + "bin", true});
        EXPECT_NE(r.exitCode, 0);
        ASSERT_EQ(r.lines.size(), 1u) << r.output;
        EXPECT_EQ(r.lines.front().rfind("Error", 0), 0u) << r.output;
        EXPECT_EQ(ErrorLines(r.lines).size(), 1u);
        EXPECT_FALSE(fs::exists(mark)) << "nothing may run";
        EXPECT_FALSE(fs::exists(out));
    }
    const Result noCode = RunProgram({kAdapter, "-p", "1234", "-i", in, out}, {{}, out_.Dir() + "bin", true});
    EXPECT_EQ(noCode.output, "Error: invalid access code\n");
}

TEST_F(TranscoderAdapter, TakesHostilePathsLiterally)
{
    // Shell syntax, quotes, non-ASCII letters and leading dashes in both paths;
    // any shell involved would run the `touch` commands.
    const std::vector<std::string> names{
        "my clip (1).mp4",
        "it's \"quoted\".mp4",
        "$(touch pwned1) & `touch pwned2`; touch pwned3 | x.mp4",
        "Ärger été 東京.mp4",
        "-rf --help.mp4",
        "%d file:x.mp4",
    };
    const fs::path folder = out_.Path() / "work $HOME;&";
    fs::create_directories(folder);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        fs::copy_file(Clip("full.mp4"), folder / name, fs::copy_options::overwrite_existing);
        const std::string base = name.substr(0, name.size() - 4);
        // Relative paths from inside the folder: the leading dash reaches the adapter as is.
        const ChildOptions inFolder{folder.string(), {}, true};
        const Result conversion = Convert(name, base + ".mpg", kPal43, inFolder);
        ExpectCleanReport(conversion, name, 2000);
        EXPECT_EQ(StreamOf(Streams((folder / (base + ".mpg")).string()), "video").value_or(Fields{})["codec_name"],
                  "mpeg2video");
        const Result thumbnail = Thumbnail(name, base + ".jpg", inFolder);
        ExpectCleanReport(thumbnail, name, 2000);
        // Read back under a plain name: ffprobe itself would take "%d" in an image name for a pattern.
        fs::copy_file(folder / (base + ".jpg"), out_.Path() / "check.jpg", fs::copy_options::overwrite_existing);
        EXPECT_EQ(StreamOf(Streams(Out("check.jpg")), "video").value_or(Fields{})["width"], "150");
        // And by full path.
        const Result full = Convert((folder / name).string(), (folder / (base + "-full.mpg")).string(), kPal43);
        ExpectCleanReport(full, (folder / name).string(), 2000);
    }
    fs::remove(Out("check.jpg"));
    for (const fs::path& place : {out_.Path(), folder, fs::current_path()})
        for (const char* mark : {"pwned1", "pwned2", "pwned3"})
            EXPECT_FALSE(fs::exists(place / mark)) << place / mark;
    EXPECT_EQ(FolderEntries(folder).size(), names.size() * 4) << "source, .mpg, .jpg and -full.mpg each; nothing else";
}

TEST_F(TranscoderAdapter, RefusesToOverwriteItsInput)
{
    const std::string copy = out_.Dir() + "source.mp4";
    fs::copy_file(Clip("full.mp4"), copy);
    const Result r = Convert(copy, copy, kPal43);
    EXPECT_NE(r.exitCode, 0);
    ASSERT_EQ(ErrorLines(r.lines).size(), 1u) << r.output;
    EXPECT_EQ(fs::file_size(copy), fs::file_size(Clip("full.mp4"))) << "the source is untouched";
}

// ---- ending the adapter ------------------------------------------------------------

TEST_F(TranscoderAdapter, TakesItsEncoderAlongWhenEnded)
{
    // A stand-in encoder that starts writing and then hangs.
    WriteFakeFfmpeg(out_, "for last; do :; done\n"
                          "printf 'partial' > \"${last#file:}\"\n"
                          "printf 'frame=1\\ntotal_size=7\\nout_time_us=40000\\nprogress=continue\\n'\n"
                          "exec sleep 120\n");
    for (int sig : {SIGTERM, SIGINT, SIGKILL}) {
        SCOPED_TRACE(strsignal(sig));
        const std::string out = Out("0.mpg");
        Program adapter({kAdapter, "-p", kCode, "-i", Clip("full.mp4"), "-target", "pal-dvd", "-b", "6400k", out},
                        {{}, out_.Dir() + "bin", true});
        ASSERT_TRUE(adapter.ReadUntil(" time=")) << adapter.Output();
        const std::vector<pid_t> encoder = ChildrenOf(adapter.Pid());
        ASSERT_EQ(encoder.size(), 1u);
        kill(adapter.Pid(), sig);
        const int exitCode = adapter.Wait();
        EXPECT_NE(exitCode, 0);
        EXPECT_TRUE(EndsSoon(encoder.front())) << "the encoder outlived the adapter";
        if (ProcessAlive(encoder.front()))
            kill(encoder.front(), SIGKILL);
        EXPECT_FALSE(fs::exists(out)) << "no output under the real name";
        if (sig != SIGKILL) {
            EXPECT_EQ(ErrorLines(Lines(adapter.Output())).size(), 1u) << adapter.Output();
            EXPECT_EQ(FolderEntries(out_.Path()), std::vector<std::string>{"bin"}) << "partial file removed";
        }
        for (const auto& e : fs::directory_iterator(out_.Path()))
            if (e.path().filename() != "bin")
                fs::remove(e.path());
    }
}

} // namespace

namespace {

TEST_F(TranscoderAdapter, RemovesTemporariesOfKilledAdaptersOnly)
{
    // A pid that has surely ended: a child that exited and was reaped.
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    ASSERT_GT(gone, 0);
    waitpid(gone, nullptr, 0);
    const std::string orphan = out_.Write(".tl-" + std::to_string(gone) + "-0.mpg", "partial");
    const std::string alive = out_.Write(".tl-" + std::to_string(getpid()) + "-1.mpg", "still being written");
    const std::string unrelated = out_.Write(".tl-notes.txt", "not ours");

    const Result r = Thumbnail(Clip("full.mp4"), Out("0.jpg"));
    EXPECT_EQ(r.exitCode, 0) << r.output;

    EXPECT_FALSE(fs::exists(orphan));
    EXPECT_TRUE(fs::exists(alive));
    EXPECT_TRUE(fs::exists(unrelated));
}

} // namespace
