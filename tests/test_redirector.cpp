#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/Error.h"
#include "app/Globals.h"
#include "support/TempFolder.h"
#include "support/TestLoop.h"
#include "transcode/OutputCarry.h"
#include "transcode/Redirector.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kTool = TESSALINE_TEST_BIN_DIR "/fake_tool";

std::string ToolLine(const std::string& arguments)
{
    return "\"" + kTool + "\" " + arguments;
}

// True while the process exists and is not a zombie waiting to be reaped.
bool IsAlive(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text))
        return false;
    const std::size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
}

pid_t ReadPid(const fs::path& file)
{
    std::ifstream in(file);
    pid_t pid = 0;
    in >> pid;
    return pid;
}

// Ends the test program if a step that must not block does block.
class Watchdog {
public:
    explicit Watchdog(const char* what, std::chrono::seconds limit = 30s)
        : thread_([this, what, limit] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!cv_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "deadlock: %s did not return\n", what);
                  std::_Exit(1);
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;
};

// What a runner reported, in order, and whether it came on the loop's thread.
struct Recorder {
    enum Kind { Out, Err, End };
    struct Event {
        Kind kind;
        std::string text;
    };
    std::vector<Event> events;
    bool offThread = false;
    std::thread::id uiThread = std::this_thread::get_id();
    std::vector<std::string> failures;

    void Attach(tl::TRedirector& runner)
    {
        runner.OnData = [this](tl::TRedirector&, const char* bytes, std::size_t count) {
            Note(Out, std::string(bytes, count));
        };
        runner.OnErrorData = [this](tl::TRedirector&, const char* bytes, std::size_t count) {
            Note(Err, std::string(bytes, count));
        };
        runner.OnTerminated = [this](tl::TRedirector&) { Note(End, ""); };
        runner.OnReaderFailed = [this](tl::TRedirector&, const std::string& message) {
            failures.push_back(message);
        };
    }
    void Note(Kind kind, std::string text)
    {
        if (std::this_thread::get_id() != uiThread)
            offThread = true;
        events.push_back({kind, std::move(text)});
    }
    int Ends() const
    {
        int n = 0;
        for (const Event& e : events)
            n += e.kind == End ? 1 : 0;
        return n;
    }
    std::string Text(Kind kind) const
    {
        std::string all;
        for (const Event& e : events)
            if (e.kind == kind)
                all += e.text;
        return all;
    }
};

class RedirectorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Orphaned grandchildren come to us, so that none can escape the
        // check for processes left running.
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
        // A child we kill must not take the test with it through a broken pipe.
        std::signal(SIGPIPE, SIG_IGN);
    }

    void SetUp() override { tl::InstallDir = TESSALINE_DIST_DIR "/"; }

    void TearDown() override
    {
        // A test fails when it leaves a child running.
        for (const auto& entry : fs::directory_iterator("/proc")) {
            const std::string id = entry.path().filename().string();
            if (id.find_first_not_of("0123456789") != std::string::npos)
                continue;
            std::ifstream status(entry.path() / "status");
            std::string line;
            pid_t parent = 0;
            while (std::getline(status, line))
                if (line.rfind("PPid:", 0) == 0)
                    parent = static_cast<pid_t>(std::stol(line.substr(5)));
            const pid_t pid = static_cast<pid_t>(std::stol(id));
            if (parent == ::getpid() && IsAlive(pid)) {
                ADD_FAILURE() << "child process " << pid << " left running";
                ::kill(pid, SIGKILL);
            }
        }
        int status = 0;
        while (::waitpid(-1, &status, WNOHANG) > 0) {
        }
    }

    bool RunUntilEnded(const Recorder& recorder, int ends = 1)
    {
        return loop.RunUntil([&] { return recorder.Ends() >= ends; }, 30s);
    }

    bool WaitForFile(const fs::path& file)
    {
        return loop.RunUntil([&] { return fs::exists(file); }, 30s);
    }

    tl::test::TestLoop loop;
};

