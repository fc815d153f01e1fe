#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/BatchInterpreter.h"
#include "support/TempFolder.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Args = std::vector<std::string>;

const std::string kTool = TESSALINE_TEST_BIN_DIR "/fake_tool";
const std::string kInterpreter = TESSALINE_DIST_DIR "/tlcmd";

// ---- the line parser ----------------------------------------------------------

struct ParseCase {
    const char* line;
    std::vector<Args> commands; // empty with skip or error
    const char* outcome;        // "" when it runs, "skip", or the syntax error
};

TEST(ParseBatchLine, QuotingPipesAndSkippedLines)
{
    const char* pipeError = "| was unexpected at this time.";
    const char* syntax = "The syntax of the command is incorrect.";
    const std::vector<ParseCase> cases = {
        {R"("/opt/my tools/x.dll" -i "/v/a b.avi"  -y)", {{"/opt/my tools/x.dll", "-i", "/v/a b.avi", "-y"}}, ""},
        {R"(a "a"b"c d" "")", {{"a", "abc d", ""}}, ""},
        {R"(a "|" "<" ">" "a|b")", {{"a", "|", "<", ">", "a|b"}}, ""},
        {R"("x" -n 50 -j "m 0.jpg" | "y" -o "b.m2v")", {{"x", "-n", "50", "-j", "m 0.jpg"}, {"y", "-o", "b.m2v"}}, ""},
        {"a|b", {{"a"}, {"b"}}, ""},
        {"a $(touch pwned) `id` x;y p&q * %PATH% ^x ~", {{"a", "$(touch", "pwned)", "`id`", "x;y", "p&q", "*", "%PATH%", "^x", "~"}}, ""},
        {"@\"tool\" x", {{"tool", "x"}}, ""},
        {"remark.exe x", {{"remark.exe", "x"}}, ""},
        {"\ta\t b \r", {{"a", "b"}}, ""},
        {"", {}, "skip"},
        {"   \t", {}, "skip"},
        {"rem a line | with > signs", {}, "skip"},
        {"REM", {}, "skip"},
        {"  @rem quiet", {}, "skip"},
        {":: label style remark", {}, "skip"},
        {"@echo off", {}, "skip"},
        {"@ECHO OFF  ", {}, "skip"},
        {"a |", {}, pipeError},
        {"| a", {}, pipeError},
        {"a || b", {}, pipeError},
        {"a >", {}, syntax},
        {"a > > b", {}, syntax},
        {"a < | b", {}, syntax},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.line);
        const tl::BatchLine parsed = tl::ParseBatchLine(c.line);
        const std::string outcome = c.outcome;
        EXPECT_EQ(parsed.skip, outcome == "skip");
        EXPECT_EQ(parsed.error, outcome == "skip" ? "" : outcome);
        if (outcome.empty()) {
            std::vector<Args> got;
            for (const tl::BatchCommand& command : parsed.commands)
                got.push_back(command.args);
            EXPECT_EQ(got, c.commands);
        }
    }
}

TEST(ParseBatchLine, Redirections)
{
    tl::BatchLine line = tl::ParseBatchLine(R"("sub.dll" "0.xml" < "/t/menu 0.mpg" > "/t/final $0.mpg")");
    ASSERT_EQ(line.commands.size(), 1u);
    EXPECT_EQ(line.commands[0].args, (Args{"sub.dll", "0.xml"}));
    EXPECT_EQ(line.commands[0].input, "/t/menu 0.mpg");
    EXPECT_EQ(line.commands[0].output, "/t/final $0.mpg");
    EXPECT_FALSE(line.commands[0].appendOutput);

    line = tl::ParseBatchLine("a>>log 2>err x");
    ASSERT_EQ(line.commands.size(), 1u);
    EXPECT_EQ(line.commands[0].args, (Args{"a", "x"}));
    EXPECT_EQ(line.commands[0].output, "log");
    EXPECT_TRUE(line.commands[0].appendOutput);
    EXPECT_EQ(line.commands[0].errorOutput, "err");
    EXPECT_FALSE(line.commands[0].appendError);

    // only a bare 1 or 2 names a stream; a quoted one is an argument
    line = tl::ParseBatchLine(R"(a x2>y "2">z 2>>e)");
    ASSERT_EQ(line.commands.size(), 1u);
    EXPECT_EQ(line.commands[0].args, (Args{"a", "x2", "2"}));
    EXPECT_EQ(line.commands[0].output, "z");
    EXPECT_EQ(line.commands[0].errorOutput, "e");
    EXPECT_TRUE(line.commands[0].appendError);

    line = tl::ParseBatchLine("a < in | b > out");
    ASSERT_EQ(line.commands.size(), 2u);
    EXPECT_EQ(line.commands[0].input, "in");
    EXPECT_EQ(line.commands[1].output, "out");
}

