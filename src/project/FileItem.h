#pragma once
// The title record and the rendering of the shared video settings into the
// texts the tools and templates receive.
#include <cstdint>
#include <string>
#include <vector>

namespace tl {

// Media properties of one title, as the media probe read them. Empty text
// means "not known".
struct TFileItem {
    std::string FileName;      // name without folder
    std::string Folder;        // folder with trailing separator
    std::string CompleteName;
    std::string FileSize;
    std::string Format;
    std::string PlayTime;      // HH:MM:SS.mmm
    std::string AudioCount;
    std::string VideoCount;
    std::string VideoCodec;
    std::string Width;
    std::string Height;
    std::string VideoBitrate;
    std::string AspectRatio;
    std::string FrameRate;
    std::string AudioCodec;
    std::string AudioBitRate;
    std::string Channels;
    std::string SamplingRate;
};

// The sixteen sub-items of a title row, in row order.
std::vector<std::string> TitleSubItems(const TFileItem& item);

// Renderings of the video settings; a value outside the known ones renders empty.
std::string TargetOption(unsigned videoFormat);        // "-target pal-dvd " / "-target ntsc-dvd "
std::string BitrateOption(std::int32_t quality);       // "-b 6400k "
std::string AspectOption(unsigned videoAspect);        // "-aspect 4:3 " / "-aspect 16:9 "
std::string TranscoderOptions(unsigned videoFormat, std::int32_t quality, unsigned videoAspect);
std::string MenuFrameRate(unsigned videoFormat);       // "25" / "29.97"
std::string NormLetter(unsigned videoFormat);          // "p" / "n"
std::string BackgroundPicture(unsigned videoFormat);   // "bg_pal.jpg" / "bg_ntsc.jpg"
std::string BackgroundMask(unsigned videoFormat);      // "bg_pal_mask.png" / "bg_ntsc_mask.png"
// Runner priority (1 idle .. 4 realtime) for the ProcessPriority setting.
std::uint8_t RunnerPriority(unsigned processPriority);

} // namespace tl
