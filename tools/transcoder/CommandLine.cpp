#include "CommandLine.h"

#include <charconv>
#include <set>

namespace tl::transcoder {

namespace {

std::optional<double> ParseNumber(const std::string& text)
{
    if (text.empty() || text.front() == '-' || text.front() == '+')
        return std::nullopt;
    double value = 0.0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

std::optional<long> ParseKbps(std::string text)
{
    if (!text.empty() && (text.back() == 'k' || text.back() == 'K'))
        text.pop_back();
    if (text.empty())
        return std::nullopt;
    long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value <= 0)
        return std::nullopt;
    return value;
}

bool ParseSize(const std::string& text, int& width, int& height)
{
    const auto x = text.find('x');
    if (x == std::string::npos)
        return false;
    const char* begin = text.data();
    auto [p1, e1] = std::from_chars(begin, begin + x, width);
    auto [p2, e2] = std::from_chars(begin + x + 1, begin + text.size(), height);
    return e1 == std::errc() && e2 == std::errc() && p1 == begin + x && p2 == begin + text.size() &&
           width > 0 && height > 0 && width <= 4096 && height <= 4096;
}

ParsedCommandLine Fail(const std::string& message)
{
    return ParsedCommandLine{std::nullopt, "Error: " + message};
}

const std::set<std::string>& ValueOptions()
{
    static const std::set<std::string> options{"-p", "-i", "-target", "-b", "-aspect", "-f", "-ss", "-t", "-s"};
    return options;
}

} // namespace

std::optional<double> ParseTime(const std::string& text)
{
    // [[hh:]mm:]ss[.frac]
    double total = 0.0;
    std::size_t start = 0;
    int parts = 0;
    while (true) {
        const auto colon = text.find(':', start);
        const std::string part = text.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        const auto value = ParseNumber(part);
        if (!value || ++parts > 3)
            return std::nullopt;
        total = total * 60.0 + *value;
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return total;
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    std::optional<std::string> code, input, output, target, bitRate, aspect, format, seek, limit, size;
    std::vector<std::string> conversionOnly, thumbnailOnly;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-y")
            continue; // we always replace the output, and only with a finished file
        if (ValueOptions().count(arg) != 0) {
            if (i + 1 >= args.size())
                return Fail("option " + arg + " needs a value");
            const std::string& value = args[++i];
            if (arg == "-p") code = value;
            else if (arg == "-i") input = value;
            else if (arg == "-target") { target = value; conversionOnly.push_back(arg); }
            else if (arg == "-b") { bitRate = value; conversionOnly.push_back(arg); }
            else if (arg == "-aspect") { aspect = value; conversionOnly.push_back(arg); }
            else if (arg == "-f") format = value;
            else if (arg == "-ss") { seek = value; thumbnailOnly.push_back(arg); }
            else if (arg == "-t") { limit = value; thumbnailOnly.push_back(arg); }
            else if (arg == "-s") { size = value; thumbnailOnly.push_back(arg); }
            continue;
        }
        // The output file is the last argument; it may itself begin with a dash.
        if (i + 1 == args.size()) {
            output = arg;
            continue;
        }
        if (!arg.empty() && arg.front() == '-')
            return Fail("unknown option " + arg);
        return Fail("unexpected argument '" + arg + "'");
    }

    if (!code || *code != kAccessCode)
        return Fail("invalid access code");
    if (!input || input->empty())
        return Fail("no input file given (-i)");
    if (!output || output->empty())
        return Fail("no output file given");

    Request request;
    request.input = *input;
    request.output = *output;
    if (format) {
        if (*format != "image2")
            return Fail("unsupported output format " + *format);
        request.kind = JobKind::Thumbnail;
        if (!conversionOnly.empty())
            return Fail("option " + conversionOnly.front() + " cannot be used with -f image2");
        if (seek) {
            const auto seconds = ParseTime(*seek);
            if (!seconds)
                return Fail("invalid time '" + *seek + "' for -ss");
            request.seekSeconds = *seconds;
        }
        // One picture is written whatever the duration asks for; it only has to be valid.
        if (limit && !ParseTime(*limit))
            return Fail("invalid time '" + *limit + "' for -t");
        if (size && !ParseSize(*size, request.width, request.height))
            return Fail("invalid picture size '" + *size + "' for -s");
        return ParsedCommandLine{request, {}};
    }

    request.kind = JobKind::Convert;
    if (!thumbnailOnly.empty())
        return Fail("option " + thumbnailOnly.front() + " needs -f image2");
    if (target) {
        if (*target == "pal-dvd") request.tv = TvSystem::Pal;
        else if (*target == "ntsc-dvd") request.tv = TvSystem::Ntsc;
        else return Fail("unsupported target " + *target);
    }
    if (bitRate) {
        request.videoKbps = ParseKbps(*bitRate);
        if (!request.videoKbps)
            return Fail("invalid bit rate '" + *bitRate + "' for -b");
    }
    if (aspect) {
        if (*aspect == "4:3") request.aspect = FrameAspect::FourThree;
        else if (*aspect == "16:9") request.aspect = FrameAspect::SixteenNine;
        else return Fail("unsupported aspect " + *aspect);
    }
    return ParsedCommandLine{request, {}};
}

} // namespace tl::transcoder
