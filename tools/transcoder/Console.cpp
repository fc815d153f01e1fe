#include "Console.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace tl::transcoder {

namespace {

template <typename... Args>
std::string Format(const char* pattern, Args... args)
{
    char buffer[512];
    const int n = std::snprintf(buffer, sizeof buffer, pattern, args...);
    if (n < 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(std::min<int>(n, sizeof buffer - 1)));
}

std::string Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

template <typename T>
std::optional<T> Number(std::string_view text)
{
    T value{};
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to)
{
    if (from.empty())
        return text;
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string Capitalised(std::string word)
{
    if (!word.empty() && word.front() >= 'a' && word.front() <= 'z')
        word.front() = static_cast<char>(word.front() - 'a' + 'A');
    return word;
}

std::string FrameRateText(const std::string& rate)
{
    const auto slash = rate.find('/');
    if (slash == std::string::npos)
        return rate;
    const auto num = Number<double>(std::string_view(rate).substr(0, slash));
    const auto den = Number<double>(std::string_view(rate).substr(slash + 1));
    if (!num || !den || *den == 0.0 || *num == 0.0)
        return {};
    const double fps = *num / *den;
    return std::abs(fps - std::round(fps)) < 0.005 ? Format("%.0f", fps) : Format("%.2f", fps);
}

} // namespace

void Say(std::string_view line)
{
    std::string whole(line);
    whole += '\n';
    const char* data = whole.data();
    std::size_t left = whole.size();
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, data, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return; // nobody is listening any more
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
}

std::string Printable(std::string_view path)
{
    std::string text(path);
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = '?';
    return text;
}

std::string DurationLine(const MediaInfo& info)
{
    std::string duration = "N/A";
    if (info.durationSeconds && *info.durationSeconds >= 0.0) {
        const long long centis = std::llround(*info.durationSeconds * 100.0);
        duration = Format("%02lld:%02lld:%02lld.%02lld", centis / 360000, centis / 6000 % 60, centis / 100 % 60,
                          centis % 100);
    }
    const std::string start = Format("%.6f", info.startSeconds.value_or(0.0));
    const std::string bitrate = info.bitRate ? Format("%lld kb/s", *info.bitRate / 1000) : std::string("N/A");
    return "  Duration: " + duration + ", start: " + start + ", bitrate: " + bitrate;
}

std::vector<std::string> StreamLines(const MediaInfo& info)
{
    std::vector<std::string> lines;
    for (const StreamInfo& s : info.streams) {
        std::string line = "    Stream #0." + std::to_string(s.index) + ": " + Capitalised(s.type.empty() ? "unknown" : s.type) +
                           ": " + (s.codec.empty() ? "none" : s.codec);
        if (s.type == "video") {
            line += ", " + std::to_string(s.width) + "x" + std::to_string(s.height);
            if (!s.sampleAspect.empty() && s.sampleAspect != "N/A")
                line += " [SAR " + s.sampleAspect + " DAR " + s.displayAspect + "]";
            if (const std::string fps = FrameRateText(s.frameRate); !fps.empty())
                line += ", " + fps + " fps";
            if (s.attachedPicture)
                line += " (attached pic)";
        } else if (s.type == "audio") {
            line += ", " + std::to_string(s.sampleRate) + " Hz, " + std::to_string(s.channels) + " channels";
        }
        lines.push_back(line);
    }
    return lines;
}

std::optional<std::string> ProgressLines::Feed(std::string_view line)
{
    const auto eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    const std::string_view key = line.substr(0, eq);
    const std::string value = Trim(line.substr(eq + 1));
    if (key == "frame") {
        frame_ = Number<long long>(value).value_or(frame_);
    } else if (key == "fps") {
        fps_ = Number<double>(value).value_or(fps_);
    } else if (StartsWith(key, "stream_") && key.size() > 2 && key.substr(key.size() - 2) == "_q") {
        q_ = Number<double>(value).value_or(q_);
    } else if (key == "total_size") {
        totalBytes_ = Number<long long>(value).value_or(totalBytes_);
    } else if (key == "out_time_us") {
        // Before the first packet ffmpeg reports N/A or a huge negative value.
        if (const auto us = Number<long long>(value); us && *us >= 0)
            seconds_ = static_cast<double>(*us) / 1e6;
    } else if (key == "bitrate") {
        bitrate_ = value.empty() ? std::string("N/A") : value;
    } else if (key == "progress") {
        lastSeconds_ = seconds_;
        return Format("frame=%5lld fps=%3.0f q=%.1f size=%8lldkB time=%.2f bitrate=%s", frame_, fps_, q_,
                      totalBytes_ / 1024, seconds_, bitrate_.c_str());
    }
    return std::nullopt;
}

FfmpegMessages::FfmpegMessages(std::string inputPath, std::string outputPath, std::string tempPath)
    : input_(std::move(inputPath)), output_(std::move(outputPath)), temp_(std::move(tempPath))
{
}

std::string FfmpegMessages::Readable(std::string line) const
{
    // Our temporary file is an implementation detail: name the real output.
    line = Printable(ReplaceAll(std::move(line), temp_, output_));
    return line;
}

void FfmpegMessages::Feed(std::string_view line)
{
    if (Trim(line).empty())
        return;
    if (line.front() == '[' && line.find('@') != std::string_view::npos) {
        lastNote_ = Readable(std::string(line));
        Say(lastNote_);
    } else if (StartsWith(line, "Error while decoding stream")) {
        lastNote_ = "[decoder @ 0x0] " + Readable(std::string(line));
        Say(lastNote_);
    } else {
        held_.push_back(std::string(line));
    }
}

std::vector<std::string> FfmpegMessages::FailureLines(const std::string& fallback) const
{
    // Exactly one "Error" line: the program shows each one in its own box.
    // ffmpeg's first held message names the cause; the rest follow as notes.
    std::vector<std::string> lines;
    const std::string inputPrefix = "file:" + input_ + ": ";
    const std::string outputPrefix = "file:" + temp_ + ": ";
    for (const std::string& raw : held_) {
        if (!lines.empty())
            lines.push_back("[ffmpeg @ 0x0] " + Readable(raw));
        else if (StartsWith(raw, outputPrefix))
            lines.push_back("Error while writing output file '" + Printable(output_) +
                            "': " + Readable(raw.substr(outputPrefix.size())));
        else if (StartsWith(raw, inputPrefix))
            lines.push_back("Error while reading input file '" + Printable(input_) +
                            "': " + Readable(raw.substr(inputPrefix.size())));
        else if (StartsWith(raw, "Error"))
            lines.push_back(Readable(raw));
        else
            lines.push_back("Error: " + Readable(raw));
    }
    if (lines.empty())
        lines.push_back(lastNote_.empty() ? fallback : fallback + ": " + lastNote_);
    return lines;
}

std::vector<std::string> FfmpegMessages::NoteLines() const
{
    std::vector<std::string> lines;
    for (const std::string& raw : held_)
        lines.push_back("[ffmpeg @ 0x0] " + Readable(raw));
    return lines;
}

std::string OpenFailureLine(const std::string& path, const std::vector<std::string>& probeErrors)
{
    std::string reason = "not a readable media file";
    const std::string prefix = "file:" + path + ": ";
    // ffprobe's last line is the one about the file itself; earlier ones are demuxer notes.
    for (auto it = probeErrors.rbegin(); it != probeErrors.rend(); ++it) {
        if (Trim(*it).empty())
            continue;
        reason = StartsWith(*it, prefix) ? it->substr(prefix.size()) : *it;
        break;
    }
    return "Error while opening input file '" + Printable(path) + "': " + Printable(reason);
}

} // namespace tl::transcoder
