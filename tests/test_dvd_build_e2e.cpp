// Step 5 for real: two small PAL DVD clips, the structure file without menus,
// the installed DVD author adapter (and through it dvdauthor), read back with
// libdvdread. Also the adapter on its own: bad arguments and a missing title.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <thread>
#include <cstdarg>
#include <filesystem>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>

#include "app/Globals.h"
#include "authoring/DvdBuild.h"
#include "authoring/DvdXmlWriter.h"
#include "lang/Catalogue.h"
#include "project/PipelineViews.h"
#include "support/TempFolder.h"
#include "support/TestLoop.h"
#include "transcode/Redirector.h"

extern char** environ;

using namespace tl;
using tl::test::TempFolder;
using tl::test::TestLoop;
namespace fs = std::filesystem;

namespace {

const std::string kDist = std::string(TESSALINE_DIST_DIR) + "/";
const std::string kAdapter = kDist + "dvdauthoring.dll";
const std::string kResources = kDist + "resources/";

struct RunResult {
    int exitCode = -1;
    std::string output;  // standard output and error together
};

// Runs a program directly (no shell), standard output and error on one pipe.
// env: the whole environment, or empty for ours.
RunResult RunProgram(const std::vector<std::string>& args, const std::vector<std::string>& env = {})
{
    RunResult result;
    int fds[2];
    if (::pipe(fds) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", 0, 0);
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envCopy = env;
    std::vector<char*> envp;
    for (auto& e : envCopy)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), env.empty() ? environ : envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc == 0) {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
            result.output.append(buffer, static_cast<std::size_t>(n));
        int status = 0;
        ::waitpid(pid, &status, 0);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    ::close(fds[0]);
    return result;
}

// A PAL DVD program stream of the given length, made the way the transcoder
// makes titles.
void MakeClip(const std::string& path, int seconds)
{
    const std::string d = std::to_string(seconds);
    const RunResult r = RunProgram({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                             "testsrc=s=720x576:r=25:d=" + d, "-f", "lavfi", "-i", "sine=r=48000:d=" + d,
                             "-target", "pal-dvd", "-aspect", "4:3", path});
    ASSERT_EQ(r.exitCode, 0) << r.output;
}

// Clips are made once and copied into each run's folder.
const TempFolder& Clips()
{
    static const TempFolder clips("tl-clips");
    static const bool made = [] {
        MakeClip(clips.Dir() + "two.mpg", 2);
        MakeClip(clips.Dir() + "three.mpg", 3);
        return true;
    }();
    (void)made;
    return clips;
}

struct FakeMain : MainView {
    std::vector<bool> locks;
    std::vector<std::string> status;
    std::vector<PipelineMessage> posted;
    void LockUserInterface(bool lock) override { locks.push_back(lock); }
    void SetStatusText(const std::string& text) override { status.push_back(text); }
    void PostPipelineMessage(PipelineMessage message) override { posted.push_back(message); }
};

struct FakeDialog : AuthoringView {
    std::vector<int> progress;
    std::vector<int> steps;
    void SetupStep(int step) override { steps.push_back(step); }
    void SetCaption(const std::string&) override {}
    void SetInfo(const std::string&) override {}
    void SetProgress(int percent) override { progress.push_back(percent); }
    int Progress() const override { return progress.empty() ? 0 : progress.back(); }
    void StartElapsedTimer() override {}
    DialogResult ShowModal() override { return DialogResult::None; }
    void ShowModeless() override {}
    void Close() override {}
    bool IsShowing() const override { return true; }
};

// Playback seconds of every title, in title order, as a player reads them.
std::vector<double> TitleLengths(const std::string& discFolder)
{
    std::vector<double> lengths;
    // The reader's own chatter (no CSS library, no device name) is not ours.
    static const dvd_logger_cb quiet{[](void*, dvd_logger_level_t, const char*, va_list) {}};
    dvd_reader_t* dvd = DVDOpen2(nullptr, &quiet, discFolder.c_str());
    if (!dvd)
        return lengths;
    if (ifo_handle_t* vmg = ifoOpen(dvd, 0)) {
        for (int i = 0; vmg->tt_srpt && i < vmg->tt_srpt->nr_of_srpts; ++i) {
            const title_info_t& title = vmg->tt_srpt->title[i];
            ifo_handle_t* vts = ifoOpen(dvd, title.title_set_nr);
            if (!vts) {
                lengths.push_back(-1);
                continue;
            }
            const int pgcn = vts->vts_ptt_srpt->title[title.vts_ttn - 1].ptt[0].pgcn;
            const dvd_time_t& t = vts->vts_pgcit->pgci_srp[pgcn - 1].pgc->playback_time;
            auto bcd = [](unsigned v) { return static_cast<int>((v >> 4) * 10 + (v & 0x0f)); };
            const double fps = (t.frame_u >> 6) == 1 ? 25.0 : 29.97;
            lengths.push_back(bcd(t.hour) * 3600 + bcd(t.minute) * 60 + bcd(t.second) + bcd(t.frame_u & 0x3f) / fps);
            ifoClose(vts);
        }
        ifoClose(vmg);
    }
    DVDClose(dvd);
    return lengths;
}

std::set<std::string> Names(const fs::path& folder)
{
    std::set<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.insert(it->path().filename().string());
    return names;
}

// Runs step 5 for the titles in tempDir until it hands over to burning.
struct StepRun {
    TestLoop loop;
    FakeMain main;
    FakeDialog dialog;
    DvdBuildStep step{loop, main};

