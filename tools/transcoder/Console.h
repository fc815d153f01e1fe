#pragma once
// The adapter's console report, in the shape the conversion progress parser
// reads: "Input #0, ..." / "  Duration: ..." / stream lines / "Stream mapping:"
// / progress lines with " time=<seconds> " and "size=" / lines starting with
// "Error" for every failure. Everything goes to stderr, one whole line per write.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Probe.h"

namespace tl::transcoder {

void Say(std::string_view line);

// Paths shown on the console: line breaks would split a report line in two.
std::string Printable(std::string_view path);

std::string DurationLine(const MediaInfo& info);
std::vector<std::string> StreamLines(const MediaInfo& info);

// Turns ffmpeg's "-progress" key=value blocks into classic progress lines.
class ProgressLines {
public:
    // Returns a console line when line ends a block (progress=continue|end).
    std::optional<std::string> Feed(std::string_view line);
    double LastSeconds() const { return lastSeconds_; }

private:
    long long frame_ = 0;
    double fps_ = 0.0;
    double q_ = 0.0;
    long long totalBytes_ = 0;
    double seconds_ = 0.0;
    double lastSeconds_ = 0.0;
    std::string bitrate_ = "N/A";
};

// Sorts ffmpeg's stderr (run at -loglevel error). Bracketed codec notes are
// passed on at once (the parser ignores them); "Error while decoding stream"
// notes, which ffmpeg survives, are passed on in bracketed form so they can
// never be taken for a failure right after the stream mapping; everything else
// is held until we know whether ffmpeg failed.
class FfmpegMessages {
public:
    // tempPath: the file ffmpeg writes to; messages name outputPath instead.
    FfmpegMessages(std::string inputPath, std::string outputPath, std::string tempPath);
    void Feed(std::string_view line);
    // On failure: one "Error..." line (ffmpeg's first held message, else the
    // fallback), then the other held messages as notes.
    std::vector<std::string> FailureLines(const std::string& fallback) const;
    // On success: the held messages as harmless bracketed notes.
    std::vector<std::string> NoteLines() const;

private:
    std::string Readable(std::string line) const;
    std::string input_;
    std::string output_;
    std::string temp_;
    std::vector<std::string> held_;
    std::string lastNote_;
};

// The first message of a failed ffprobe run as an "Error while opening input
// file '<path>': <reason>" line.
std::string OpenFailureLine(const std::string& path, const std::vector<std::string>& probeErrors);

} // namespace tl::transcoder
