#include "authoring/AuthoringSteps.h"

#include <array>
#include <cstdio>

namespace tl {

namespace {

constexpr std::array<AuthoringStepSetup, 5> kSteps{{
    {2, "STR_PROCESSOTHER_BurnDVDStep2", "STR_PROCESSOTHER_BulidingMenuImages", false, false},
    {3, "STR_PROCESSOTHER_BurnDVDStep3", "STR_PROCESSOTHER_BuildXMLInfo", false, false},
    {4, "STR_PROCESSOTHER_BurnDVDStep4", "STR_PROCESSOTHER_BulidingMenuVideoFiles", false, true},
    {5, "STR_PROCESSOTHER_BurnDVDStep5", "STR_PROCESSOTHER_BurningDVDDisc", false, false},
    {6, "STR_PROCESSOTHER_BurnDVDStep6", "STR_PROCESSOTHER_BurningDVDDisc", true, false},
}};

} // namespace

const AuthoringStepSetup* FindAuthoringStep(int step)
{
    for (const AuthoringStepSetup& setup : kSteps) {
        if (setup.step == step)
            return &setup;
    }
    return nullptr;
}

std::string ElapsedTimeText(long long seconds)
{
    const long long ms = seconds * 1000;
    const long long hours = ms / 3600000;
    const long long minutes = ms / 60000 % 60;
    const long long secs = ms / 1000 % 60;
    const long long millis = ms % 1000;
    char text[64];
    std::snprintf(text, sizeof text, "%.1lld:%.2lld:%.2lld.%.3lld s", hours, minutes, secs, millis);
    return text;
}

int CreepingTick(int percent)
{
    return percent < 100 ? percent + 1 : percent;
}

std::string PercentText(int percent)
{
    return std::to_string(percent) + "%";
}

} // namespace tl
