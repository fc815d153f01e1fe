#include "project/Pipeline.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "app/Error.h"
#include "app/Format.h"
#include "app/Globals.h"
#include "app/Utils.h"
#include "authoring/DvdXmlWriter.h"
#include "authoring/VideoTsQuestion.h"
#include "lang/Catalogue.h"
#include "platform/ProcessList.h"
#include "platform/UiThread.h"
#include "platform/UserPrompts.h"
#include "project/TitleList.h"
#include "transcode/JobBuilder.h"

namespace tl {

namespace {

bool FolderExistsOrCreated(const std::string& folder)
{
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec))
        return true;
    std::filesystem::create_directories(folder, ec);
    return !ec && std::filesystem::is_directory(folder, ec);
}

} // namespace

ProductionController::ProductionController(UiThread& ui, UserPrompts& prompts, MainView& mainView,
                                           ConversionView& conversionDialog, AuthoringView& authoringDialog,
                                           const TitleList& titles)
    : ui_(ui), prompts_(prompts), main_(mainView), conversionDialog_(conversionDialog),
      authoringDialog_(authoringDialog), titles_(titles), convertRunner_(ui),
      menuRunner_(std::make_unique<TRedirector>(ui)),
      conversion_(ui, prompts, mainView, conversionDialog, titles, convertRunner_, cancelled_, pendingTitles_),
      dvdBuild_(ui, mainView, [this] { return cancelled_; })
{
    dvdBuild_.SetDialog(&authoringDialog_);
    dvdBuild_.onReaderFailed = [this](const std::string& message) { AbandonAuthoring(message); };
}

ProductionController::~ProductionController() = default;

bool ProductionController::CheckPreconditions()
{
    const std::string hint = Text("STR_Hint");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(Options.TranscoderPath, ec)) {
        prompts_.Message(Format(Text("STR_MAIN_NoEncoder"), {Options.TranscoderPath}), hint, MsgKind::Warning,
                         MsgButtons::Ok);
        return false;
    }
    if (titles_.Empty()) {
        prompts_.Message(Text("STR_MAIN_NoFilesToEncode"), hint, MsgKind::Warning, MsgButtons::Ok);
        return false;
    }
    if (Trim(Options.TempDir).empty()) {
        prompts_.Message(Text("STR_MAIN_DirEmpty"), hint, MsgKind::Confirmation, MsgButtons::Ok);
        return false;
    }
    if (!FolderExistsOrCreated(Options.TempDir)) {
        prompts_.Message(Text("STR_MAIN_FailToCreate"), hint, MsgKind::Confirmation, MsgButtons::Ok);
        return false;
    }
    return true;
}

