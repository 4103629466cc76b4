#include "ConversionRig.h"

#include <gtest/gtest.h>

#include <set>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

using PowerOffs = std::vector<PowerOff::Action>;

std::size_t countIn(const ConversionRig& rig, JobState state)
{
    std::size_t count = 0;
    for (const Job& job : rig.jobs.rsJobs().jobs())
        count += job.State == state;
    return count;
}

// True while the jobs that have left "Waiting Conversion" are a leading run of the list: no job
// started before one above it.
bool startedInRecordOrder(const ConversionRig& rig)
{
    bool waitingSeen = false;
    for (const Job& job : rig.jobs.rsJobs().jobs()) {
        if (job.State == JobState::WaitingConversion)
            waitingSeen = true;
        else if (waitingSeen)
            return false;
    }
    return true;
}

// A `lame` first on PATH that runs the real one, except for audio at 22,050 Hz (read from the WAV
// header it is fed), for which it fails as a missing encoder would. The output it is given is a
// private file's name, which says nothing about the job.
std::filesystem::path lameFailingFor(const std::filesystem::path& bin)
{
    std::filesystem::create_directories(bin);
    const std::string real = runProgram({"/bin/sh", "-c", "command -v lame"}).output;
    return writeScript(bin / "lame", "header=$(mktemp)\n"
                                     "dd bs=44 count=1 of=\"$header\" 2>/dev/null\n"
                                     "rate=$(od -An -tu4 -j24 -N4 \"$header\" | tr -d ' ')\n"
                                     "if [ \"$rate\" = 22050 ]; then rm -f \"$header\"; "
                                     "echo 'lame: cannot start' >&2; exit 127; fi\n"
                                     "{ cat \"$header\"; rm -f \"$header\"; exec cat; } | exec " +
                                         real.substr(0, real.find('\n')) + " \"$@\"\n");
}

struct RunOutcome {
    std::vector<std::string> statuses;
    std::set<std::string> files;
};

RunOutcome listOutcome(const ConversionRig& rig)
{
    RunOutcome outcome;
    for (std::size_t row = 0; row < rig.jobs.rsJobs().size(); ++row)
        outcome.statuses.push_back(rig.status(row));
    for (const auto& file : rig.outputs())
        outcome.files.insert(file.filename().string());
    return outcome;
}

} // namespace

TEST(ParallelRun, TwoAtOnceInRecordOrderEndAsAOneAtATimeRunDoes)
{
    RunOutcome outcomes[2];
    for (unsigned parallel : {2u, 1u}) {
        SCOPED_TRACE(parallel);
        ConversionRig rig;
        rig.chooseFormat(FileFormat::MP3);
        rig.controller.setParallelJobs(parallel);
        std::filesystem::create_directories(rig.dir / "other");
        // Two sources of one base name, a damaged one and one whose encoder fails, among good ones.
        rig.addJob(makeTone(rig.dir / "in" / "a.flac", 4.0));
        rig.addJob(makeTone(rig.dir / "other" / "a.wav", 3.0));
        const auto damaged = rig.dir / "in" / "damaged.flac";
        writeFile(damaged, readFile(makeTone(rig.dir / "whole.flac", 1.0)).substr(0, 100));
        rig.addJob(damaged);
        rig.addJob(makeTone(rig.dir / "in" / "noenc.flac", 2.0, 22050));
        rig.addJob(makeTone(rig.dir / "in" / "e.flac", 3.0));
        const ScopedPath path((lameFailingFor(rig.dir / "bin").parent_path().string() + ":" + std::getenv("PATH")));

        std::size_t mostAtOnce = 0;
        bool orderKept = true;
        rig.convert(ConvertButton::cmdConvert, [&] {
            mostAtOnce = std::max(mostAtOnce, countIn(rig, JobState::Converting));
            orderKept = orderKept && startedInRecordOrder(rig);
        });
        EXPECT_TRUE(orderKept);
        EXPECT_EQ(mostAtOnce, parallel) << "the run kept " << parallel << " jobs going at once";

        EXPECT_EQ(rig.status(0), "Complete");
        EXPECT_EQ(rig.status(1), "Complete");
        EXPECT_EQ(rig.status(2), "Error");
        EXPECT_EQ(rig.status(3), "Error");
        EXPECT_EQ(rig.status(4), "Complete");
        expectAudio(rig.out("a.mp3"), "mp3", 44100, 2, 4.0, 0.1);
        expectAudio(rig.out("a_Converted.mp3"), "mp3", 44100, 2, 3.0, 0.1);
        expectAudio(rig.out("e.mp3"), "mp3", 44100, 2, 3.0, 0.1);
        EXPECT_FALSE(rig.jobs.rsJobs().at(3).Failure.empty());
        outcomes[parallel - 1] = listOutcome(rig);
    }
    EXPECT_EQ(outcomes[0].statuses, outcomes[1].statuses);
    EXPECT_EQ(outcomes[0].files, outcomes[1].files);
}

