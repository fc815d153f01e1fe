// Step 1 as the program runs it (the conversion run, ~convert.bat through our
// interpreter, the adapter, the report parser) against the same two ffmpeg
// commands run directly, on a 60-second 1280x720 clip.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "BenchLoop.h"
#include "app/Globals.h"
#include "platform/UserPrompts.h"
#include "project/MediaProbe.h"
#include "project/PipelineViews.h"
#include "project/TitleList.h"
#include "transcode/ConversionRun.h"
#include "transcode/Redirector.h"

namespace fs = std::filesystem;

namespace {

struct NoMain : tl::MainView {
    void LockUserInterface(bool) override {}
    void SetStatusText(const std::string&) override {}
    void PostPipelineMessage(tl::PipelineMessage) override {}
};

struct Dialog : tl::ConversionView {
    tl::bench::Loop& loop;
    bool showing = false;
    explicit Dialog(tl::bench::Loop& l) : loop(l) {}
    void SetCaption(const std::string&) override {}
    void SetLabel(tl::ConvLabel, const std::string&) override {}
    void SetBar(tl::ConvBar, int) override {}
    tl::DialogResult ShowModal() override
    {
        showing = true;
        loop.RunUntil([this] { return !showing; });
        return tl::DialogResult::Ok;
    }
    void Close(tl::DialogResult) override { showing = false; }
    bool IsShowing() const override { return showing; }
};

struct Silent : tl::UserPrompts {
    tl::MsgResult Message(const std::string& text, const std::string&, tl::MsgKind, tl::MsgButtons) override
    {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return tl::MsgResult::Ok;
    }
    tl::MsgResult ButtonCaptionDialog(const std::string&, const std::string&, tl::MsgKind,
                                      const std::vector<std::string>&, tl::MsgButtons) override
    {
        return tl::MsgResult::Cancel;
    }
    void ShowError(const std::string& text) override { std::fprintf(stderr, "error: %s\n", text.c_str()); }
};

int Run(const std::string& command)
{
    return std::system(command.c_str());
}

double Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main()
{
    const fs::path work = fs::temp_directory_path() / ("tl-bench-step1-" + std::to_string(::getpid()));
    fs::create_directories(work / "direct");
    fs::create_directories(work / "run");
    const std::string clip = (work / "clip.mp4").string();
    if (Run("ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc2=s=1280x720:r=25:d=60 "
            "-f lavfi -i sine=f=440:d=60 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest '" +
            clip + "'") != 0) {
        std::fprintf(stderr, "cannot make the clip\n");
        return 1;
    }

    // The equivalent commands, run directly: the conversion and the thumbnail.
    const std::string fit = "scale=w='if(gte(dar,4/3),720,2*trunc(720*dar/(4/3)/2+0.5))':"
                            "h='if(gte(dar,4/3),2*trunc(576*(4/3)/dar/2+0.5),576)',"
                            "pad=720:576:(ow-iw)/2:(oh-ih)/2:black,setsar=16/15";
    const std::string direct = (work / "direct").string() + "/";
    auto start = std::chrono::steady_clock::now();
    Run("ffmpeg -nostdin -hide_banner -loglevel error -y -i 'file:" + clip + "' -filter_complex \"[0:0]" + fit +
        "[v]\" -map '[v]' -map 0:1 -target pal-dvd -b:v 6400k -maxrate 9000k -bufsize 1835k -aspect 4:3 'file:" +
        direct + "0.mpg'");
    Run("ffmpeg -nostdin -hide_banner -loglevel error -y -ss 1 -i 'file:" + clip +
        "' -frames:v 1 -s 150x114 -f image2 -update 1 'file:" + direct + "0.jpg'");
    const double directSeconds = Since(start);

    // Step 1 of the program.
    tl::InitPaths(TESSALINE_DIST_DIR "/");
    tl::Options = tl::TOptions{};
    tl::Options.TranscoderPath = tl::InstallDir + "transcoder.dll";
    tl::Options.TempDir = (work / "run").string() + "/";
    tl::EnsureUtf8Locale();
    tl::OpenFilterList = {"Video=*.mp4"};
    tl::bench::Loop loop;
    Silent prompts;
    NoMain mainView;
    Dialog dialog(loop);
    tl::TitleList titles;
    tl::AddSourceFile(titles, clip, prompts, loop);
    if (titles.Count() != 1) {
        std::fprintf(stderr, "the clip was not accepted\n");
        return 1;
    }
    tl::TRedirector runner(loop);
    bool cancelled = false;
    std::vector<std::string> pending;
    tl::ConversionRun run(loop, prompts, mainView, dialog, titles, runner, cancelled, pending);
    start = std::chrono::steady_clock::now();
    run.Start();
    loop.RunUntil([&] { return !runner.IsActive(); });
    const double stepSeconds = Since(start);

    const bool ok = fs::exists(work / "run" / "0.mpg") && fs::exists(work / "run" / "0.jpg") &&
                    tl::Options.DoneCount == 1;
    std::error_code ec;
    fs::remove_all(work, ec);
    if (!ok) {
        std::fprintf(stderr, "step 1 did not convert the clip\n");
        return 1;
    }
    std::printf("ffmpeg_seconds=%.2f\nstep1_seconds=%.2f\nstep1_vs_ffmpeg_ratio=%.3f\n", directSeconds, stepSeconds,
                stepSeconds / directSeconds);
    return 0;
}
