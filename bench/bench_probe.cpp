// Media probe speed: probing 200 files with ProbeMedia against the mediainfo
// command-line tool reading the same sixteen values of the same files in one
// run (the tool's start-up is paid once, so the ratio compares the parsing).
// Prints probe_vs_mediainfo_cli_ratio=<probe time per file / tool time per file>.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "project/FileItem.h"
#include "project/MediaProbe.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFiles = 200;

// Runs a program with its output thrown away; true when it exits with 0.
bool Spawn(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool OnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty() && ::access((fs::path(dir) / program).c_str(), X_OK) == 0)
            return true;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

struct Folder {
    fs::path path;
    ~Folder()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

} // namespace

int main()
{
    if (!OnPath("ffmpeg")) {
        std::puts("bench_probe: ffmpeg not found, skipped");
        return 0;
    }
    char pattern[] = "/tmp/tl-bench-probe-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::puts("bench_probe: cannot create a temporary folder");
        return 1;
    }
    Folder folder{pattern};
    const std::string d = folder.path.string() + "/";

    const std::string video = "testsrc=size=720x576:rate=25";
    const std::string audio = "sine=frequency=440:sample_rate=48000";
    const std::vector<std::vector<std::string>> makers = {
        {"ffmpeg", "-hide_banner", "-nostdin", "-y", "-f", "lavfi", "-i", video, "-f", "lavfi", "-i", audio,
         "-t", "10", "-c:v", "mpeg4", "-c:a", "mp2", d + "clip.avi"},
        {"ffmpeg", "-hide_banner", "-nostdin", "-y", "-f", "lavfi", "-i", video, "-f", "lavfi", "-i", audio,
         "-t", "10", "-c:v", "mpeg2video", "-c:a", "mp2", "-f", "vob", d + "clip.mpg"},
        {"ffmpeg", "-hide_banner", "-nostdin", "-y", "-f", "lavfi", "-i", video, "-f", "lavfi", "-i", audio,
         "-t", "10", "-c:v", "mpeg4", "-c:a", "aac", d + "clip.mp4"},
    };
    for (const auto& m : makers) {
        if (!Spawn(m)) {
            std::puts("bench_probe: ffmpeg could not make the clips, skipped");
            return 0;
        }
    }
    const char* clips[] = {"clip.avi", "clip.mpg", "clip.mp4"};
    std::vector<std::string> files;
    for (int i = 0; i < kFiles; ++i) {
        const std::string clip = clips[i % 3];
        const std::string name = d + std::to_string(i) + fs::path(clip).extension().string();
        std::error_code ec;
        fs::create_hard_link(d + clip, name, ec);
        if (ec)
            fs::copy_file(d + clip, name, ec);
        files.push_back(name);
    }

    // Warm the page cache and the library's tables for both sides alike.
    for (const char* clip : clips) {
        tl::TFileItem item;
        tl::ProbeMedia(d + clip, item);
    }

    auto t0 = Clock::now();
    std::size_t filled = 0;
    for (const std::string& f : files) {
        tl::TFileItem item;
        tl::ProbeMedia(f, item);
        filled += item.PlayTime.empty() ? 0 : 1;
    }
    const double probePerFile = Seconds(Clock::now() - t0) / kFiles;
    std::printf("probe_files=%d probe_filled=%zu probe_ms_per_file=%.3f\n", kFiles, filled, probePerFile * 1000);

    if (!OnPath("mediainfo")) {
        std::puts("bench_probe: mediainfo command-line tool not found (Debian package mediainfo), comparison skipped");
        return 0;
    }
    // The same sixteen values, asked through an output template.
    const std::string templ = d + "inform.txt";
    std::ofstream(templ) << "General;%CompleteName%|%FileSize%|%Format%|%Duration/String3%|%AudioCount%|"
                            "%VideoCount%\\n\n"
                            "Video;%Format%|%Width%|%Height%|%BitRate%|%AspectRatio%|%FrameRate%\\n\n"
                            "Audio;%Format%|%BitRate%|%Channel(s)%|%SamplingRate%\\n\n";
    std::vector<std::string> cli = {"mediainfo", "--Inform=file://" + templ};
    Spawn({cli[0], cli[1], d + clips[0]});  // warm-up
    cli.insert(cli.end(), files.begin(), files.end());
    auto t1 = Clock::now();
    if (!Spawn(cli)) {
        std::puts("bench_probe: mediainfo failed, comparison skipped");
        return 0;
    }
    const double cliPerFile = Seconds(Clock::now() - t1) / kFiles;
    std::printf("mediainfo_cli_ms_per_file=%.3f\n", cliPerFile * 1000);
    std::printf("probe_vs_mediainfo_cli_ratio=%.3f\n", cliPerFile > 0 ? probePerFile / cliPerFile : 0.0);
    return 0;
}
