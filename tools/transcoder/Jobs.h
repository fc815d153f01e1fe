#pragma once
// The ffmpeg runs behind the two command lines, and the output and mapping
// lines of the console report that describe them.
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Probe.h"

namespace tl::transcoder {

struct FfmpegJob {
    std::vector<std::string> arguments;   // argv for ffmpeg, program name first
    std::vector<std::string> reportLines; // "Output #0, ..." to the last mapping line
};

// DVD video is never coded above this rate; higher requests are lowered to it
// (the encoder refuses a bit rate above its peak rate).
inline constexpr long kMaxVideoKbps = 9000;

// Frame aspect used when the command line names none: the nearer of 4:3 and
// 16:9 to the source picture (4:3 without a picture).
FrameAspect DefaultAspect(const MediaInfo& media);

// sourceUrl / outputUrl are ffmpeg URLs ("file:..."); outputPath is what the
// report calls the output.
FfmpegJob ConversionJob(const Request& request, const MediaInfo& media, const std::string& sourceUrl,
                        const std::string& outputUrl, const std::string& outputPath);

// seek: take the picture at request.seekSeconds (else the first picture).
FfmpegJob ThumbnailJob(const Request& request, const MediaInfo& media, const std::string& sourceUrl,
                       const std::string& outputUrl, const std::string& outputPath, bool seek);

} // namespace tl::transcoder
