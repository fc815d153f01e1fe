#pragma once
// The per-title job of step 1: the two-line batch file ~convert.bat that runs
// the transcoder for the DVD stream and for the thumbnail, and the AviSynth
// script for sources the transcoder cannot open itself. Writing never fails
// silently: every failure raises tl::Error naming the file.
#include <cstdint>
#include <string>
#include <vector>

namespace tl {

inline constexpr const char* kConvertBatchName = "~convert.bat";
inline constexpr const char* kAviSynthScriptName = "DirectShow.avs";
inline constexpr const char* kAviSynthPlaceholder = "<%InputFile%>";
inline constexpr const char* kTranscoderAccessCode = "4061775";

// The settings a batch file depends on.
struct ConvertJob {
    std::string transcoderPath;  // TranscoderPath
    std::string input;           // source path, or the script on the AviSynth route
    std::string tempDir;         // T, with trailing separator
    std::int32_t outputIndex = 0;
    unsigned videoFormat = 0;
    std::int32_t quality = 6400;
    unsigned videoAspect = 0;
};

// The exact bytes of ~convert.bat: two lines, each ended by CR LF.
std::string ConvertBatchText(const ConvertJob& job);

// The AviSynth route: on when DirectShow is forced, or when the source's
// extension (as written, letter case included) is one of the listed ones.
bool UsesAviSynthRoute(const std::string& source, bool useDirectShow, const std::vector<std::string>& aviSynthExts);

// The script: every line of the template with the placeholder (any letter
// case) replaced by the source path; each line ended by CR LF.
std::string AviSynthScriptText(const std::string& templateText, const std::string& source);

// Writes T + "DirectShow.avs" from the template in profileDir.
void WriteAviSynthScript(const std::string& profileDir, const std::string& tempDir, const std::string& source);

// Writes the job of the current title from the options record: the script if
// the AviSynth route applies (ProfileDir, AviSynthExtList, UseDirectShow), then
// ~convert.bat for Options.CurrentSource and Options.OutputIndex.
void WriteTitleJob();

// Deletes T + "~convert.bat" and T + "DirectShow.avs"; failures are ignored.
void RemoveJobFiles(const std::string& tempDir);

} // namespace tl
