#pragma once
// The production run: checks Burn's preconditions, locks the main window,
// runs step 1 in the conversion dialog and chains the later steps through the
// pipeline messages posted to the main window, then cleans up. The main window
// owns one controller and hands every pipeline message to HandleMessage.
#include <memory>
#include <string>
#include <vector>

#include "authoring/DvdBuild.h"
#include "project/PipelineViews.h"
#include "transcode/ConversionRun.h"
#include "transcode/Redirector.h"

namespace tl {

class DvdXmlWorker;
class TitleList;
class UiThread;
class UserPrompts;

class ProductionController {
public:
    ProductionController(UiThread& ui, UserPrompts& prompts, MainView& mainView, ConversionView& conversionDialog,
                         AuthoringView& authoringDialog, const TitleList& titles);
    ~ProductionController();
    ProductionController(const ProductionController&) = delete;
    ProductionController& operator=(const ProductionController&) = delete;

    // The Burn action: preconditions, lock, step 1 in the modal conversion
    // dialog, then what follows its close.
    void Burn();
    // One pipeline message posted to the main window.
    void HandleMessage(PipelineMessage message);

    // The conversion dialog's close request (Cancel, Esc, close box).
    bool RequestConversionClose() { return conversion_.RequestClose(); }

    bool Cancelled() const { return cancelled_; }
    const std::vector<std::string>& PendingTitles() const { return pendingTitles_; }
    TRedirector& ConvertRunner() { return convertRunner_; }
    TRedirector* MenuRunner() { return menuRunner_.get(); }
    DvdBuildStep& DvdBuild() { return dvdBuild_; }
    ConversionRun& Conversion() { return conversion_; }

private:
    bool CheckPreconditions();
    void BuildMenuImages();
    void BuildXml();
    void BuildMenuVideos();
    void BuildDvd();
    void BurnDisc();
    void CleanUpAfterAuthoring();
    // A step that cannot start its work: the error is shown and the run ends
    // with the authoring dialog closed and the main window usable again.
    void AbandonAuthoring(const std::string& message);

    UiThread& ui_;
    UserPrompts& prompts_;
    MainView& main_;
    ConversionView& conversionDialog_;
    AuthoringView& authoringDialog_;
    const TitleList& titles_;

    bool cancelled_ = false;
    std::vector<std::string> pendingTitles_;
    TRedirector convertRunner_;
    std::unique_ptr<TRedirector> menuRunner_;
    ConversionRun conversion_;
    DvdBuildStep dvdBuild_;
    std::unique_ptr<DvdXmlWorker> xmlWorker_;
};

} // namespace tl
