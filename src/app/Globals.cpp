#include "app/Globals.h"

#include "app/Error.h"
#include "app/Utils.h"
#include "lang/Catalogue.h"
#include "lang/LanguageFile.h"
#include "platform/IniFile.h"

#include <chrono>
#include <clocale>
#include <ctime>
#include <filesystem>
#include <limits>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tl {

TOptions Options;

std::string InstallDir;
std::string ConfigIniPath;
std::string OptionsIniPath;
std::string LangsDir;
std::string LanguageFilePath;
std::string HelpFilePath;
std::string ProfileDir;
std::string ApplicationTitle;
bool NoMenuDvd = false;
bool MainWindowShown = false;
std::vector<std::string> OpenFilterList;
std::vector<std::string> AviSynthExtList;

namespace {

constexpr const char* kConfigSection = "VideoAPP_Form";
constexpr const char* kOptionsSection = "TLOptions";
constexpr const char* kDefaultLanguageFile = "English.ini";
constexpr int kAppDataFolderId = 26;

bool settingsWritable = true;

// A file that does not exist yet needs a folder that takes new files.
bool CanWrite(const std::string& file, const std::string& folder)
{
    std::error_code ec;
    if (fs::exists(file, ec))
        return ::access(file.c_str(), W_OK) == 0;
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::int32_t ReadInt32(const std::string& key, std::int32_t current)
{
    const long long value = IniReadInteger(OptionsIniPath, kOptionsSection, key, current);
    // a number outside the 32-bit range is no valid value of the field
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return current;
    return static_cast<std::int32_t>(value);
}

// The field holds one byte: the stored number is cut to its low byte.
std::uint8_t ReadByte(const std::string& key, std::uint8_t current)
{
    return static_cast<std::uint8_t>(IniReadInteger(OptionsIniPath, kOptionsSection, key, current));
}

} // namespace

void InitPaths()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    fs::path folder = ec ? fs::current_path(ec) : exe.parent_path();
    InitPaths(folder.string());
}

void InitPaths(const std::string& installDir)
{
    // number texts (tool output, stored values) always use '.' as decimal separator
    std::setlocale(LC_NUMERIC, "C");

    InstallDir = AddTrailingBackslash(installDir);
    ConfigIniPath = InstallDir + "config.ini";
    OptionsIniPath = InstallDir + "options.ini";
    LangsDir = AddTrailingBackslash(InstallDir + "langs");

    // The key names a file inside "langs": a folder part would let the exit
    // write the language file anywhere, and an empty name would make the
    // langs folder itself the language file; both fall back to safe names.
    std::string languageFile = IniReadString(ConfigIniPath, kConfigSection, "LanguageFile", kDefaultLanguageFile);
    languageFile = fs::path(languageFile).filename().string();
    if (Trim(languageFile).empty() || languageFile == "." || languageFile == "..")
        languageFile = kDefaultLanguageFile;
    LanguageFilePath = LangsDir + languageFile;
    const std::string base = FileBaseName(languageFile);
    HelpFilePath = LangsDir + base + "_help.chm";
    ProfileDir = LangsDir + base + "_Profile/";

    ApplicationTitle = IniReadString(ConfigIniPath, kConfigSection, "AppTitle", kDefaultAppTitle);
    settingsWritable = true;
    try {
        IniWriteString(ConfigIniPath, kConfigSection, "AppTitle", kDefaultAppTitle);
    } catch (const Error&) {
        // a read-only installation folder must not stop the program
        settingsWritable = false;
    }
    if (!CanWrite(OptionsIniPath, InstallDir))
        settingsWritable = false;
}

