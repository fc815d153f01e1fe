#include "Jobs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Console.h"

namespace tl::transcoder {

namespace {

std::vector<std::string> CommonHead()
{
    // -nostats/-progress: progress comes as key=value blocks on ffmpeg's stdout,
    // which we turn into our own progress lines; stderr carries errors only.
    return {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-nostats", "-progress", "pipe:1", "-y"};
}

std::string Seconds(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3f", value);
    return buffer;
}

struct DvdFrame {
    int width = 720;
    int height = 576;
    const char* rate = "25";
    const char* target = "pal-dvd";
    const char* aspectText = "4:3";
    const char* aspectValue = "4/3";
    const char* sampleAspect = "16/15"; // pixel shape that makes 720 x height show at the aspect
};

DvdFrame FrameFor(TvSystem tv, FrameAspect aspect)
{
    DvdFrame f;
    const bool wide = aspect == FrameAspect::SixteenNine;
    if (tv == TvSystem::Ntsc) {
        f.height = 480;
        f.rate = "30000/1001";
        f.target = "ntsc-dvd";
        f.sampleAspect = wide ? "32/27" : "8/9";
    } else {
        f.sampleAspect = wide ? "64/45" : "16/15";
    }
    f.aspectText = wide ? "16:9" : "4:3";
    f.aspectValue = wide ? "16/9" : "4/3";
    return f;
}

// Scales the picture to fit the frame's shown area without changing its shape,
// pads the rest with black (letterbox or pillarbox), and marks the pixel shape
// so the frame shows at exactly the chosen aspect. The sizes are worked out by
// the scale filter from the decoded picture itself ("dar" includes its sample
// aspect and any rotation ffmpeg applies), so the probe cannot mislead it.
std::string FitFilter(const DvdFrame& f)
{
    const std::string w = std::to_string(f.width);
    const std::string h = std::to_string(f.height);
    const std::string d = f.aspectValue;
    return "scale=w='if(gte(dar," + d + ")," + w + ",2*trunc(" + w + "*dar/(" + d + ")/2+0.5))'" +
           ":h='if(gte(dar," + d + "),2*trunc(" + h + "*(" + d + ")/dar/2+0.5)," + h + ")'" +
           ",pad=" + w + ":" + h + ":(ow-iw)/2:(oh-ih)/2:black,setsar=" + f.sampleAspect;
}

std::string Index(const StreamInfo& s)
{
    return std::to_string(s.index);
}

} // namespace

FrameAspect DefaultAspect(const MediaInfo& media)
{
    const StreamInfo* video = media.Video();
    const double shown = video ? video->ShownAspect() : 0.0;
    // Halfway between 4:3 and 16:9.
    return shown >= (4.0 / 3.0 + 16.0 / 9.0) / 2.0 ? FrameAspect::SixteenNine : FrameAspect::FourThree;
}

FfmpegJob ConversionJob(const Request& request, const MediaInfo& media, const std::string& sourceUrl,
                        const std::string& outputUrl, const std::string& outputPath)
{
    const DvdFrame f = FrameFor(request.tv, request.aspect.value_or(DefaultAspect(media)));
    const StreamInfo* video = media.Video();
    const StreamInfo* audio = media.Audio();
    const long kbps = std::min(request.videoKbps.value_or(6000), kMaxVideoKbps);

    FfmpegJob job;
    std::vector<std::string>& a = job.arguments;
    a = CommonHead();
    a.insert(a.end(), {"-i", sourceUrl});
    // A missing picture or sound is made up from a second, endless input;
    // -shortest ends the output with the source.
    std::string mapVideo = "[v]";
    std::string mapAudio;
    std::string graph;
    if (video) {
        graph = "[0:" + Index(*video) + "]" + FitFilter(f) + "[v]";
    } else {
        a.insert(a.end(), {"-f", "lavfi", "-i",
                           "color=c=black:s=" + std::to_string(f.width) + "x" + std::to_string(f.height) +
                               ":r=" + f.rate});
        graph = std::string("[1:0]setsar=") + f.sampleAspect + "[v]";
    }
    if (audio) {
        mapAudio = "0:" + Index(*audio);
    } else {
        a.insert(a.end(), {"-f", "lavfi", "-i", "anullsrc=r=48000:cl=stereo"});
        mapAudio = "1:0";
    }
    a.insert(a.end(), {"-filter_complex", graph, "-map", mapVideo, "-map", mapAudio});
    a.insert(a.end(), {"-target", f.target, "-b:v", std::to_string(kbps) + "k", "-maxrate", "9000k", "-bufsize",
                       "1835k", "-aspect", f.aspectText});
    if (audio && audio->channels > 6)
        a.insert(a.end(), {"-ac", "6"}); // AC-3 carries at most 5.1
    if (!video || !audio) {
        a.push_back("-shortest");
        // A guard, not the limit: should -shortest ever miss the end, the
        // made-up stream still cannot run on for ever.
        if (media.durationSeconds && *media.durationSeconds > 0.0)
            a.insert(a.end(), {"-t", Seconds(*media.durationSeconds * 1.1 + 1.0)});
    }
    a.push_back(outputUrl);

    const std::string size = std::to_string(f.width) + "x" + std::to_string(f.height);
    std::string sar = f.sampleAspect;
    std::replace(sar.begin(), sar.end(), '/', ':');
    std::vector<std::string>& r = job.reportLines;
    r.push_back("Output #0, dvd, to '" + Printable(outputPath) + "':");
    r.push_back("    Stream #0.0: Video: mpeg2video, yuv420p, " + size + " [SAR " + sar + " DAR " + f.aspectText +
                "], q=2-31, " + std::to_string(kbps) + " kb/s, " + (request.tv == TvSystem::Ntsc ? "29.97" : "25") +
                " fps");
    r.push_back("    Stream #0.1: Audio: ac3, 48000 Hz, 448 kb/s");
    r.push_back("Stream mapping:");
    r.push_back(video ? "  Stream #0." + Index(*video) + " -> #0.0" : "  Stream #1.0 -> #0.0 (black picture)");
    r.push_back(audio ? "  Stream #0." + Index(*audio) + " -> #0.1" : "  Stream #1.0 -> #0.1 (silence)");
    return job;
}

FfmpegJob ThumbnailJob(const Request& request, const MediaInfo& media, const std::string& sourceUrl,
                       const std::string& outputUrl, const std::string& outputPath, bool seek)
{
    const StreamInfo* video = media.Video();
    const std::string size = std::to_string(request.width) + "x" + std::to_string(request.height);

    FfmpegJob job;
    std::vector<std::string>& a = job.arguments;
    a = CommonHead();
    if (video) {
        if (seek)
            a.insert(a.end(), {"-ss", Seconds(request.seekSeconds)});
        a.insert(a.end(), {"-i", sourceUrl, "-map", "0:" + Index(*video), "-vf",
                           "scale=" + std::to_string(request.width) + ":" + std::to_string(request.height) +
                               ",setsar=1"});
    } else {
        // No picture to take: a black one of the same size.
        a.insert(a.end(), {"-f", "lavfi", "-i", "color=c=black:s=" + size + ":r=1", "-map", "0:0"});
    }
    a.insert(a.end(), {"-frames:v", "1", "-c:v", "mjpeg", "-q:v", "2", "-f", "image2", "-update", "1", outputUrl});

    std::vector<std::string>& r = job.reportLines;
    r.push_back("Output #0, image2, to '" + Printable(outputPath) + "':");
    r.push_back("    Stream #0.0: Video: mjpeg, " + size + ", q=2-31");
    r.push_back("Stream mapping:");
    r.push_back(video ? "  Stream #0." + Index(*video) + " -> #0.0" : "  Stream #1.0 -> #0.0 (black picture)");
    return job;
}

} // namespace tl::transcoder