TEST(SplitBatchLines, CrLfOrLf)
{
    EXPECT_EQ(tl::SplitBatchLines(""), Args{});
    EXPECT_EQ(tl::SplitBatchLines("a\r\nb\nc"), (Args{"a", "b", "c"}));
    EXPECT_EQ(tl::SplitBatchLines("a\r\n"), (Args{"a"}));
    EXPECT_EQ(tl::SplitBatchLines("a\r\n\r\nb\r\n"), (Args{"a", "", "b"}));
}

// ---- the interpreter program ----------------------------------------------------

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Starts the interpreter on a batch file inside folder (also its working
// folder), output captured in files there.
pid_t StartInterpreter(const tl::test::TempFolder& folder, const std::string& batch)
{
    const std::string out = (folder.Path() / "stdout.txt").string();
    const std::string err = (folder.Path() / "stderr.txt").string();
    const std::string dir = folder.Path().string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.c_str()) != 0)
            ::_exit(120);
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(o, 1);
        ::dup2(e, 2);
        ::execl(kInterpreter.c_str(), kInterpreter.c_str(), batch.c_str(), static_cast<char*>(nullptr));
        ::_exit(121);
    }
    return pid;
}

Outcome Collect(const tl::test::TempFolder& folder, pid_t pid)
{
    Outcome outcome;
    int status = 0;
    ::waitpid(pid, &status, 0);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    outcome.out = tl::test::TempFolder::Read(folder.Path() / "stdout.txt");
    outcome.err = tl::test::TempFolder::Read(folder.Path() / "stderr.txt");
    return outcome;
}

Outcome RunBatch(const tl::test::TempFolder& folder, const std::string& content)
{
    const std::string batch = folder.Write("job.bat", content);
    return Collect(folder, StartInterpreter(folder, batch));
}

std::string Q(const std::string& text)
{
    return "\"" + text + "\"";
}

TEST(BatchInterpreter, PipesRedirectionsAndExitCode)
{
    tl::test::TempFolder temp("tl-batch");
    temp.Write("in put.txt", "from a file\n");
    const std::string content =
        "@echo off\r\n"
        "rem the lines below are the ones that run\r\n"
        "\r\n"
        ":: piped\r\n" +
        Q(kTool) + " out \"hello world\\n\" | tr a-z A-Z\r\n" + // CR LF line
        Q(kTool) + " cat < \"in put.txt\" > \"out $x.txt\"\n" +   // LF line
        Q(kTool) + " out one >> log.txt\r\n" + Q(kTool) + " out two >> log.txt\r\n" + Q(kTool) +
        " err oops 2> err.txt\r\n" + Q(kTool) + " exit 3\r\n" + Q(kTool) + " out last exit 5\r\n";
    const Outcome outcome = RunBatch(temp, content);
    EXPECT_EQ(outcome.out, "HELLO WORLD\nlast");
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.exitCode, 5);
    EXPECT_EQ(tl::test::TempFolder::Read(temp.Path() / "out $x.txt"), "from a file\n");
    EXPECT_EQ(tl::test::TempFolder::Read(temp.Path() / "log.txt"), "onetwo");
    EXPECT_EQ(tl::test::TempFolder::Read(temp.Path() / "err.txt"), "oops");
}

TEST(BatchInterpreter, ACommandThatCannotStartIsReportedAndTheNextLineRuns)
{
    tl::test::TempFolder temp("tl-batch");
    Outcome outcome = RunBatch(temp, "\"no such tool\" -x\r\n" + Q(kTool) + " out next\r\n");
    EXPECT_EQ(outcome.out, "next");
    EXPECT_NE(outcome.err.find("'no such tool' is not recognized as an internal or external command"),
              std::string::npos);
    EXPECT_EQ(outcome.exitCode, 0);

    outcome = RunBatch(temp, Q(kTool) + " out x\r\n\"no such tool\"\r\n");
    EXPECT_EQ(outcome.exitCode, 127);

    // a missing input file stops only its own line
    outcome = RunBatch(temp, Q(kTool) + " cat < missing.txt\r\n" + Q(kTool) + " out after\r\n");
    EXPECT_EQ(outcome.out, "after");
    EXPECT_NE(outcome.err.find("The system cannot find the file specified."), std::string::npos);

    // a syntax error is reported, the next line runs
    outcome = RunBatch(temp, Q(kTool) + " out x |\r\n" + Q(kTool) + " out fine\r\n");
    EXPECT_EQ(outcome.out, "fine");
    EXPECT_NE(outcome.err.find("| was unexpected at this time."), std::string::npos);
}

