#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/ProcessList.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

const std::string kTool = TESSALINE_TEST_BIN_DIR "/fake_tool";

// Starts program with the given arguments (argv[0] included); stdout goes to
// outFd when it is not -1.
pid_t Start(const std::string& program, std::vector<std::string> args, int outFd = -1)
{
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (outFd >= 0)
            ::dup2(outFd, 1);
        ::execv(program.c_str(), argv.data());
        ::_exit(121);
    }
    return pid;
}

// Waits for the child; true when SIGKILL ended it.
bool WasKilled(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

bool Running(pid_t pid)
{
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == 0;
}

void Stop(pid_t pid)
{
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// A private copy of the fake tool under a name no other process has.
class ToolCopy {
public:
    ToolCopy() : temp_("tl-procs")
    {
        name_ = "tl-tool-" + std::to_string(::getpid()) + ".dll";
        fs::copy_file(kTool, temp_.Path() / name_);
        fs::permissions(temp_.Path() / name_, fs::perms::owner_all);
    }
    const std::string& Name() const { return name_; }
    std::string Path() const { return (temp_.Path() / name_).string(); }
    const tl::test::TempFolder& Folder() const { return temp_; }

private:
    tl::test::TempFolder temp_;
    std::string name_;
};

TEST(EndToolProcesses, MatchesTheFileNameOrTheWholePathIgnoringCase)
{
    ToolCopy tool;
    struct Case {
        const char* what;
        std::string name;
        bool ends;
    };
    const std::vector<Case> cases = {
        {"file name", tool.Name(), true},
        {"file name in other letter case", Upper(tool.Name()), true},
        {"whole path", tool.Path(), true},
        {"whole path in other letter case", Upper(tool.Path()), true},
        {"same file name in another folder", "/elsewhere/" + tool.Name(), false},
        {"part of the name", tool.Name().substr(0, 6), false},
        {"other name", "tl-no-such-tool.dll", false},
        {"empty name", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const pid_t pid = Start(tool.Path(), {tool.Path(), "hang"});
        // wait until the child is the tool, not our fork on its way to it
        for (int i = 0; i < 500 && fs::read_symlink("/proc/" + std::to_string(pid) + "/exe").filename() != tool.Name(); ++i)
            ::usleep(10000);
        EXPECT_EQ(tl::EndToolProcesses(c.name), c.ends);
        if (c.ends) {
            EXPECT_TRUE(WasKilled(pid));
        } else {
            EXPECT_TRUE(Running(pid));
            Stop(pid);
        }
    }
}

TEST(EndToolProcesses, FindsToolsByTheirFirstArgumentAndReplacedExecutables)
{
    ToolCopy tool;
    // started under another name: only argv[0] tells
    const std::string alias = "tl-alias-" + std::to_string(::getpid()) + ".dll";
    pid_t pid = Start(kTool, {"/some/folder/" + alias, "hang"});
    for (int i = 0; i < 500 && fs::read_symlink("/proc/" + std::to_string(pid) + "/exe") != fs::path(kTool); ++i)
        ::usleep(10000);
    EXPECT_TRUE(tl::EndToolProcesses(alias));
    EXPECT_TRUE(WasKilled(pid));

    // a full path through a linked folder names the same executable
    const fs::path link = tool.Folder().Path() / "linked";
    fs::create_directory_symlink(tool.Folder().Path(), link);
    pid = Start(tool.Path(), {"x", "hang"});
    for (int i = 0; i < 500 && fs::read_symlink("/proc/" + std::to_string(pid) + "/exe").filename() != tool.Name(); ++i)
        ::usleep(10000);
    EXPECT_TRUE(tl::EndToolProcesses((link / tool.Name()).string()));
    EXPECT_TRUE(WasKilled(pid));

    // the executable was deleted while it runs
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid = Start(tool.Path(), {"x", "out", "up", "hang"}, ready[1]);
    ::close(ready[1]);
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1); // running the tool now
    ::close(ready[0]);
    fs::remove(tool.Path());
    EXPECT_TRUE(tl::EndToolProcesses(tool.Path()));
    EXPECT_TRUE(WasKilled(pid));
}

TEST(EndToolProcesses, NeverEndsTheCallingProcess)
{
    ToolCopy tool;
    const pid_t victim = Start(tool.Path(), {tool.Path(), "hang"});
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    // the caller runs the same program, so its own name matches too
    const pid_t caller = Start(tool.Path(), {tool.Path(), "sleep", "100", "end-tools", tool.Name()}, out[1]);
    ::close(out[1]);
    std::string text;
    char buffer[64];
    ssize_t n;
    while ((n = ::read(out[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(caller, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(text, "result=1\n");
    EXPECT_TRUE(WasKilled(victim));
}

} // namespace
