#include "transcode/JobBuilder.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "app/Error.h"
#include "app/Globals.h"
#include "app/WholeFile.h"
#include "platform/CommandLine.h"
#include "project/FileItem.h"
#include "project/MediaProbe.h"
#include "transcode/TranscodeParser.h"

namespace tl {

namespace {

constexpr const char* kCrLf = "\r\n";

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Every occurrence of `placeholder`, compared without regard to letter case.
std::string ReplaceAllNoCase(const std::string& line, const std::string& placeholder, const std::string& value)
{
    const std::string lowerLine = Lower(line);
    const std::string lowerPlaceholder = Lower(placeholder);
    std::string out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = lowerLine.find(lowerPlaceholder, from);
        if (at == std::string::npos)
            break;
        out.append(line, from, at - from);
        out += value;
        from = at + placeholder.size();
    }
    out.append(line, from, std::string::npos);
    return out;
}

// Lines as a text-file reader sees them: CR LF, lone CR and lone LF all end a
// line, and a final line break does not start another line.
std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string current;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(current));
            current.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            current += c;
        }
    }
    if (!current.empty())
        lines.push_back(std::move(current));
    return lines;
}


} // namespace

std::string ConvertBatchText(const ConvertJob& job)
{
    const std::string n = std::to_string(job.outputIndex);
    const std::string head = QuoteArgument(job.transcoderPath) + " -p " + kTranscoderAccessCode + " -i " + QuoteArgument(job.input) + " ";
    const std::string options = TranscoderOptions(job.videoFormat, job.quality, job.videoAspect);
    std::string text;
    text += head + options + " " + QuoteArgument(job.tempDir + n + ".mpg") + kCrLf;
    text += head + " -y -f image2 -ss 01.000 -t 0.001 -s 150x114 " + " " + QuoteArgument(job.tempDir + n + ".jpg") + kCrLf;
    return text;
}

bool UsesAviSynthRoute(const std::string& source, bool useDirectShow, const std::vector<std::string>& aviSynthExts)
{
    if (useDirectShow)
        return true;
    const std::string ext = FileExtension(source);
    return std::find(aviSynthExts.begin(), aviSynthExts.end(), ext) != aviSynthExts.end();
}

std::string AviSynthScriptText(const std::string& templateText, const std::string& source)
{
    std::string out;
    for (const std::string& line : SplitLines(templateText))
        out += ReplaceAllNoCase(line, kAviSynthPlaceholder, source) + kCrLf;
    return out;
}

void WriteAviSynthScript(const std::string& profileDir, const std::string& tempDir, const std::string& source)
{
    const std::string templatePath = profileDir + kAviSynthScriptName;
    std::string templateText;
    try {
        templateText = ReadWholeFile(templatePath);
    } catch (const Error& e) {
        throw Error(std::string("The AviSynth script template is missing or unreadable: ") + e.what());
    }
    WriteWholeFile(tempDir + kAviSynthScriptName, AviSynthScriptText(templateText, source));
}

void WriteTitleJob()
{
    const std::string& tempDir = Options.TempDir;
    ConvertJob job;
    job.transcoderPath = Options.TranscoderPath;
    job.tempDir = tempDir;
    job.outputIndex = Options.OutputIndex;
    job.videoFormat = Options.VideoFormat;
    job.quality = Options.Quality;
    job.videoAspect = Options.VideoAspect;
    job.input = Options.CurrentSource;
    if (UsesAviSynthRoute(Options.CurrentSource, Options.UseDirectShow, AviSynthExtList)) {
        WriteAviSynthScript(ProfileDir, tempDir, Options.CurrentSource);
        job.input = tempDir + kAviSynthScriptName;
    }
    WriteWholeFile(tempDir + kConvertBatchName, ConvertBatchText(job));
}

void RemoveJobFiles(const std::string& tempDir)
{
    std::error_code ignored;
    std::filesystem::remove(tempDir + kConvertBatchName, ignored);
    std::filesystem::remove(tempDir + kAviSynthScriptName, ignored);
}

} // namespace tl
