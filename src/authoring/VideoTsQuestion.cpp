#include "authoring/VideoTsQuestion.h"

#include "authoring/DvdBuild.h"
#include "lang/Catalogue.h"
#include "platform/UserPrompts.h"
#include "project/PipelineViews.h"

namespace tl {

bool ConfirmAuthoredVideoTs(const std::string& discFolder, bool createdThisRun, UserPrompts& prompts,
                            MainView& mainView, AuthoringView* dialog)
{
    if (CheckVideoTs(discFolder + "/VIDEO_TS"))
        return true;
    if (prompts.Message(Text("IDS_main_MSG_DVDFile"), Text("IDS_main_MSG_Hint"), MsgKind::Information,
                        MsgButtons::OkCancel) == MsgResult::Ok)
        return true;
    mainView.LockUserInterface(false);
    if (dialog)
        dialog->Close();
    // A folder the user picked for burning is never ours to remove.
    if (createdThisRun)
        RemoveDiscFolder(discFolder);
    return false;
}

bool ConfirmAuthoredVideoTs(const DvdBuildStep& step, UserPrompts& prompts, MainView& mainView, AuthoringView* dialog)
{
    return ConfirmAuthoredVideoTs(step.DiscOutputFolder(), step.CreatedDiscOutputFolder(), prompts, mainView, dialog);
}

} // namespace tl
