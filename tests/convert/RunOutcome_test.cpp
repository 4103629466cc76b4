// The line that tells in the window how a run ended, and the counts the run hands it.
#include "ConversionRig.h"
#include "RunOutcome.h"

#include <gtest/gtest.h>

namespace tunevale
{
namespace
{

using namespace tunevale::test;

TEST(RunOutcome, NamesEachCountThatIsNotZeroInAFixedOrder)
{
    EXPECT_EQ(runOutcomeText({31, 2, 1, "/out", 0}), "31 complete, 2 failed, 1 cancelled");
    EXPECT_EQ(runOutcomeText({3, 0, 0, "", 0}), "3 complete");
    EXPECT_EQ(runOutcomeText({0, 1, 0, "", 0}), "1 failed");
    EXPECT_EQ(runOutcomeText({1, 0, 1, "", 3}), "1 complete, 1 cancelled, 3 still waiting");

    const auto parts = runOutcomeParts({4, 5, 6, "", 7});
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[0].state, JobState::Complete);
    EXPECT_EQ(parts[1].state, JobState::Error);
    EXPECT_EQ(parts[2].state, JobState::Cancelled);
    EXPECT_EQ(parts[3].state, JobState::WaitingConversion);
    EXPECT_EQ(parts[3].text, "7 still waiting");
}

TEST(RunOutcome, AStoppedRunCountsTheJobsItLeftWaiting)
{
    ConversionRig rig;
    rig.chooseFormat(FileFormat::WAV);
    std::vector<RunSummary> endings;
    rig.controller.onRunEnded = [&](const RunSummary& summary) { endings.push_back(summary); };
    rig.addJob(makeTone(rig.dir / "in" / "short.flac", 1.0));
    rig.addJob(makeTone(rig.dir / "in" / "long.flac", 60.0));
    rig.addJob(makeTone(rig.dir / "in" / "later.flac", 1.0));
    rig.addJob(rig.dir / "in" / "missing.flac");
    rig.addJob(makeTone(rig.dir / "in" / "last.flac", 1.0));
    rig.convert(ConvertButton::cmdConvert, [&] {
        if (rig.flags.bCancelConversion == false && rig.state(1) == JobState::Converting)
            rig.controller.cmdConvert_Click(); // "Stop"
    });
    ASSERT_EQ(endings.size(), 1u);
    EXPECT_EQ(runOutcomeText(endings[0]), "1 complete, 1 cancelled, 3 still waiting");

    // The next run takes the cancelled job and the waiting ones; the missing file fails.
    rig.convert();
    ASSERT_EQ(endings.size(), 2u);
    EXPECT_EQ(runOutcomeText(endings[1]), "3 complete, 1 failed");
}

} // namespace
} // namespace tunevale