    explicit StepRun(const std::string& tempDir, int titles)
    {
        Options.TempDir = tempDir;
        Options.TitleCount = titles;
        Options.DvdAuthorPath = kAdapter;
        Options.ProcessPriority = 1;
        // An unfinished line left by an earlier tool must not reach this run.
        Options.OutputCarry = "STAT: Processing " + tempDir + "1.mpg";
        step.SetDialog(&dialog);
        step.Start();
    }
    bool WaitForBurn()
    {
        return loop.RunUntil([&] { return !main.posted.empty() && !step.IsRunning(); }, std::chrono::seconds(120));
    }
};

} // namespace

TEST(DvdBuildE2E, AuthorsTwoTitlesInOrder)
{
    ResetCatalogue();
    const TempFolder& clips = Clips();
    ASSERT_FALSE(HasFatalFailure());
    // A plain folder, and one whose name would break an unescaped structure
    // file or a naively quoted command line.
    for (const std::string name : {"plain", "a b&c \"q\" 'x' <y> Grüße ñ"}) {
        TempFolder base;
        const std::string t = base.Dir() + name + "/";
        fs::create_directories(t);
        fs::copy_file(clips.Path() / "two.mpg", t + "0.mpg");
        fs::copy_file(clips.Path() / "three.mpg", t + "1.mpg");
        WriteNoMenuDvdXml(t, kResources, 2);

        StepRun run(t, 2);
        ASSERT_TRUE(run.WaitForBurn()) << name;

        const std::string disc = t + "DVD_DISC1";
        EXPECT_EQ(run.step.DiscOutputFolder(), disc);
        EXPECT_TRUE(run.step.CreatedDiscOutputFolder());
        const std::set<std::string> files = Names(disc + "/VIDEO_TS");
        for (const char* f : {"VIDEO_TS.IFO", "VIDEO_TS.VOB", "VIDEO_TS.BUP", "VTS_01_0.IFO", "VTS_01_0.BUP",
                              "VTS_01_1.VOB"})
            EXPECT_TRUE(files.count(f)) << name << ": " << f;
        EXPECT_TRUE(CheckVideoTs(disc + "/VIDEO_TS")) << name;
        EXPECT_EQ(run.step.Runner()->ExitCode(), 0) << name;

        // The titles and the structure file are gone; only the disc stays.
        EXPECT_EQ(Names(t), std::set<std::string>{"DVD_DISC1"}) << name;

        EXPECT_EQ(run.main.posted, std::vector<PipelineMessage>{WM_BURN_DISC}) << name;
        EXPECT_EQ(run.main.status, (std::vector<std::string>{Text("STR_PROCESSOTHER_BurnDVDStep5"),
                                                             Text("STR_PROCESSOTHER_BurnDVDStep6")}))
            << name;
        EXPECT_EQ(run.dialog.steps, (std::vector<int>{5, 6})) << name;
        // 0 at the start, 20 for the adapter's own line (its stream may be read
        // before or after dvdauthor's), 50 and 100 for the titles, 100 for the
        // video manager's empty.mpg and 100 at the end.
        std::vector<int> progress = run.dialog.progress;
        EXPECT_EQ(std::count(progress.begin(), progress.end(), 20), 1) << name;
        std::erase(progress, 20);
        EXPECT_EQ(progress, (std::vector<int>{0, 50, 100, 100, 100})) << name;

        const std::vector<double> lengths = TitleLengths(disc);
        ASSERT_EQ(lengths.size(), 2u) << name;
        EXPECT_NEAR(lengths[0], 2.0, 0.3) << name;
        EXPECT_NEAR(lengths[1], 3.0, 0.3) << name;
    }
}