TEST(BatchInterpreter, NamesWithShellCharactersNeverRunAnything)
{
    tl::test::TempFolder temp("tl-batch");
    const std::vector<std::string> names = {
        "$(touch pwned).avi", "a;touch pwned", "`touch pwned`", "x&touch pwned&", "|touch pwned",
        "-rf", "--help", "\xc3\xbcn\xc3\xaf" "code \xc3\xa9.avi", "*", "%PATH%", "'quoted'", "$HOME",
    };
    std::string content;
    std::string expected = "[args]\n";
    for (const std::string& name : names) {
        const std::string path = temp.Dir() + name;
        content += Q(kTool) + " args " + Q(path) + "\r\n";
        expected += "[" + path + "]\n";
        content += Q(path) + " -i x\r\n"; // the name as the program: not found, never a shell
    }
    content += Q(kTool) + " args $(touch pwned) a;touch pwned `touch pwned`\r\n";
    const Outcome outcome = RunBatch(temp, content);
    std::string all;
    for (std::size_t k = 0; k < names.size(); ++k)
        all += "[args]\n[" + temp.Dir() + names[k] + "]\n";
    all += "[args]\n[$(touch]\n[pwned)]\n[a;touch]\n[pwned]\n[`touch]\n[pwned`]\n";
    EXPECT_EQ(outcome.out, all);
    EXPECT_FALSE(fs::exists(temp.Path() / "pwned"));
    EXPECT_FALSE(fs::exists("pwned"));

    // a quote inside a path breaks only the grouping, never out of it
    const Outcome quoted = RunBatch(temp, Q(kTool) + " args \"" + temp.Dir() + "a\"b;touch pwned.avi\"\r\n");
    EXPECT_EQ(quoted.out, "[args]\n[" + temp.Dir() + "ab;touch]\n[pwned.avi]\n");
    EXPECT_FALSE(fs::exists(temp.Path() / "pwned"));
}

TEST(BatchInterpreter, MissingBatchFile)
{
    tl::test::TempFolder temp("tl-batch");
    const Outcome outcome = Collect(temp, StartInterpreter(temp, temp.Dir() + "absent.bat"));
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_NE(outcome.err.find("The system cannot find the file specified."), std::string::npos);
}

bool WaitForFile(const fs::path& file)
{
    for (int i = 0; i < 3000 && !fs::exists(file); ++i)
        std::this_thread::sleep_for(10ms);
    return fs::exists(file);
}

bool WaitUntilGone(pid_t pid)
{
    for (int i = 0; i < 1000; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text;
        if (!std::getline(stat, text))
            return true;
        const std::size_t close = text.rfind(')');
        if (close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z')
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

pid_t ReadPid(const fs::path& file)
{
    std::ifstream in(file);
    pid_t pid = 0;
    in >> pid;
    return pid;
}

// The tools the interpreter leaves behind come to us, to be reaped here.
void AdoptOrphans()
{
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
}

void ReapOrphan(pid_t pid)
{
    ::waitpid(pid, nullptr, WNOHANG);
}

TEST(BatchInterpreter, TerminationReachesTheRunningCommand)
{
    AdoptOrphans();
    tl::test::TempFolder temp("tl-batch");
    const std::string batch =
        temp.Write("job.bat", Q(kTool) + " pid tool.pid hang\r\n" + Q(kTool) + " touch second\r\n");
    const pid_t interpreter = StartInterpreter(temp, batch);
    ASSERT_TRUE(WaitForFile(temp.Path() / "tool.pid"));
    const pid_t tool = ReadPid(temp.Path() / "tool.pid");
    ::kill(interpreter, SIGTERM);
    const Outcome outcome = Collect(temp, interpreter);
    EXPECT_EQ(outcome.exitCode, 128 + SIGTERM);
    EXPECT_TRUE(WaitUntilGone(tool));
    ReapOrphan(tool);
    EXPECT_FALSE(fs::exists(temp.Path() / "second")); // no further line starts
}

TEST(BatchInterpreter, CommandsDieWithTheInterpreter)
{
    AdoptOrphans();
    tl::test::TempFolder temp("tl-batch");
    const std::string batch = temp.Write("job.bat", Q(kTool) + " pid tool.pid ignore-term hang\r\n");
    const pid_t interpreter = StartInterpreter(temp, batch);
    ASSERT_TRUE(WaitForFile(temp.Path() / "tool.pid"));
    const pid_t tool = ReadPid(temp.Path() / "tool.pid");
    ::kill(interpreter, SIGKILL);
    Collect(temp, interpreter);
    EXPECT_TRUE(WaitUntilGone(tool));
    ReapOrphan(tool);
}

} // namespace
