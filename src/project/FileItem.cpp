#include "project/FileItem.h"

namespace tl {

std::vector<std::string> TitleSubItems(const TFileItem& i)
{
    return {i.Format, i.PlayTime, i.FileSize, i.VideoCodec, i.Width, i.Height,
            i.VideoBitrate, i.AspectRatio, i.FrameRate, i.AudioCodec, i.AudioBitRate,
            i.Channels, i.SamplingRate, i.AudioCount, i.VideoCount, i.CompleteName};
}

std::string TargetOption(unsigned videoFormat)
{
    switch (videoFormat) {
    case 0: return "-target pal-dvd ";
    case 1: return "-target ntsc-dvd ";
    default: return {};
    }
}

std::string BitrateOption(std::int32_t quality)
{
    return "-b " + std::to_string(quality) + "k ";
}

std::string AspectOption(unsigned videoAspect)
{
    switch (videoAspect) {
    case 0: return "-aspect 4:3 ";
    case 1: return "-aspect 16:9 ";
    default: return {};
    }
}

std::string TranscoderOptions(unsigned videoFormat, std::int32_t quality, unsigned videoAspect)
{
    return TargetOption(videoFormat) + BitrateOption(quality) + AspectOption(videoAspect);
}

std::string MenuFrameRate(unsigned videoFormat)
{
    switch (videoFormat) {
    case 0: return "25";
    case 1: return "29.97";
    default: return {};
    }
}

std::string NormLetter(unsigned videoFormat)
{
    switch (videoFormat) {
    case 0: return "p";
    case 1: return "n";
    default: return {};
    }
}

std::string BackgroundPicture(unsigned videoFormat)
{
    switch (videoFormat) {
    case 0: return "bg_pal.jpg";
    case 1: return "bg_ntsc.jpg";
    default: return {};
    }
}

std::string BackgroundMask(unsigned videoFormat)
{
    switch (videoFormat) {
    case 0: return "bg_pal_mask.png";
    case 1: return "bg_ntsc_mask.png";
    default: return {};
    }
}

std::uint8_t RunnerPriority(unsigned processPriority)
{
    switch (processPriority) {
    case 0: return 1;
    case 1: return 2;
    case 2: return 3;
    case 3: return 4;
    default: return 1;
    }
}

} // namespace tl
