#pragma once
// Step 1 of the production run: converts every title of the list with the
// transcoder, one title at a time, turns the transcoder's report into the
// conversion dialog's progress, and decides at the end of each title whether
// the run goes on. Windows only display it: the dialog and the main window are
// reached through ConversionView and MainView, questions through UserPrompts.
// The run state lives in tl::Options, as every later step expects it there.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "project/PipelineViews.h"

namespace tl {

class UiThread;
class UserPrompts;
class TitleList;
class TRedirector;

class ConversionRun {
public:
    // `runner` (ConvertRunner) and `cancelled` (the run's cancel mark) stay
    // owned by the controller; `pendingTitles` is its PendingTitles list.
    ConversionRun(UiThread& ui, UserPrompts& prompts, MainView& mainView, ConversionView& dialog,
                  const TitleList& titles, TRedirector& runner, bool& cancelled,
                  std::vector<std::string>& pendingTitles);
    ConversionRun(const ConversionRun&) = delete;
    ConversionRun& operator=(const ConversionRun&) = delete;

    // Called when the user confirms a cancel. Starts as the controller's
    // standard action (set the cancel mark, unlock the main window); the
    // controller may replace it.
    std::function<void()> OnCancel;

    // Priority, error mode and kill-on-destroy of the runner, and its events
    // wired to this run (OnData, OnErrorData, OnTerminated, OnReaderFailed).
    void ConfigureRunner();

    // Starts step 1: configures the runner, resets the dialog and the run
    // state, starts the first title and shows the dialog modally. Returns the
    // dialog's result once it has closed. When the first title cannot start
    // and that already ends the run, the dialog is not shown: Ok when every
    // title has been handled, Cancel when the user chose to stop. An empty
    // title list returns None at once.
    DialogResult Start();

    // The WM_CONVERT_NEXT_TITLE handler: starts the title at the head of
    // PendingTitles. Does nothing once the run is cancelled. A title whose job
    // cannot be written or whose transcoder cannot be started is reported and
    // handled as a failed title, so the user can go on or stop.
    void StartNextTitle();

    // The transcoder's output (both streams): a chunk as the runner read it.
    void HandleOutput(const char* bytes, std::size_t count, bool processEnded);
    // One report line with the line before it in the same chunk.
    void HandleLine(const std::string& line, const std::string& previous);
    // The runner's end event: the end of the current title.
    void TitleEnded();
    // The runner's reader stopped without an end event: the run stops.
    void ReaderFailed(const std::string& message);

    // The dialog's close request (Cancel button, Esc, close box). True when
    // the dialog may close (with result Cancel); false keeps it open.
    bool RequestClose();

    // All titles of the run have been handled.
    bool Finished() const { return finished_; }
    // The run stopped (user's choice after a failed title, or a reader failure):
    // no further title starts; the dialog waits to be closed.
    bool Stopped() const { return stopped_; }

private:
    void TitleCouldNotStart(const std::string& message);
    void StopRun();
    void ShowBatch(std::int32_t percent);

    UiThread& ui_;
    UserPrompts& prompts_;
    MainView& main_;
    ConversionView& dialog_;
    const TitleList& titles_;
    TRedirector& runner_;
    bool& cancelled_;
    std::vector<std::string>& pending_;
    bool finished_ = false;
    bool stopped_ = false;
};

} // namespace tl
