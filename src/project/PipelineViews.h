#pragma once
// What the production run needs of the windows. The front end implements these
// with the main window and the two progress dialogs; tests implement them with
// small fakes. None of the core code creates a window.
#include <string>

namespace tl {

// Pipeline step messages, posted to the main window (QEvent::User + offset).
enum PipelineMessage : int {
    WM_CONVERT_NEXT_TITLE = 1,
    WM_BUILD_MENU_IMAGES = 2,
    WM_BUILD_XML = 3,
    WM_BUILD_MENU_VIDEOS = 4,
    WM_BURN_DISC = 5,
    WM_BUILD_DVD = 6,
};

class MainView {
public:
    virtual ~MainView() = default;
    // Enable or disable the main window's commands, check box and list.
    virtual void LockUserInterface(bool lock) = 0;
    // Panel 0 of the status bar.
    virtual void SetStatusText(const std::string& text) = 0;
    // Post a pipeline message to the main window; it is handled later by
    // whichever message loop runs.
    virtual void PostPipelineMessage(PipelineMessage message) = 0;
};

// The conversion dialog of step 1.
enum class ConvLabel {
    SingleRemainingTime,  // lblSingleRemainingTimeText
    Status,               // lblStatus
    Batch,                // lblBatch
    RemainingTime,        // lblRemainingTimeText
    ElapsedTime,          // lblElapsedTimeText
    EstimatedTime,        // lblEstimatedTimeText
    Working,              // lblWorking
};
enum class ConvBar { Status, Batch };  // prgStatus, prgBatch
enum class DialogResult { None, Ok, Cancel };

class ConversionView {
public:
    virtual ~ConversionView() = default;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetLabel(ConvLabel label, const std::string& text) = 0;
    virtual void SetBar(ConvBar bar, int percent) = 0;
    // Shows the dialog modally; returns when Close is called.
    virtual DialogResult ShowModal() = 0;
    virtual void Close(DialogResult result) = 0;
    virtual bool IsShowing() const = 0;
};

// The progress dialog of steps 2 to 6.
class AuthoringView {
public:
    virtual ~AuthoringView() = default;
    // Caption, info text, Cancel button and creeping timer for a step (2..6).
    virtual void SetupStep(int step) = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetInfo(const std::string& info) = 0;
    virtual void SetProgress(int percent) = 0;
    virtual int Progress() const = 0;
    virtual void StartElapsedTimer() = 0;
    virtual DialogResult ShowModal() = 0;
    virtual void ShowModeless() = 0;
    virtual void Close() = 0;
    virtual bool IsShowing() const = 0;
};

} // namespace tl
