#include "authoring/DvdBuild.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "app/Globals.h"
#include "app/Utils.h"
#include "authoring/DvdXmlWriter.h"
#include "lang/Catalogue.h"
#include "platform/UiThread.h"
#include "project/FileItem.h"
#include "project/PipelineViews.h"
#include "platform/CommandLine.h"
#include "transcode/OutputCarry.h"
#include "transcode/Redirector.h"

namespace fs = std::filesystem;

namespace tl {

namespace {

void RemoveQuietly(const std::string& path)
{
    std::error_code ec;
    fs::remove(path, ec);
}

bool Exists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(path, ec);
}

void RemoveFolderContent(const fs::path& folder)
{
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path entry = it->path();
        std::error_code statEc;
        const fs::file_status st = fs::symlink_status(entry, statEc);
        if (statEc)
            continue;
        if (fs::is_directory(st)) {
            RemoveFolderContent(entry);
            RemoveQuietly(entry.string());
        } else if (fs::is_regular_file(st) || fs::is_symlink(st)) {
            RemoveQuietly(entry.string());
        }
        // anything else (devices, pipes, sockets) stays, and so does the folder
    }
}

} // namespace

// ---- the run's intermediate files --------------------------------------------------

void AuthoringCleanup(const std::string& tempDir, int titleCount)
{
    for (int k = 0; k < titleCount; ++k)
        RemoveQuietly(tempDir + std::to_string(k) + ".mpg");
    const int pages = MenuPageCount(titleCount);
    for (int p = 0; p < pages; ++p)
        RemoveQuietly(tempDir + "menu_final_" + std::to_string(p) + ".mpg");
    RemoveQuietly(tempDir + "dvd.xml");
}

void RemoveMenuFileGroup(const std::string& tempDir, int titleCount)
{
    const int pages = MenuPageCount(titleCount);
    for (int p = 0; p < pages; ++p) {
        const std::string page = std::to_string(p);
        RemoveQuietly(tempDir + "menu_" + page + ".jpg");
        RemoveQuietly(tempDir + "menu_" + page + "_mask_blue.png");
        RemoveQuietly(tempDir + "menu_" + page + "_mask_red.png");
        RemoveQuietly(tempDir + "menu_" + page + ".mpg");
        RemoveQuietly(tempDir + "menu_back_" + page + ".m2v");
        RemoveQuietly(tempDir + page + ".xml");
    }
    RemoveQuietly(tempDir + "menu.bat");
}

void EndOfRunFolderCleanup(const std::string& tempDir)
{
    const std::string base = AddTrailingBackslash(tempDir);
    DeleteFolderTree(base + "VIDEO_TS");
    DeleteFolderTree(base + "AUDIO_TS");
}

// ---- the disc output folder --------------------------------------------------------

std::string ChooseDiscOutputFolder(const std::string& tempDir)
{
    const std::string base = AddTrailingBackslash(tempDir);
    for (int n = 1;; ++n) {
        const std::string candidate = base + "DVD_DISC" + std::to_string(n);
        std::error_code ec;
        // Any entry of that name is taken: a file there would make the tool fail.
        if (fs::exists(fs::symlink_status(candidate, ec)))
            continue;
        fs::create_directories(candidate, ec);  // a failure shows later, as a failed check
        return candidate;
    }
}

bool CheckVideoTs(const std::string& folder)
{
    const std::string f = AddTrailingBackslash(folder);
    bool result = true;
    if (Exists(f + "VIDEO_TS.VOB")) {
        if (!Exists(f + "VIDEO_TS.IFO") || !Exists(f + "VIDEO_TS.BUP"))
            return false;
    } else {
        result = false;
    }
    for (int i = 1; i <= 99; ++i) {
        char nn[8];
        std::snprintf(nn, sizeof nn, "%.2d", i);
        const std::string stem = f + "VTS_" + nn + "_";
        if (!Exists(stem + "0.VOB"))
            continue;
        if (!Exists(stem + "0.IFO") || !Exists(stem + "0.BUP") || !Exists(stem + "1.VOB"))
            return false;
    }
    return result;
}

void RemoveDiscFolder(const std::string& folder)
{
    if (folder.empty())
        return;
    const fs::path path(RemoveTrailingBackslash(folder));
    std::error_code ec;
    // Only a real folder: a link is never followed into what it points to.
    if (!fs::is_directory(fs::symlink_status(path, ec)))
        return;
    RemoveFolderContent(path);
    RemoveQuietly(path.string());
}

// ---- the author tool ----------------------------------------------------------------