void ProductionController::Burn()
{
    main_.LockUserInterface(true);
    cancelled_ = false;
    if (!CheckPreconditions()) {
        main_.LockUserInterface(false);
        return;
    }
    Options.TempDir = AddTrailingBackslash(Options.TempDir);

    // The end of a cancelled run's transcoder may still be on its way; the
    // runner has to be idle before it can be set up again.
    for (int i = 0; convertRunner_.IsActive() && i < 500; ++i) {
        ui_.ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    try {
        conversion_.Start();
    } catch (const Error&) {
        // Step 1 could not start at all (for example its first job cannot be
        // written): nothing runs, so the window must not stay locked.
        if (convertRunner_.IsActive())
            convertRunner_.Terminate(0);
        main_.LockUserInterface(false);
        throw;
    }

    if (convertRunner_.IsActive()) {
        convertRunner_.Terminate(0);
        EndToolProcesses("transcoder.dll");
        RemoveJobFiles(Options.TempDir);
    }
    if (Options.BatchHadError)
        prompts_.Message(Text("STR_MAIN_AnErrorOccurred"), Text("STR_MAIN_Oops"), MsgKind::Warning, MsgButtons::Ok);
}

void ProductionController::HandleMessage(PipelineMessage message)
{
    if (cancelled_)
        return;
    switch (message) {
    case WM_CONVERT_NEXT_TITLE:
        conversion_.StartNextTitle();
        break;
    case WM_BUILD_MENU_IMAGES:
        BuildMenuImages();
        break;
    case WM_BUILD_XML:
        BuildXml();
        break;
    case WM_BUILD_MENU_VIDEOS:
        BuildMenuVideos();
        break;
    case WM_BUILD_DVD:
        BuildDvd();
        break;
    case WM_BURN_DISC:
        BurnDisc();
        break;
    }
}

void ProductionController::BuildMenuImages()
{
    if (conversionDialog_.IsShowing())
        conversionDialog_.Close(DialogResult::Ok);

    if (NoMenuDvd) {
        main_.PostPipelineMessage(WM_BUILD_XML);
    } else {
        authoringDialog_.SetupStep(2);
        main_.SetStatusText(Text("STR_PROCESSOTHER_BurnDVDStep2"));
        ui_.ProcessMessages();
        // Menu pages are drawn from the chosen template. Until a template can
        // be drawn, step 2 ends the way a failed drawing does.
        ui_.Post([this] {
            prompts_.Message(Text("IDS_main_MSG_BuildMenuImageError"), Text("IDS_main_MSG_Error"), MsgKind::None,
                             MsgButtons::Ok);
            if (authoringDialog_.IsShowing())
                authoringDialog_.Close();
        });
    }

    authoringDialog_.ShowModal();
    CleanUpAfterAuthoring();
}

void ProductionController::BuildXml()
{
    authoringDialog_.SetupStep(3);
    main_.SetStatusText(Text("STR_PROCESSOTHER_BurnDVDStep3"));
    ui_.ProcessMessages();
    if (NoMenuDvd) {
        try {
            WriteNoMenuDvdXml();
        } catch (const Error& e) {
            AbandonAuthoring(e.what());
            return;
        }
        main_.PostPipelineMessage(WM_BUILD_DVD);
        return;
    }
    DvdXmlWorker::Hooks hooks;
    hooks.progress = [this](int percent) { authoringDialog_.SetProgress(percent); };
    hooks.completed = [this](const std::string&) { main_.PostPipelineMessage(WM_BUILD_MENU_VIDEOS); };
    xmlWorker_ = std::make_unique<DvdXmlWorker>(ui_, std::move(hooks));
    xmlWorker_->Start();
}

void ProductionController::BuildMenuVideos()
{
    // Menu videos come with the menu templates; a run that gets here cannot
    // go on, and says so rather than waiting for ever.
    AbandonAuthoring("Menu videos cannot be built: no menu template is installed.");
}

void ProductionController::BuildDvd()
{
    try {
        dvdBuild_.Start();
    } catch (const Error& e) {
        AbandonAuthoring(e.what());
    }
}

void ProductionController::BurnDisc()
{
    if (!ConfirmAuthoredVideoTs(dvdBuild_, prompts_, main_, &authoringDialog_))
        return;
    // Writing the folder to a disc comes with the burner; for now the run
    // ends here with the folder ready to play or burn.
    const std::string videoTs = AddTrailingBackslash(dvdBuild_.DiscOutputFolder()) + "VIDEO_TS";
    main_.SetStatusText(videoTs);
    if (authoringDialog_.IsShowing())
        authoringDialog_.Close();
}

void ProductionController::AbandonAuthoring(const std::string& message)
{
    prompts_.ShowError(message);
    if (authoringDialog_.IsShowing())
        authoringDialog_.Close();
}

void ProductionController::CleanUpAfterAuthoring()
{
    xmlWorker_.reset();
    if (menuRunner_ && menuRunner_->IsActive()) {
        menuRunner_->Terminate(0);
        EndToolProcesses(Options.StillStreamPath);
        EndToolProcesses(Options.VideoEncoderPath);
        EndToolProcesses(Options.MuxerPath);
        EndToolProcesses(Options.SubMuxerPath);
        RemoveMenuFileGroup(Options.TempDir, Options.TitleCount);
    }
    if (TRedirector* author = dvdBuild_.Runner(); author && author->IsActive()) {
        author->Terminate(0);
        EndToolProcesses(Options.DvdAuthorPath);
        AuthoringCleanup(Options.TempDir, Options.TitleCount);
    }
    main_.LockUserInterface(false);
    EndOfRunFolderCleanup(Options.TempDir);
}

} // namespace tl