TEST(DvdBuildE2E, SecondRunTakesTheNextDiscFolder)
{
    const TempFolder& clips = Clips();
    ASSERT_FALSE(HasFatalFailure());
    TempFolder base;
    const std::string t = base.Dir();
    fs::create_directories(t + "DVD_DISC1");
    fs::copy_file(clips.Path() / "two.mpg", t + "0.mpg");
    WriteNoMenuDvdXml(t, kResources, 1);
    StepRun run(t, 1);
    ASSERT_TRUE(run.WaitForBurn());
    EXPECT_EQ(run.step.DiscOutputFolder(), t + "DVD_DISC2");
    EXPECT_TRUE(CheckVideoTs(t + "DVD_DISC2/VIDEO_TS"));
    EXPECT_EQ(TitleLengths(t + "DVD_DISC2").size(), 1u);
}

TEST(DvdBuildE2E, KeptFailedTitleFailsAuthoringAndTheCheck)
{
    const TempFolder& clips = Clips();
    ASSERT_FALSE(HasFatalFailure());
    TempFolder base;
    const std::string t = base.Dir();
    // Title 1 failed to convert and the user went on: it is still listed.
    fs::copy_file(clips.Path() / "two.mpg", t + "0.mpg");
    WriteNoMenuDvdXml(t, kResources, 2);

    StepRun run(t, 2);
    ASSERT_TRUE(run.WaitForBurn());
    EXPECT_NE(run.step.Runner()->ExitCode(), 0);
    EXPECT_EQ(run.step.Runner()->InitialPriority(), 2);  // normal, from the fixed setting 1
    EXPECT_TRUE(run.step.Runner()->DefaultErrorMode());
    EXPECT_TRUE(run.step.Runner()->KillOnDestroy);
    EXPECT_FALSE(CheckVideoTs(run.step.DiscOutputFolder() + "/VIDEO_TS"));
    // The step still hands over: burning's check is what stops a broken disc.
    EXPECT_EQ(run.main.posted, std::vector<PipelineMessage>{WM_BURN_DISC});
    EXPECT_EQ(run.dialog.progress.back(), 100);
    EXPECT_EQ(Names(t), std::set<std::string>{"DVD_DISC1"});
}

TEST(DvdBuildE2E, ToolThatCannotStartRaisesAndPostsNothing)
{
    TempFolder base;
    WriteNoMenuDvdXml(base.Dir(), kResources, 1);
    TestLoop loop;
    FakeMain main;
    FakeDialog dialog;
    DvdBuildStep step(loop, main);
    step.SetDialog(&dialog);
    Options.TempDir = base.Dir();
    Options.TitleCount = 1;
    Options.DvdAuthorPath = base.Dir() + "no-such-tool.dll";
    EXPECT_THROW(step.Start(), std::exception);
    loop.RunFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(main.posted.empty());
    EXPECT_FALSE(step.IsRunning());
}

TEST(DvdBuildE2E, CancelledRunDoesNothing)
{
    TempFolder base;
    TestLoop loop;
    FakeMain main;
    bool cancelled = true;
    DvdBuildStep step(loop, main, [&] { return cancelled; });
    Options.TempDir = base.Dir();
    Options.TitleCount = 1;
    Options.DvdAuthorPath = kAdapter;
    step.Start();
    EXPECT_EQ(step.Runner(), nullptr);
    EXPECT_TRUE(Names(base.Path()).empty());
    EXPECT_TRUE(main.status.empty());
}

TEST(DvdAuthorAdapter, ReportsItsCommandLineAndFailures)
{
    const TempFolder& clips = Clips();
    ASSERT_FALSE(HasFatalFailure());
    TempFolder base;
    const std::string t = base.Dir();
    fs::copy_file(clips.Path() / "two.mpg", t + "0.mpg");
    WriteNoMenuDvdXml(t, kResources, 2);  // 1.mpg is missing

    const RunResult failed = RunProgram({kAdapter, "-o", t + "OUT", "-x", t + "dvd.xml"});
    EXPECT_NE(failed.exitCode, 0);
    EXPECT_EQ(failed.output.rfind("\"" + kAdapter + "\" -o \"" + t + "OUT\" -x \"" + t + "dvd.xml\"\n", 0), 0u)
        << failed.output;
    EXPECT_NE(failed.output.find("ERR:"), std::string::npos) << failed.output;
    EXPECT_NE(failed.output.find("\nError"), std::string::npos) << failed.output;

    const std::vector<std::vector<std::string>> bad = {
        {kAdapter},
        {kAdapter, "-o", t + "OUT"},
        {kAdapter, "-x", t + "dvd.xml", "-o", t + "OUT"},
        {kAdapter, "-o", t + "OUT", "-x", t + "dvd.xml", "extra"},
        {kAdapter, "-o", "", "-x", t + "dvd.xml"},
    };
    for (const auto& args : bad) {
        const RunResult r = RunProgram(args);
        EXPECT_EQ(r.exitCode, 2) << args.size();
        EXPECT_EQ(r.output.rfind("Error", 0), 0u) << r.output;
    }
}

