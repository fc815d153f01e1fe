#pragma once
// What the progress dialog of steps 2 to 6 shows for each step, the elapsed
// burning time and the creeping progress of step 4. The dialog only applies
// these; keeping them here lets them be tested without a window.
#include <string>

namespace tl {

struct AuthoringStepSetup {
    int step;                 // 2..6
    const char* captionKey;   // catalogue key of the dialog caption
    const char* infoKey;      // catalogue key of the info label
    bool cancelEnabled;       // only burning can be stopped
    bool creepingTimer;       // the bar creeps on its own while menu videos are built
};

// Catalogue key of the Cancel button's caption, set by every step set-up.
inline constexpr const char* kAuthoringCancelKey = "STR_Cancel";
// Interval of the creeping timer and of the elapsed-time timer.
inline constexpr int kCreepingIntervalMs = 80;
inline constexpr int kElapsedIntervalMs = 1000;

// The set-up of a step, or nullptr for a step the dialog does not show.
const AuthoringStepSetup* FindAuthoringStep(int step);

// Elapsed time for a counter of whole seconds: "h:mm:ss.mmm s", hours with at
// least one digit (75 gives "0:01:15.000 s").
std::string ElapsedTimeText(long long seconds);

// One creeping tick: one more percent until the bar is full.
int CreepingTick(int percent);

// The label over the bar: "42%".
std::string PercentText(int percent);

} // namespace tl
