// transcoder.dll: the conversion tool behind the batch file of step 1. It takes
// the two FFmpeg-style command lines the batch file holds, runs Debian's
// ffprobe and ffmpeg directly (never through a shell) and reports on the
// console in the form the conversion progress parser reads.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "ChildProcess.h"
#include "CommandLine.h"
#include "Console.h"
#include "Jobs.h"
#include "Probe.h"

namespace fs = std::filesystem;
using namespace tl::transcoder;

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// ffmpeg takes "file:" URLs literally: no protocol guessing, no option-like
// leading dash, no special characters.
std::string FileUrl(const std::string& path)
{
    return "file:" + path;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return text;
}

bool IsAviSynthScript(const std::string& path)
{
    return Lower(fs::path(path).extension().string()) == ".avs";
}

// The source named by an AviSynth script: the first double-quoted text of the
// first line that has one (DirectShowSource("...") in the shipped template).
// A path may itself hold quotes, so longer quoted spans on that line are tried
// when the shortest one names no file. Relative names are taken from the
// script's folder.
bool ScriptSource(const std::string& script, std::string& source, std::string& error)
{
    std::ifstream in(script, std::ios::binary);
    if (!in) {
        error = "Error while opening input file '" + Printable(script) + "': " + std::strerror(errno);
        return false;
    }
    const fs::path folder = fs::path(script).parent_path();
    auto resolve = [&](const std::string& name) {
        const fs::path p(name);
        return (p.is_absolute() || folder.empty()) ? name : (folder / p).string();
    };
    std::string line;
    while (std::getline(in, line)) {
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        const auto open = line.find('"');
        if (open == std::string::npos || line.find('"', open + 1) == std::string::npos)
            continue;
        std::string fallback;
        for (auto close = line.find('"', open + 1); close != std::string::npos; close = line.find('"', close + 1)) {
            const std::string candidate = resolve(line.substr(open + 1, close - open - 1));
            if (fallback.empty())
                fallback = candidate;
            std::error_code ec;
            if (fs::is_regular_file(candidate, ec)) {
                source = candidate;
                return true;
            }
        }
        source = fallback; // names no existing file: the probe says why
        return true;
    }
    error = "Error while opening input file '" + Printable(script) + "': the AviSynth script names no source file";
    return false;
}

bool SameFile(const std::string& a, const std::string& b)
{
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

// The output is written under a temporary name beside it and renamed when it
// is complete and checked, so OUT never holds a partial file. A failed run
// also removes an OUT left from an earlier run: the program must not take a
// stale file for this run's result.
class OutputFile {
public:
    explicit OutputFile(const std::string& path) : path_(path)
    {
        const fs::path p(path);
        const std::string tag = ".tl-" + std::to_string(getpid()) + "-";
        std::string name = tag + p.filename().string();
        if (name.size() > 255)
            name = tag + p.extension().string();
        temp_ = (p.parent_path() / name).string();
        RemoveOrphans(p.parent_path());
    }
    ~OutputFile()
    {
        if (committed_)
            return;
        std::error_code ec;
        fs::remove(temp_, ec);
        if (fs::is_regular_file(fs::symlink_status(path_, ec)))
            fs::remove(path_, ec);
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // An adapter killed outright (a cancelled run ends its tools that way)
    // cannot remove its temporary file; the next one in the folder does.
    static void RemoveOrphans(const fs::path& folder)
    {
        std::error_code ec;
        for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end; !ec && it != end;
             it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (name.rfind(".tl-", 0) != 0)
                continue;
            const std::size_t dash = name.find('-', 4);
            if (dash == std::string::npos || dash == 4)
                continue;
            const std::string digits = name.substr(4, dash - 4);
            if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9)
                continue;
            const pid_t owner = static_cast<pid_t>(std::stol(digits));
            if (owner == getpid() || kill(owner, 0) == 0 || errno != ESRCH)
                continue;
            std::error_code removeError;
            if (fs::is_regular_file(it->symlink_status(removeError)))
                fs::remove(it->path(), removeError);
        }
    }

    const std::string& Temp() const { return temp_; }
    // Leaves OUT as it is whatever happens (it is not ours to remove).
    void Keep() { committed_ = true; }
    bool TempHasData() const
    {
        std::error_code ec;
        const auto size = fs::file_size(temp_, ec);
        return !ec && size > 0;
    }
    void DropTemp() const
    {
        std::error_code ec;
        fs::remove(temp_, ec);
    }
    bool Commit(std::string& error)
    {
        std::error_code ec;
        fs::rename(temp_, path_, ec);
        if (ec) {
            error = "Error while writing output file '" + Printable(path_) + "': " + ec.message();
            return false;
        }
        committed_ = true;
        return true;
    }

private:
    std::string path_;
    std::string temp_;
    bool committed_ = false;
};

enum class RunResult { Written, Empty, Failed };