// ---- the adapter with a stand-in dvdauthor -----------------------------------------

namespace {

// A folder holding "dvdauthor" (the stand-in), to be the only PATH entry.
struct FakeDvdauthor {
    TempFolder dir{"tl-fake-dvdauthor"};
    std::string pidFile = dir.Dir() + "pid";
    FakeDvdauthor()
    {
        fs::create_symlink(std::string(TESSALINE_TEST_BIN_DIR) + "/fake_dvdauthor", dir.Path() / "dvdauthor");
    }
    std::vector<std::string> Env(const std::string& mode, bool withVideoFormat = false) const
    {
        std::vector<std::string> env = {"PATH=" + dir.Path().string(), "FAKE_DVDAUTHOR_PID=" + pidFile};
        if (!mode.empty())
            env.push_back("FAKE_DVDAUTHOR_MODE=" + mode);
        if (withVideoFormat)
            env.push_back("VIDEO_FORMAT=NTSC");
        return env;
    }
};

// Alive and not a zombie waiting for its parent.
bool Alive(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return false;
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

// Waits (without asserting on time) until pred holds; false after 20 s.
bool WaitFor(const std::function<bool()>& pred)
{
    for (int i = 0; i < 2000; ++i) {
        if (pred())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pred();
}

} // namespace

TEST(DvdAuthorAdapter, PassesArgumentsEnvironmentAndExitCodeThrough)
{
    FakeDvdauthor fake;
    struct Case {
        const char* name;
        std::string mode;
        bool videoFormatSet;
        int exitCode;
        const char* videoFormat;
    };
    const Case cases[] = {
        {"success, default TV system", "", false, 0, "PAL"},
        {"a TV system already chosen stays", "", true, 0, "NTSC"},
        {"failure code passed on", "exit 3", false, 3, "PAL"},
    };
    for (const auto& c : cases) {
        const RunResult r = RunProgram({kAdapter, "-o", "/d/DVD_DISC1", "-x", "/t/dvd.xml"},
                                       fake.Env(c.mode, c.videoFormatSet));
        EXPECT_EQ(r.exitCode, c.exitCode) << c.name;
        EXPECT_NE(r.output.find("ARGS: [-o] [/d/DVD_DISC1] [-x] [/t/dvd.xml]\n"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find(std::string("VIDEO_FORMAT=") + c.videoFormat + "\n"), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("\nError") != std::string::npos, c.exitCode != 0) << r.output;
    }
}

TEST(DvdAuthorAdapter, WithoutDvdauthorFailsVisibly)
{
    TempFolder emptyPath;
    const RunResult r = RunProgram({kAdapter, "-o", "/d/X", "-x", "/t/dvd.xml"}, {"PATH=" + emptyPath.Path().string()});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("\nError: cannot run dvdauthor"), std::string::npos) << r.output;
}

TEST(DvdAuthorAdapter, DvdauthorDiesWithTheAdapter)
{
    for (int sig : {SIGTERM, SIGKILL}) {
        FakeDvdauthor fake;
        std::vector<std::string> args = {kAdapter, "-o", "/d/X", "-x", "/t/dvd.xml"};
        std::vector<std::string> env = fake.Env("hang");
        std::vector<char*> argv, envp;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t adapter = 0;
        ASSERT_EQ(posix_spawn(&adapter, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);

        ASSERT_TRUE(WaitFor([&] { return fs::exists(fake.pidFile); })) << "stand-in never started";
        pid_t child = 0;
        std::ifstream(fake.pidFile) >> child;
        ASSERT_GT(child, 0);
        ASSERT_TRUE(Alive(child));

        ::kill(adapter, sig);
        int status = 0;
        ::waitpid(adapter, &status, 0);
        EXPECT_TRUE(WaitFor([&] { return !Alive(child); })) << "dvdauthor outlived the adapter, signal " << sig;
        if (Alive(child))
            ::kill(child, SIGKILL);
    }
}
