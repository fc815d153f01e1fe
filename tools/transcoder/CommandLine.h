#pragma once
// The adapter's command line: the two forms the conversion batch file uses.
//   -p CODE -i IN [-target pal-dvd|ntsc-dvd] -b <n>k [-aspect 4:3|16:9] OUT
//   -p CODE -i IN -y -f image2 -ss TIME -t TIME -s WxH OUT
#include <optional>
#include <string>
#include <vector>

namespace tl::transcoder {

inline constexpr const char* kAccessCode = "4061775";

enum class JobKind { Convert, Thumbnail };
enum class TvSystem { Pal, Ntsc };
enum class FrameAspect { FourThree, SixteenNine };

struct Request {
    JobKind kind = JobKind::Convert;
    std::string input;
    std::string output;
    // Conversion.
    TvSystem tv = TvSystem::Pal;                 // no -target: PAL
    std::optional<long> videoKbps;               // no -b: the target's default
    std::optional<FrameAspect> aspect;           // no -aspect: the nearer one to the source
    // Thumbnail.
    double seekSeconds = 0.0;
    int width = 150;
    int height = 114;
};

struct ParsedCommandLine {
    std::optional<Request> request;
    std::string error; // a complete "Error..." line when request is empty
};

// args are the arguments after the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// "01.000", "1", "00:00:01.5" -> seconds; nullopt when malformed.
std::optional<double> ParseTime(const std::string& text);

} // namespace tl::transcoder