RunResult RunFfmpeg(const FfmpegJob& job, bool printReport, const std::string& source, const std::string& output,
                    const OutputFile& file)
{
    if (printReport)
        for (const std::string& line : job.reportLines)
            Say(line);
    ProgressLines progress;
    FfmpegMessages messages(source, output, file.Temp());
    const ChildOutcome outcome = RunChild(
        job.arguments,
        [&](std::string_view line) {
            if (auto report = progress.Feed(line))
                Say(*report);
        },
        [&](std::string_view line) { messages.Feed(line); });
    if (!outcome.started) {
        Say(std::string("Error: cannot run ffmpeg: ") + std::strerror(outcome.startError));
        return RunResult::Failed;
    }
    if (StopSignal() != 0)
        return RunResult::Failed;
    if (!outcome.exited || outcome.exitCode != 0) {
        const std::string fallback =
            outcome.exited ? "Error: ffmpeg failed with exit code " + std::to_string(outcome.exitCode)
                           : "Error: ffmpeg was ended by signal " + std::to_string(outcome.endSignal);
        for (const std::string& line : messages.FailureLines(fallback))
            Say(line);
        return RunResult::Failed;
    }
    for (const std::string& line : messages.NoteLines())
        Say(line);
    return file.TempHasData() ? RunResult::Written : RunResult::Empty;
}

bool Probe(const std::string& source, MediaInfo& media)
{
    std::string text;
    std::vector<std::string> errors;
    const ChildOutcome outcome = RunChild(
        ProbeArguments(FileUrl(source)),
        [&](std::string_view line) {
            text.append(line);
            text.push_back('\n');
        },
        [&](std::string_view line) { errors.emplace_back(line); });
    if (StopSignal() != 0)
        return false;
    if (!outcome.started) {
        Say(std::string("Error: cannot run ffprobe: ") + std::strerror(outcome.startError));
        return false;
    }
    if (!outcome.exited || outcome.exitCode != 0) {
        Say(OpenFailureLine(source, errors));
        return false;
    }
    media = ParseProbeOutput(text);
    if (!media.Video() && !media.Audio()) {
        Say("Error while opening input file '" + Printable(source) + "': No audio or video streams available");
        return false;
    }
    return true;
}

int Stopped()
{
    const int sig = StopSignal();
    Say("Error: stopped by signal " + std::to_string(sig) + ", no output written");
    return 128 + sig;
}

int Run(const Request& request)
{
    if (fs::path(request.output).filename().empty()) {
        Say("Error: invalid output file name '" + Printable(request.output) + "'");
        return kExitFailed;
    }
    OutputFile output(request.output);
    std::string source = request.input;
    const bool script = IsAviSynthScript(request.input);
    if (script) {
        std::string error;
        if (!ScriptSource(request.input, source, error)) {
            Say(error);
            return kExitFailed;
        }
    }
    if (SameFile(source, request.output) || SameFile(request.input, request.output)) {
        output.Keep();
        Say("Error: the output file '" + Printable(request.output) + "' is the input file");
        return kExitFailed;
    }

    MediaInfo media;
    if (!Probe(source, media))
        return StopSignal() != 0 ? Stopped() : kExitFailed;

    Say("Input #0, " + (script ? std::string("avs") : media.formatName) + ", from '" + Printable(request.input) +
        "':");
    Say(DurationLine(media));
    for (const std::string& line : StreamLines(media))
        Say(line);

    const std::string sourceUrl = FileUrl(source);
    const std::string outputUrl = FileUrl(output.Temp());
    RunResult result;
    if (request.kind == JobKind::Convert) {
        result = RunFfmpeg(ConversionJob(request, media, sourceUrl, outputUrl, request.output), true, source,
                           request.output, output);
    } else {
        // A source shorter than the seek point has no picture there: take its first one.
        const bool seek = request.seekSeconds > 0.0 && media.Video() &&
                          !(media.durationSeconds && *media.durationSeconds <= request.seekSeconds);
        result = RunFfmpeg(ThumbnailJob(request, media, sourceUrl, outputUrl, request.output, seek), true, source,
                           request.output, output);
        if (result == RunResult::Empty && seek && StopSignal() == 0) {
            output.DropTemp();
            result = RunFfmpeg(ThumbnailJob(request, media, sourceUrl, outputUrl, request.output, false), false,
                               source, request.output, output);
        }
    }
    if (StopSignal() != 0)
        return Stopped();
    if (result == RunResult::Empty)
        Say("Error: nothing was written to '" + Printable(request.output) + "'");
    if (result != RunResult::Written)
        return kExitFailed;
    std::string error;
    if (!output.Commit(error)) {
        Say(error);
        return kExitFailed;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    InstallStopHandlers();
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const ParsedCommandLine parsed = ParseCommandLine(args);
    if (!parsed.request) {
        Say(parsed.error);
        return kExitUsage;
    }
    return Run(*parsed.request);
}
