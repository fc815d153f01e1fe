#pragma once
// The first thing burning does after authoring: check the authored VIDEO_TS
// folder and, when it looks broken, ask whether to burn it anyway.
#include <string>

namespace tl {

class AuthoringView;
class DvdBuildStep;
class MainView;
class UserPrompts;

// Checks discFolder + "/VIDEO_TS". On a failed check asks the user; OK goes on
// with what is there. Cancel unlocks the main window, closes the progress
// dialog (when there is one) and removes the disc output folder, but only
// when createdThisRun says step 5 of this run made it. True: go on burning.
bool ConfirmAuthoredVideoTs(const std::string& discFolder, bool createdThisRun, UserPrompts& prompts,
                            MainView& mainView, AuthoringView* dialog);
// The same for the disc output folder that step 5 holds.
bool ConfirmAuthoredVideoTs(const DvdBuildStep& step, UserPrompts& prompts, MainView& mainView,
                            AuthoringView* dialog);

} // namespace tl
