#pragma once
// What ffprobe tells us about a source: container, duration and streams.
#include <optional>
#include <string>
#include <vector>

namespace tl::transcoder {

struct StreamInfo {
    int index = -1;
    std::string type;  // video, audio, subtitle, data, attachment
    std::string codec;
    int width = 0;
    int height = 0;
    std::string sampleAspect;  // "1:1", "N/A" or empty
    std::string displayAspect; // "4:3", "N/A" or empty
    std::string frameRate;     // "25/1"
    int sampleRate = 0;
    int channels = 0;
    bool attachedPicture = false; // cover art, not a moving picture
    int rotation = 0;             // degrees, from the display matrix or the rotate tag

    // Width / height as shown on screen (sample aspect and rotation applied); 0 if unknown.
    double ShownAspect() const;
};

struct MediaInfo {
    std::string formatName;
    std::optional<double> durationSeconds;
    std::optional<double> startSeconds;
    std::optional<long long> bitRate;
    std::vector<StreamInfo> streams;

    const StreamInfo* Video() const; // the first moving picture
    const StreamInfo* Audio() const; // the first audio stream
};

// Parses ffprobe's "-of default" output of the entries ProbeArguments asks for.
MediaInfo ParseProbeOutput(const std::string& text);

// ffprobe's arguments for the file given as an ffmpeg URL.
std::vector<std::string> ProbeArguments(const std::string& url);

} // namespace tl::transcoder
