#include "Probe.h"

#include <charconv>
#include <cmath>
#include <sstream>

namespace tl::transcoder {

namespace {

template <typename T>
std::optional<T> Number(const std::string& text)
{
    T value{};
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

// "16:9" or "16/9" -> 1.777...; 0 when missing or degenerate.
double Ratio(const std::string& text)
{
    const auto sep = text.find_first_of(":/");
    if (sep == std::string::npos)
        return 0.0;
    const auto num = Number<double>(text.substr(0, sep));
    const auto den = Number<double>(text.substr(sep + 1));
    if (!num || !den || *num <= 0.0 || *den <= 0.0)
        return 0.0;
    return *num / *den;
}

void SetStreamField(StreamInfo& s, const std::string& key, const std::string& value)
{
    if (key == "index") s.index = Number<int>(value).value_or(-1);
    else if (key == "codec_type") s.type = value;
    else if (key == "codec_name") s.codec = value;
    else if (key == "width") s.width = Number<int>(value).value_or(0);
    else if (key == "height") s.height = Number<int>(value).value_or(0);
    else if (key == "sample_aspect_ratio") s.sampleAspect = value;
    else if (key == "display_aspect_ratio") s.displayAspect = value;
    else if (key == "r_frame_rate") s.frameRate = value;
    else if (key == "sample_rate") s.sampleRate = Number<int>(value).value_or(0);
    else if (key == "channels") s.channels = Number<int>(value).value_or(0);
    else if (key == "DISPOSITION:attached_pic") s.attachedPicture = value == "1";
    else if (key == "TAG:rotate" || key == "rotation") {
        if (const auto degrees = Number<double>(value))
            s.rotation = static_cast<int>(std::lround(*degrees));
    }
}

void SetFormatField(MediaInfo& m, const std::string& key, const std::string& value)
{
    if (key == "format_name") m.formatName = value;
    else if (key == "duration") m.durationSeconds = Number<double>(value);
    else if (key == "start_time") m.startSeconds = Number<double>(value);
    else if (key == "bit_rate") m.bitRate = Number<long long>(value);
}

} // namespace

double StreamInfo::ShownAspect() const
{
    if (width <= 0 || height <= 0)
        return 0.0;
    double sar = Ratio(sampleAspect);
    if (sar <= 0.0)
        sar = 1.0;
    double aspect = width * sar / height;
    if (const double dar = Ratio(displayAspect); dar > 0.0)
        aspect = dar;
    if (std::abs(rotation) % 180 == 90)
        aspect = 1.0 / aspect;
    return aspect;
}

const StreamInfo* MediaInfo::Video() const
{
    for (const StreamInfo& s : streams)
        if (s.type == "video" && !s.attachedPicture)
            return &s;
    return nullptr;
}

const StreamInfo* MediaInfo::Audio() const
{
    for (const StreamInfo& s : streams)
        if (s.type == "audio")
            return &s;
    return nullptr;
}

MediaInfo ParseProbeOutput(const std::string& text)
{
    MediaInfo info;
    enum class Section { None, Stream, Format } section = Section::None;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "[STREAM]") {
            section = Section::Stream;
            info.streams.emplace_back();
            continue;
        }
        if (line == "[FORMAT]") {
            section = Section::Format;
            continue;
        }
        if (line == "[/STREAM]" || line == "[/FORMAT]") {
            section = Section::None;
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue; // nested section markers such as [SIDE_DATA]
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (section == Section::Stream)
            SetStreamField(info.streams.back(), key, value);
        else if (section == Section::Format)
            SetFormatField(info, key, value);
    }
    return info;
}

std::vector<std::string> ProbeArguments(const std::string& url)
{
    return {"ffprobe", "-v", "error", "-show_entries",
            "format=format_name,duration,start_time,bit_rate"
            ":stream=index,codec_type,codec_name,width,height,sample_aspect_ratio,display_aspect_ratio,"
            "r_frame_rate,sample_rate,channels"
            ":stream_disposition=attached_pic:stream_tags=rotate:stream_side_data=rotation",
            "-of", "default", url};
}

} // namespace tl::transcoder
