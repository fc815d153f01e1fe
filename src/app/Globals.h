#pragma once
// Process-wide paths, the options record and the routines that load and save
// config.ini and options.ini. Everything here is used on the user-interface
// thread only.
#include <cstdint>
#include <string>
#include <vector>

namespace tl {

// The options record. Stored options, tool paths and the conversion's run state.
struct TOptions {
    std::uint8_t VideoFormat = 0;      // 0 PAL, 1 NTSC
    std::uint8_t ProcessPriority = 1;  // 0 idle, 1 normal, 2 high, 3 real-time
    std::int32_t Quality = 6400;       // kbit/s
    std::uint8_t VideoAspect = 0;      // 0 = 4:3, 1 = 16:9
    std::string LastOpenDir;
    std::string TempDir;
    bool ShowWindow = true;
    bool UseDirectShow = false;
    std::string TranscoderPath;
    std::string StillStreamPath;
    std::string VideoEncoderPath;
    std::string MuxerPath;
    std::string SubMuxerPath;
    std::string DvdAuthorPath;
    std::string ResourcesDir;
    std::string DVDLabel;
    std::int32_t TemplateIndex = 1;
    std::string TemplateDir;
    // conversion run state
    std::int32_t OutputIndex = 0;
    bool BatchHadError = false;
    std::int32_t FailedCount = 0;
    std::int32_t DoneCount = 0;
    std::int32_t TitleCount = 0;
    std::int64_t TotalSourceBytes = 0;
    std::int64_t CurrentSourceBytes = 0;
    std::int64_t FinishedSourceBytes = 0;
    std::int64_t EstimatedDoneBytes = 0;
    std::int32_t BatchPercent = 0;
    double BatchStartTime = 0;         // date-time: days
    bool FileFailed = false;
    double FileStartTime = 0;          // date-time: days
    std::int32_t FilePercent = 0;
    std::string OutputCarry;
    std::string CurrentSource;
    std::int32_t FileDurationMs = 0;
    std::int32_t FilePositionMs = 0;
    std::string InputName;
    bool IsWin9x = false;
};

extern TOptions Options;

extern std::string InstallDir;       // folder of the executable, trailing separator
extern std::string ConfigIniPath;
extern std::string OptionsIniPath;
extern std::string LangsDir;
extern std::string LanguageFilePath;
extern std::string HelpFilePath;
extern std::string ProfileDir;
extern std::string ApplicationTitle;
extern bool NoMenuDvd;
extern bool MainWindowShown;
extern std::vector<std::string> OpenFilterList;   // lines name=pattern
extern std::vector<std::string> AviSynthExtList;  // extensions with their dot

inline constexpr const char* kDefaultAppTitle = "Valdremo Tessaline";

// Start-up: paths from the folder of the running executable.
void InitPaths();
// The same with an explicit installation folder (tests, tools).
void InitPaths(const std::string& installDir);
void LoadOptions();
void SaveLanguageChoice();
void SaveOptions();
// Whether config.ini and options.ini can be written in InstallDir, as found by
// the last InitPaths. A read-only installation folder does not stop start-up;
// the front end tells the user once that settings will not be kept.
bool SettingsWritable();

// Current time as a date-time (days, with fractions).
double Now();

} // namespace tl