TEST_F(RedirectorTest, HandsEveryChunkBeforeTheSingleEndOnTheUserInterfaceThread)
{
    tl::TRedirector runner(loop);
    Recorder recorder;
    recorder.Attach(runner);
    runner.SetCommandLine(ToolLine(R"(out "a" sleep 100 err "b" sleep 100 out "c\r\n" exit 3)"));
    runner.Execute();
    EXPECT_TRUE(runner.IsActive());
    EXPECT_FALSE(runner.ProcessEnded());
    ASSERT_TRUE(RunUntilEnded(recorder));
    loop.RunFor(200ms); // nothing may follow the end

    // Each stream in order; how the two interleave depends on when the
    // reader looks, so only the end's place is fixed: last, and once.
    EXPECT_EQ(recorder.Text(Recorder::Out), "ac\r\n");
    EXPECT_EQ(recorder.Text(Recorder::Err), "b");
    ASSERT_FALSE(recorder.events.empty());
    EXPECT_EQ(recorder.events.back().kind, Recorder::End);
    EXPECT_EQ(recorder.Ends(), 1);
    EXPECT_FALSE(recorder.offThread);
    EXPECT_FALSE(runner.IsActive());
    EXPECT_TRUE(runner.ProcessEnded());
    EXPECT_EQ(runner.ProcessId(), 0);
    EXPECT_EQ(runner.ExitCode(), 3);
}

TEST_F(RedirectorTest, DeliversAllOfALargeOutputAndTheLastWordsBeforeTheEnd)
{
    tl::TRedirector runner(loop);
    Recorder recorder;
    recorder.Attach(runner);
    runner.SetCommandLine(ToolLine(R"(flood 8 err "last" out "tail")"));
    runner.Execute();
    ASSERT_TRUE(RunUntilEnded(recorder));
    const std::string out = recorder.Text(Recorder::Out);
    EXPECT_EQ(out.size(), 8u * 1024 * 1024 + 4);
    EXPECT_EQ(out.substr(out.size() - 4), "tail");
    EXPECT_EQ(recorder.Text(Recorder::Err), "last");
    EXPECT_EQ(recorder.events.back().kind, Recorder::End);
    EXPECT_EQ(recorder.Ends(), 1);
}

TEST_F(RedirectorTest, OutputAssembledIntoLinesLosesNothingAtTheEnd)
{
    // The owner's pattern: lines from chunks, with the end's flag at hand.
    tl::TRedirector runner(loop);
    std::string carry;
    std::vector<std::string> lines;
    bool ended = false;
    runner.OnData = [&](tl::TRedirector& sender, const char* bytes, std::size_t count) {
        tl::AssembleOutputLines(carry, bytes, count, sender.ProcessEnded(),
                                [&](const std::string& line) { lines.push_back(line); });
    };
    runner.OnTerminated = [&](tl::TRedirector&) { ended = true; };
    runner.SetCommandLine(ToolLine(R"(out "one\ntw" sleep 100 out "o\r\nthree\r\n")"));
    runner.Execute();
    ASSERT_TRUE(loop.RunUntil([&] { return ended; }, 30s));
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(carry, "");
}

struct ExecuteErrorCase {
    const char* name;
    std::string commandLine;
    std::string initialDirectory;
    std::string message;
};

