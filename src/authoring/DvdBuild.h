#pragma once
// Step 5 of the production run: the DVD author tool turns dvd.xml and the
// converted titles into DVD_DISC<n>/VIDEO_TS; its console report moves the
// progress bar, and its end cleans up and hands over to burning. Also the
// VIDEO_TS check that burning applies first, and the removals of the run's
// intermediate files and folders.
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tl {

class AuthoringView;
class MainView;
class TRedirector;
class UiThread;

// ---- the run's intermediate files --------------------------------------------------

// Title-file group: n.mpg for every title, menu_final_p.mpg for every page,
// then dvd.xml. tempDir ends with a separator; missing files are skipped.
void AuthoringCleanup(const std::string& tempDir, int titleCount);
// Menu-file group: for every page menu_p.jpg, menu_p_mask_blue.png,
// menu_p_mask_red.png, menu_p.mpg, menu_back_p.m2v and p.xml, then menu.bat.
void RemoveMenuFileGroup(const std::string& tempDir, int titleCount);
// The folders VIDEO_TS and AUDIO_TS directly in tempDir, with all they hold.
void EndOfRunFolderCleanup(const std::string& tempDir);

// ---- the disc output folder --------------------------------------------------------

// Creates (with missing parents) and returns tempDir + "DVD_DISC" + n for the
// smallest n >= 1 whose folder does not exist yet; no trailing separator.
std::string ChooseDiscOutputFolder(const std::string& tempDir);

// Checks an authored VIDEO_TS folder: VIDEO_TS.VOB with its .IFO and .BUP, and
// every title set nn = 01..99 whose VTS_nn_0.VOB exists with its .IFO, .BUP
// and VTS_nn_1.VOB.
bool CheckVideoTs(const std::string& folder);

// Removes a disc output folder: every file and symbolic link in it, sub-folders
// recursively (a symbolic link to a folder is removed, never followed), then
// the folder itself. Failures are ignored; empty text or a missing folder
// does nothing.
void RemoveDiscFolder(const std::string& folder);

// ---- the author tool ----------------------------------------------------------------

// "{A}" -o "{D}" -x "{T}dvd.xml": D without a trailing separator. In the two
// arguments a double quote is written \" (and backslashes just before it
// doubled), so that the command line splits back into the same arguments.
std::string AuthorCommandLine(const std::string& toolPath, const std::string& discFolder,
                              const std::string& tempDir);

// The authoring output parser: turns the tool's report into progress values.
class AuthoringOutputParser {
public:
    AuthoringOutputParser() = default;
    AuthoringOutputParser(std::string toolPath, std::string tempDir, int titleCount);

    // Progress for one line, or nothing when the line does not move the bar.
    // Tested in order, a later match winning: the tool path (20),
    // "STAT: Processing " + T with T + k + ".mpg" in the line (100 div N times
    // k + 1), "empty.mpg" (100).
    std::optional<int> LineProgress(const std::string& line) const;

    // One chunk of output: assembled into lines with carry (the unfinished last
    // line waits there while the process has not ended); setProgress is called
    // for every line that moves the bar.
    void Feed(std::string& carry, const char* bytes, std::size_t count, bool processEnded,
              const std::function<void(int percent)>& setProgress) const;

private:
    std::string toolPath_;
    std::string tempDir_;
    int titleCount_ = 0;
};

// Step 5 itself. One object lives with the main window; every run makes a new
// runner. All its operations run on the user-interface thread.
class DvdBuildStep {
public:
    // cancelled: the run's cancel mark (empty: never cancelled).
    DvdBuildStep(UiThread& ui, MainView& mainView, std::function<bool()> cancelled = {});
    ~DvdBuildStep();
    DvdBuildStep(const DvdBuildStep&) = delete;
    DvdBuildStep& operator=(const DvdBuildStep&) = delete;

    // The progress dialog of steps 2 to 6; nullptr while it does not exist.
    void SetDialog(AuthoringView* dialog) { dialog_ = dialog; }

    // Handler of WM_BUILD_DVD: does nothing once the run is cancelled; else sets
    // up a new runner, chooses the disc output folder, starts the tool and sets
    // the dialog and status bar up for step 5. Reads Options.TempDir,
    // TitleCount, DvdAuthorPath and ProcessPriority. A tool that cannot be
    // started raises tl::Error.
    void Start();

    // One chunk of the tool's output (standard output and error alike).
    void HandleOutput(const char* bytes, std::size_t count, bool processEnded);
    // The end of the tool: progress 100, clean-up, step 6 set-up, WM_BURN_DISC.
    void HandleEnd();

    // Called when the runner's reader stops without an end (the run then
    // does not advance); empty: ignored.
    std::function<void(const std::string& message)> onReaderFailed;

    // AuthorRunner of the current run (nullptr before the first run).
    TRedirector* Runner() const { return runner_.get(); }
    bool IsRunning() const;

    // The disc output folder (no trailing separator) and whether step 5 of the
    // current run created it. Burning an existing VIDEO_TS folder sets its
    // parent here with created = false, so that it is never removed.
    const std::string& DiscOutputFolder() const { return discFolder_; }
    bool CreatedDiscOutputFolder() const { return createdFolder_; }
    void SetDiscOutputFolder(const std::string& folder, bool created);

    // T and N of the current run, as Start read them.
    const std::string& TempDir() const { return tempDir_; }
    int TitleCount() const { return titleCount_; }

private:
    UiThread& ui_;
    MainView& main_;
    std::function<bool()> cancelled_;
    AuthoringView* dialog_ = nullptr;
    std::unique_ptr<TRedirector> runner_;
    std::string discFolder_;
    bool createdFolder_ = false;
    std::string tempDir_;
    int titleCount_ = 0;
    AuthoringOutputParser parser_;
};

} // namespace tl
