// What the progress dialog of steps 2 to 6 shows: the per-step set-up, the
// elapsed burning time and the creeping bar of step 4.
#include <gtest/gtest.h>

#include <string>

#include "authoring/AuthoringSteps.h"
#include "lang/Catalogue.h"

using namespace tl;

TEST(AuthoringSteps, SetupTable)
{
    struct Case {
        int step;
        const char* caption;
        const char* info;
        bool cancel;
        bool creeping;
    };
    const Case cases[] = {
        {2, "Burn DVD Step 2 - Buliding menu images...", "Buliding menu images, please wait...", false, false},
        {3, "Burn DVD Step 3 - Buliding menu style XML files...", "Buliding menu style XML files..., please wait...",
         false, false},
        {4, "Burn DVD Step 4 - Buliding menu video files...", "Buliding menu video files..., please wait...", false,
         true},
        {5, "Burn DVD Step 5 - Buliding DVD, please wait...", "Burning DVD disc...", false, false},
        {6, "Burn DVD Step 6 - Burning DVD disc...", "Burning DVD disc...", true, false},
    };
    ResetCatalogue();
    for (const auto& c : cases) {
        const AuthoringStepSetup* setup = FindAuthoringStep(c.step);
        ASSERT_NE(setup, nullptr) << c.step;
        EXPECT_EQ(Text(setup->captionKey), c.caption) << c.step;
        EXPECT_EQ(Text(setup->infoKey), c.info) << c.step;
        EXPECT_EQ(setup->cancelEnabled, c.cancel) << c.step;
        EXPECT_EQ(setup->creepingTimer, c.creeping) << c.step;
    }
    EXPECT_EQ(Text(kAuthoringCancelKey), "Cancel");
    for (int step : {0, 1, 7})
        EXPECT_EQ(FindAuthoringStep(step), nullptr) << step;
}

TEST(AuthoringSteps, ElapsedTimeTable)
{
    const std::pair<long long, const char*> cases[] = {
        {0, "0:00:00.000 s"},      {1, "0:00:01.000 s"},      {59, "0:00:59.000 s"},
        {75, "0:01:15.000 s"},     {3599, "0:59:59.000 s"},   {3600, "1:00:00.000 s"},
        {36000, "10:00:00.000 s"}, {90061, "25:01:01.000 s"},
    };
    for (const auto& [counter, text] : cases)
        EXPECT_EQ(ElapsedTimeText(counter), text) << counter;
}

TEST(AuthoringSteps, CreepingBarStopsAtFull)
{
    int bar = 0;
    for (int tick = 0; tick < 100; ++tick)
        bar = CreepingTick(bar);
    EXPECT_EQ(bar, 100);
    EXPECT_EQ(CreepingTick(bar), 100);
    EXPECT_EQ(CreepingTick(42), 43);
}

TEST(AuthoringSteps, PercentLabel)
{
    EXPECT_EQ(PercentText(5), "5%");
    EXPECT_EQ(PercentText(100), "100%");
}