std::string AuthorCommandLine(const std::string& toolPath, const std::string& discFolder, const std::string& tempDir)
{
    return QuoteArgument(toolPath) + " -o " + QuoteArgument(RemoveTrailingBackslash(discFolder)) + " -x " +
           QuoteArgument(tempDir + "dvd.xml");
}

AuthoringOutputParser::AuthoringOutputParser(std::string toolPath, std::string tempDir, int titleCount)
    : toolPath_(std::move(toolPath)), tempDir_(std::move(tempDir)), titleCount_(titleCount)
{
}

std::optional<int> AuthoringOutputParser::LineProgress(const std::string& line) const
{
    std::optional<int> progress;
    if (!toolPath_.empty() && line.find(toolPath_) != std::string::npos)
        progress = 20;
    // A title count of 0 never reaches step 5; it must not divide by zero either.
    if (titleCount_ > 0 && line.find("STAT: Processing " + tempDir_) != std::string::npos) {
        for (int k = 0; k < titleCount_; ++k) {
            if (line.find(tempDir_ + std::to_string(k) + ".mpg") != std::string::npos)
                progress = (100 / titleCount_) * (k + 1);
        }
    }
    if (line.find("empty.mpg") != std::string::npos)
        progress = 100;
    return progress;
}

void AuthoringOutputParser::Feed(std::string& carry, const char* bytes, std::size_t count, bool processEnded,
                                 const std::function<void(int percent)>& setProgress) const
{
    AssembleOutputLines(carry, bytes, count, processEnded, [&](const std::string& line) {
        if (Trim(line).empty())
            return;
        if (const std::optional<int> progress = LineProgress(line))
            setProgress(*progress);
    });
}

// ---- step 5 -------------------------------------------------------------------------

DvdBuildStep::DvdBuildStep(UiThread& ui, MainView& mainView, std::function<bool()> cancelled)
    : ui_(ui), main_(mainView), cancelled_(std::move(cancelled))
{
}

DvdBuildStep::~DvdBuildStep() = default;

bool DvdBuildStep::IsRunning() const
{
    return runner_ && runner_->IsActive();
}

void DvdBuildStep::SetDiscOutputFolder(const std::string& folder, bool created)
{
    discFolder_ = RemoveTrailingBackslash(folder);
    createdFolder_ = created;
}

void DvdBuildStep::Start()
{
    if (cancelled_ && cancelled_())
        return;
    tempDir_ = AddTrailingBackslash(Options.TempDir);
    titleCount_ = Options.TitleCount;
    parser_ = AuthoringOutputParser(Options.DvdAuthorPath, tempDir_, titleCount_);

    // A new runner for every run; the old one (idle by now) goes with it.
    runner_ = std::make_unique<TRedirector>(ui_);
    TRedirector& runner = *runner_;
    runner.SetInitialPriority(RunnerPriority(Options.ProcessPriority));
    runner.SetDefaultErrorMode(true);
    runner.OnData = [this](TRedirector& sender, const char* bytes, std::size_t count) {
        HandleOutput(bytes, count, sender.ProcessEnded());
    };
    runner.OnErrorData = runner.OnData;
    runner.OnTerminated = [this](TRedirector&) { HandleEnd(); };
    runner.OnReaderFailed = [this](TRedirector&, const std::string& message) {
        if (onReaderFailed)
            onReaderFailed(message);
    };
    runner.KillOnDestroy = true;

    Options.OutputCarry.clear();
    SetDiscOutputFolder(ChooseDiscOutputFolder(tempDir_), true);
    runner.SetCommandLine(AuthorCommandLine(Options.DvdAuthorPath, discFolder_, tempDir_));
    runner.Execute();

    if (dialog_) {
        dialog_->SetProgress(0);
        dialog_->SetupStep(5);
    }
    main_.SetStatusText(Text("STR_PROCESSOTHER_BurnDVDStep5"));
    ui_.ProcessMessages();
}

void DvdBuildStep::HandleOutput(const char* bytes, std::size_t count, bool processEnded)
{
    parser_.Feed(Options.OutputCarry, bytes, count, processEnded, [this](int percent) {
        if (dialog_)
            dialog_->SetProgress(percent);
    });
}

void DvdBuildStep::HandleEnd()
{
    // The exit code is not looked at: burning checks the VIDEO_TS folder first.
    if (!dialog_)
        return;
    dialog_->SetProgress(100);
    AuthoringCleanup(tempDir_, titleCount_);
    dialog_->SetupStep(6);
    main_.SetStatusText(Text("STR_PROCESSOTHER_BurnDVDStep6"));
    ui_.ProcessMessages();
    main_.PostPipelineMessage(WM_BURN_DISC);
}

} // namespace tl