TEST(ParallelRun, NamesAreClaimedInRecordOrder)
{
    ConversionRig rig;
    rig.chooseFormat(FileFormat::WAV);
    rig.controller.setParallelJobs(3);
    for (int i = 0; i < 6; ++i) {
        const auto folder = rig.dir / "in" / std::to_string(i);
        std::filesystem::create_directories(folder);
        rig.addJob(makeTone(folder / "song.flac", 0.5 + 0.3 * (5 - i)));
    }
    // Something of the user's already holds the first name: it is passed over, never touched.
    std::filesystem::create_directories(rig.out(""));
    writeFile(rig.out("song.wav"), "the user's");
    rig.convert();
    const std::vector<std::string> names{"song_Converted.wav",   "song_Converted_0.wav", "song_Converted_1.wav",
                                         "song_Converted_2.wav", "song_Converted_3.wav", "song_Converted_4.wav"};
    for (std::size_t row = 0; row < names.size(); ++row) {
        SCOPED_TRACE(names[row]);
        EXPECT_EQ(rig.status(row), "Complete");
        expectAudio(rig.out(names[row]), "pcm_s16le", 44100, 2, 0.5 + 0.3 * (5 - static_cast<int>(row)), 0.02);
    }
    EXPECT_EQ(readFile(rig.out("song.wav")), "the user's");
}

TEST(ParallelRun, StopCancelsTheRunningJobsAndTheRestKeepWaiting)
{
    ConversionRig rig;
    rig.chooseFormat(FileFormat::OGG);
    rig.settings.chkShutdown.value = true;
    rig.controller.setParallelJobs(2);
    for (int i = 0; i < 5; ++i)
        rig.addJob(makeTone(rig.dir / "in" / ("song" + std::to_string(i) + ".flac"), 20.0));

    bool stopped = false;
    rig.convert(ConvertButton::cmdConvert, [&] {
        if (stopped || countIn(rig, JobState::Converting) < 2 || rig.jobs.rsJobs().at(1).Progress <= 0)
            return;
        rig.controller.cmdConvert_Click(); // "Stop"
        stopped = true;
        EXPECT_EQ(rig.controls.captions[ConvertButton::cmdConvert], "Convert All");
        // Until the stopped jobs have ended, no new run starts and the close guard holds.
        rig.controller.cmdConvertSelected_Click();
        EXPECT_FALSE(rig.controller.cmdClose_Click());
    });
    ASSERT_TRUE(stopped);
    EXPECT_EQ(rig.status(0), "Cancelled");
    EXPECT_EQ(rig.status(1), "Cancelled");
    for (std::size_t row = 2; row < 5; ++row)
        EXPECT_EQ(rig.status(row), "Waiting Conversion");
    EXPECT_TRUE(rig.outputs().empty()) << "the cancelled jobs leave no partial files";
    EXPECT_EQ(rig.powerOff.requests, PowerOffs{PowerOff::Action::PowerOff});

    // The next run takes the cancelled jobs again, under their own names.
    rig.settings.chkShutdown.value = false;
    rig.convert();
    for (std::size_t row = 0; row < 5; ++row)
        EXPECT_EQ(rig.status(row), "Complete");
    expectAudio(rig.out("song0.ogg"), "vorbis", 44100, 2, 20.0, 0.05);
    EXPECT_EQ(rig.outputs().size(), 5u);
}

TEST(ParallelRun, ClosingTheWindowStopsTheRunAndNeverPowersOff)
{
    ConversionRig rig;
    rig.chooseFormat(FileFormat::WAV);
    rig.settings.chkShutdown.value = true;
    rig.controller.setParallelJobs(2);
    for (int i = 0; i < 4; ++i)
        rig.addJob(makeTone(rig.dir / "in" / ("song" + std::to_string(i) + ".flac"), 30.0));
    rig.controller.cmdConvert_Click();
    ASSERT_TRUE(eventually(
        [&] {
            rig.controller.tick();
            return rig.jobs.rsJobs().at(0).Progress > 0;
        },
        60000));
    rig.controller.stopAndWait();
    EXPECT_FALSE(rig.flags.bConverting);
    EXPECT_EQ(rig.status(0), "Cancelled");
    EXPECT_EQ(rig.status(3), "Waiting Conversion");
    EXPECT_TRUE(rig.powerOff.requests.empty());
    EXPECT_EQ(rig.controls.captions[ConvertButton::cmdConvert], "Convert All");
}