TEST_F(RedirectorTest, ExecuteFailuresLeaveTheRunnerIdle)
{
    tl::test::TempFolder temp("tl-runner");
    const std::string text = temp.Write("not-executable", "touch pwned\n");
    const std::string script = temp.Write("no-header", "touch pwned\n");
    ::chmod(script.c_str(), 0755);
    const std::vector<ExecuteErrorCase> cases = {
        {"missing program", "\"" + temp.Dir() + "missing.dll\" -x", "", "Error creating process : 2"},
        {"missing program on PATH", "tessaline-no-such-program-xyz", "", "Error creating process : 2"},
        {"empty command line", "", "", "No commandline to run"},
        {"blank command line", "  \t ", "", "No commandline to run"},
        {"missing working folder", ToolLine("exit 0"), temp.Dir() + "nowhere", "Error creating process : 2"},
        {"file without execute right", "\"" + text + "\"", "", "Error creating process : 13"},
        // a file without an executable header is refused, never given to a shell
        {"script without header", "\"" + script + "\"", temp.Dir(), "Error creating process : 8"},
    };
    for (const ExecuteErrorCase& c : cases) {
        SCOPED_TRACE(c.name);
        tl::TRedirector runner(loop);
        runner.SetCommandLine(c.commandLine);
        runner.InitialDirectory = c.initialDirectory;
        try {
            runner.Execute();
            ADD_FAILURE() << "Execute did not fail";
        } catch (const tl::Error& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_FALSE(runner.IsActive());
        EXPECT_THROW(runner.Terminate(0), tl::Error);
    }
    EXPECT_FALSE(fs::exists(temp.Path() / "pwned"));
    EXPECT_FALSE(fs::exists("pwned"));

    // A failed start does not spoil the runner.
    tl::TRedirector runner(loop);
    Recorder recorder;
    recorder.Attach(runner);
    runner.SetCommandLine("\"" + temp.Dir() + "missing.dll\"");
    EXPECT_THROW(runner.Execute(), tl::Error);
    runner.SetCommandLine(ToolLine("out ok"));
    runner.Execute();
    ASSERT_TRUE(RunUntilEnded(recorder));
    EXPECT_EQ(recorder.Text(Recorder::Out), "ok");
}

TEST_F(RedirectorTest, PropertyRulesWhileActiveAndIdle)
{
    tl::TRedirector runner(loop);
    Recorder recorder;
    recorder.Attach(runner);
    runner.KillOnDestroy = true;

    try {
        runner.Terminate(0);
        ADD_FAILURE() << "Terminate on an idle runner did not fail";
    } catch (const tl::Error& e) {
        EXPECT_STREQ(e.what(), "Cannot Terminate an inactive process");
    }
    // idle: everything may change
    runner.SetDefaultErrorMode(true);
    runner.SetInitialPriority(2);
    const std::string line = ToolLine("hang");
    runner.SetCommandLine(line);
    runner.Execute();

    auto expectError = [](const std::function<void()>& fn, const char* message) {
        try {
            fn();
            ADD_FAILURE() << "no error, expected: " << message;
        } catch (const tl::Error& e) {
            EXPECT_STREQ(e.what(), message);
        }
    };
    expectError([&] { runner.Execute(); }, "Process is already active");
    expectError([&] { runner.SetCommandLine(ToolLine("exit 1")); }, "Cannot change Commandline while process is active");
    expectError([&] { runner.SetDefaultErrorMode(false); }, "Cannot change DefaultErrorMode while process is active");
    expectError([&] { runner.SetInitialPriority(1); }, "Cannot change InititalPriority while process is active");
    // the same text in other letter case is allowed
    std::string upper = line;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_NO_THROW(runner.SetCommandLine(upper));
    EXPECT_EQ(runner.CommandLine(), upper);
    EXPECT_TRUE(runner.DefaultErrorMode());
    EXPECT_EQ(runner.InitialPriority(), 2);

    runner.Terminate(0);
    ASSERT_TRUE(RunUntilEnded(recorder));
    EXPECT_NO_THROW(runner.SetInitialPriority(1));
    EXPECT_NO_THROW(runner.SetCommandLine(line));
}

TEST_F(RedirectorTest, ExeNameIsTheProgramAndLeadsTheFullCommandLine)
{
    tl::TRedirector runner(loop);
    Recorder recorder;
    recorder.Attach(runner);
    runner.KillOnDestroy = true;
    runner.ExeName = kTool;
    runner.SetCommandLine("fake out via-exe-name hang");
    runner.Execute();
    ASSERT_TRUE(loop.RunUntil([&] { return recorder.Text(Recorder::Out) == "via-exe-name"; }, 30s));
    // while active only the full command line (ExeName, blank, CommandLine) may be set again
    EXPECT_THROW(runner.SetCommandLine("fake out via-exe-name hang"), tl::Error);
    EXPECT_NO_THROW(runner.SetCommandLine(kTool + " FAKE out via-exe-name hang"));
    runner.Terminate(0);
    ASSERT_TRUE(RunUntilEnded(recorder));
}

TEST_F(RedirectorTest, TerminateEndsTheChildAndItsDescendants)
{
    tl::test::TempFolder temp("tl-runner");
    const fs::path grandchildFile = temp.Path() / "grandchild";
    const fs::path childFile = temp.Path() / "child";
    tl::TRedirector runner(loop);
    Recorder recorder;
    recorder.Attach(runner);
    runner.SetCommandLine(ToolLine("pid \"" + childFile.string() + "\" spawn-hang \"" + grandchildFile.string() +
                                   "\" ignore-term out started hang"));
    runner.Execute();
    ASSERT_TRUE(WaitForFile(grandchildFile));
    ASSERT_TRUE(WaitForFile(childFile));
    const pid_t child = ReadPid(childFile);
    const pid_t grandchild = ReadPid(grandchildFile);
    ASSERT_TRUE(IsAlive(grandchild));

    runner.Terminate(7);
    EXPECT_TRUE(runner.IsActive()); // the end still comes through the reader
    ASSERT_TRUE(RunUntilEnded(recorder));
    EXPECT_EQ(recorder.Ends(), 1);
    EXPECT_EQ(runner.ExitCode(), 7);
    EXPECT_FALSE(IsAlive(child));
    EXPECT_TRUE(loop.RunUntil([&] { return !IsAlive(grandchild); }, 10s));
}

TEST_F(RedirectorTest, ADescendantHoldingThePipesDoesNotKeepTheRunGoing)
{
    tl::test::TempFolder temp("tl-runner");
    const fs::path grandchildFile = temp.Path() / "grandchild";
    tl::TRedirector runner(loop);
    Recorder recorder;
    recorder.Attach(runner);
    runner.SetCommandLine(ToolLine("spawn-hang \"" + grandchildFile.string() + "\" out done exit 0"));
    runner.Execute();
    ASSERT_TRUE(RunUntilEnded(recorder));
    EXPECT_EQ(recorder.Text(Recorder::Out), "done");
    const pid_t grandchild = ReadPid(grandchildFile);
    EXPECT_TRUE(IsAlive(grandchild));
    ::kill(grandchild, SIGKILL);
    loop.RunUntil([&] { return !IsAlive(grandchild); }, 10s);
}

TEST_F(RedirectorTest, DestroyingAnActiveRunnerWithKillOnDestroyEndsTheChildSilently)
{
    tl::test::TempFolder temp("tl-runner");
    const fs::path grandchildFile = temp.Path() / "grandchild";
    auto runner = std::make_unique<tl::TRedirector>(loop);
    Recorder recorder;
    recorder.Attach(*runner);
    runner->KillOnDestroy = true;
    runner->SetCommandLine(ToolLine("spawn-hang \"" + grandchildFile.string() + "\" hang"));
    runner->Execute();
    ASSERT_TRUE(WaitForFile(grandchildFile));
    const pid_t child = runner->ProcessId();
    const pid_t grandchild = ReadPid(grandchildFile);
    {
        Watchdog watchdog("destroying the runner");
        runner.reset();
    }
    EXPECT_FALSE(IsAlive(child));
    EXPECT_TRUE(loop.RunUntil([&] { return !IsAlive(grandchild); }, 10s));
    loop.RunFor(200ms);
    EXPECT_EQ(recorder.Ends(), 0);
}

TEST_F(RedirectorTest, DestroyingWhileTheReaderWaitsForAHandOverDoesNotDeadlock)
{
    auto runner = std::make_unique<tl::TRedirector>(loop);
    Recorder recorder;
    recorder.Attach(*runner);
    runner->KillOnDestroy = true;
    runner->SetCommandLine(ToolLine("out first hang"));
    runner->Execute();
    // Without running the loop the reader's hand-over of "first" stays
    // pending and the reader waits for it.
    std::this_thread::sleep_for(300ms);
    {
        Watchdog watchdog("destroying the runner during a hand-over");
        runner.reset();
    }
    loop.RunFor(300ms); // the stale hand-over runs now and must do nothing
    EXPECT_TRUE(recorder.events.empty());
}

TEST_F(RedirectorTest, DestroyingTheRunnerFromItsOwnDataHandler)
{
    auto runner = std::make_unique<tl::TRedirector>(loop);
    runner->KillOnDestroy = true;
    int chunks = 0;
    bool destroyed = false;
    runner->OnData = [&](tl::TRedirector&, const char*, std::size_t) {
        ++chunks;
        Watchdog watchdog("destroying the runner inside its handler");
        runner.reset();
        destroyed = true;
    };
    runner->OnTerminated = [&](tl::TRedirector&) { ADD_FAILURE() << "end after destruction"; };
    runner->SetCommandLine(ToolLine("out a sleep 200 out b hang"));
    runner->Execute();
    ASSERT_TRUE(loop.RunUntil([&] { return destroyed; }, 30s));
    loop.RunFor(400ms);
    EXPECT_EQ(chunks, 1);
}

TEST_F(RedirectorTest, DestroyingWithoutKillOnDestroyLeavesTheChildRunning)
{
    auto runner = std::make_unique<tl::TRedirector>(loop);
    // (a child that writes after our pipe ends are gone dies of the broken pipe)
    runner->SetCommandLine(ToolLine("hang"));
    runner->Execute();
    const pid_t child = runner->ProcessId();
    {
        Watchdog watchdog("destroying the runner");
        runner.reset();
    }
    loop.RunFor(200ms);
    EXPECT_TRUE(IsAlive(child));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

TEST_F(RedirectorTest, ExecuteAgainFromInsideOnTerminated)
{
    tl::TRedirector runner(loop);
    std::vector<std::string> outputs;
    int ends = 0;
    runner.OnData = [&](tl::TRedirector&, const char* bytes, std::size_t count) {
        outputs.emplace_back(bytes, count);
    };
    runner.OnTerminated = [&](tl::TRedirector& sender) {
        ++ends;
        EXPECT_FALSE(sender.IsActive());
        if (ends < 3) {
            sender.SetCommandLine(ToolLine("out run" + std::to_string(ends + 1) + " exit " + std::to_string(ends)));
            sender.Execute();
        }
    };
    runner.SetCommandLine(ToolLine("out run1 exit 0"));
    runner.Execute();
    ASSERT_TRUE(loop.RunUntil([&] { return ends == 3; }, 30s));
    loop.RunFor(200ms);
    EXPECT_EQ(ends, 3);
    EXPECT_EQ(outputs, (std::vector<std::string>{"run1", "run2", "run3"}));
    EXPECT_EQ(runner.ExitCode(), 2);
}

TEST_F(RedirectorTest, AFailingHandlerEndsTheReaderWithoutAnEnd)
{
    tl::TRedirector runner(loop);
    Recorder recorder;
    recorder.Attach(runner);
    runner.KillOnDestroy = true;
    runner.OnData = [](tl::TRedirector&, const char*, std::size_t) { throw tl::Error("handler broke"); };
    runner.SetCommandLine(ToolLine("out x sleep 100 out y hang"));
    runner.Execute();
    ASSERT_TRUE(loop.RunUntil([&] { return !recorder.failures.empty(); }, 30s));
    loop.RunFor(300ms);
    EXPECT_EQ(recorder.failures, std::vector<std::string>{"handler broke"});
    EXPECT_EQ(recorder.Ends(), 0);
    // No reader is left to report the end, so Terminate finishes the run.
    EXPECT_TRUE(runner.IsActive());
    runner.Terminate(0);
    EXPECT_FALSE(runner.IsActive());
    loop.RunFor(200ms);
    EXPECT_EQ(recorder.Ends(), 0);
}

TEST_F(RedirectorTest, ShellCharactersInTheCommandLineArePlainText)
{
    tl::test::TempFolder temp("tl-runner");
    tl::TRedirector runner(loop);
    Recorder recorder;
    recorder.Attach(runner);
    runner.InitialDirectory = temp.Dir();
    runner.SetCommandLine(ToolLine(R"x(args "$(touch pwned)" "a;touch pwned" `touch pwned` "|touch pwned" "&" * $HOME)x"));
    runner.Execute();
    ASSERT_TRUE(RunUntilEnded(recorder));
    EXPECT_EQ(recorder.Text(Recorder::Out),
              "[args]\n[$(touch pwned)]\n[a;touch pwned]\n[`touch]\n[pwned`]\n[|touch pwned]\n[&]\n[*]\n[$HOME]\n");
    EXPECT_FALSE(fs::exists(temp.Path() / "pwned"));
}

TEST_F(RedirectorTest, WorkingFolderAndPriority)
{
    tl::test::TempFolder temp("tl-runner");
    const int ownNice = ::getpriority(PRIO_PROCESS, 0);
    struct Case {
        std::uint8_t priority;
        std::string expectedNice;
    };
    // 1 idle; 0 a value that gives no class: the child keeps ours
    for (const Case& c : {Case{1, "19"}, Case{0, std::to_string(ownNice)}}) {
        tl::TRedirector runner(loop);
        Recorder recorder;
        recorder.Attach(runner);
        runner.SetInitialPriority(c.priority);
        runner.InitialDirectory = temp.Dir();
        runner.SetCommandLine(ToolLine("nice pwd"));
        runner.Execute();
        ASSERT_TRUE(RunUntilEnded(recorder));
        EXPECT_EQ(recorder.Text(Recorder::Out), c.expectedNice + "\n" + fs::canonical(temp.Path()).string() + "\n");
    }
}

TEST_F(RedirectorTest, BatchFilesRunThroughOurInterpreter)
{
    tl::test::TempFolder temp("tl runner $x");
    const std::string batch = temp.Write("~convert.BAT", "\"" + kTool + "\" out one\r\n\"" + kTool +
                                                             "\" err two exit 4\r\n");
    tl::TRedirector runner(loop);
    Recorder recorder;
    recorder.Attach(runner);
    runner.SetCommandLine("\"" + batch + "\"");
    runner.Execute();
    ASSERT_TRUE(RunUntilEnded(recorder));
    EXPECT_EQ(recorder.Text(Recorder::Out), "one");
    EXPECT_EQ(recorder.Text(Recorder::Err), "two");
    EXPECT_EQ(runner.ExitCode(), 4);
}

TEST_F(RedirectorTest, TerminatingABatchEndsTheCommandsItStarted)
{
    tl::test::TempFolder temp("tl-runner");
    const fs::path toolFile = temp.Path() / "tool";
    const std::string batch = temp.Write("menu.bat", "\"" + kTool + "\" pid \"" + toolFile.string() +
                                                         "\" hang\r\n\"" + kTool + "\" touch \"" + temp.Dir() +
                                                         "second\"\r\n");
    tl::TRedirector runner(loop);
    Recorder recorder;
    recorder.Attach(runner);
    runner.SetCommandLine("\"" + batch + "\"");
    runner.Execute();
    ASSERT_TRUE(WaitForFile(toolFile));
    const pid_t tool = ReadPid(toolFile);
    runner.Terminate(0);
    ASSERT_TRUE(RunUntilEnded(recorder));
    EXPECT_TRUE(loop.RunUntil([&] { return !IsAlive(tool); }, 10s));
    EXPECT_FALSE(fs::exists(temp.Path() / "second"));
}

} // namespace