void LoadOptions()
{
    Options = TOptions{};
    Options.LastOpenDir.clear();
    Options.VideoFormat = 0;
    Options.Quality = 6400;
    Options.VideoAspect = 0;

    // Without an application-data folder there is no sound default; the
    // conversion step then asks for a working folder instead of writing to "/".
    const std::string appData = SpecialFolderPath(kAppDataFolderId, true);
    Options.TempDir = appData.empty() ? std::string() : AddTrailingBackslash(AddTrailingBackslash(appData) + "Tessaline");
    if (!Options.TempDir.empty()) {
        std::error_code ec;
        fs::create_directories(Options.TempDir, ec);  // a failure shows when the conversion checks it
    }

    Options.ShowWindow = true;
    Options.UseDirectShow = false;
    Options.ProcessPriority = 1;

    Options.TranscoderPath = InstallDir + "transcoder.dll";
    Options.StillStreamPath = InstallDir + "stillstream.dll";
    Options.VideoEncoderPath = InstallDir + "videoencoder.dll";
    Options.MuxerPath = InstallDir + "muxer.dll";
    Options.SubMuxerPath = InstallDir + "submuxer.dll";
    Options.DvdAuthorPath = InstallDir + "dvdauthoring.dll";
    Options.ResourcesDir = InstallDir + "resources/";

    Options.DVDLabel = Text("IDS_Main_DVDLabel");
    Options.TemplateIndex = 1;
    NoMenuDvd = false;

    const int version = WindowsVersion();
    Options.IsWin9x = version >= 1 && version <= 4;

    Options.LastOpenDir = IniReadString(OptionsIniPath, kOptionsSection, "LastOpenDir", Options.LastOpenDir);
    Options.VideoFormat = ReadByte("VideoFormat", Options.VideoFormat);
    Options.Quality = ReadInt32("Quality", Options.Quality);
    Options.VideoAspect = ReadByte("VideoAspect", Options.VideoAspect);
    Options.TempDir = IniReadString(OptionsIniPath, kOptionsSection, "TempDir", Options.TempDir);
    Options.DVDLabel = IniReadString(OptionsIniPath, kOptionsSection, "DVDLabel", Options.DVDLabel);
    Options.TemplateIndex = ReadInt32("TemplateIndex", Options.TemplateIndex);
    Options.ShowWindow = IniReadBool(OptionsIniPath, kOptionsSection, "ShowWindow", Options.ShowWindow);
    Options.UseDirectShow = IniReadBool(OptionsIniPath, kOptionsSection, "UseDirectShow", Options.UseDirectShow);

    Options.TemplateDir = AddTrailingBackslash(InstallDir + "template" + std::to_string(Options.TemplateIndex));
}

void SaveLanguageChoice()
{
    std::error_code ec;
    const std::string value = fs::is_regular_file(LanguageFilePath, ec)
                                  ? fs::path(LanguageFilePath).filename().string()
                                  : std::string(kDefaultLanguageFile);
    IniWriteString(ConfigIniPath, kConfigSection, "LanguageFile", value);
}

void SaveOptions()
{
    // one document, one write: a failure leaves the old options.ini whole
    IniDocument doc(OptionsIniPath);
    auto put = [&doc](const char* key, const std::string& value) { doc.WriteString(kOptionsSection, key, value); };
    put("LastOpenDir", Options.LastOpenDir);
    put("VideoFormat", std::to_string(Options.VideoFormat));
    put("Quality", std::to_string(Options.Quality));
    put("VideoAspect", std::to_string(Options.VideoAspect));
    put("TempDir", Options.TempDir);
    put("DVDLabel", Options.DVDLabel);
    put("TemplateIndex", std::to_string(Options.TemplateIndex));
    put("ShowWindow", Options.ShowWindow ? "1" : "0");
    put("UseDirectShow", Options.UseDirectShow ? "1" : "0");
    doc.Save();

    WriteLanguageFile(LanguageFilePath);
}

bool SettingsWritable()
{
    return settingsWritable;
}

double Now()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const double seconds = duration<double>(now.time_since_epoch()).count();
    const std::time_t whole = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&whole, &local);
    // day 25569 of the date-time scale is 1970-01-01; the scale counts local time
    constexpr double kUnixEpochDay = 25569.0;
    return kUnixEpochDay + (seconds + static_cast<double>(local.tm_gmtoff)) / 86400.0;
}

} // namespace tl
