#include "ConversionRig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

using PowerOffs = std::vector<PowerOff::Action>;

struct FormatCase {
    FileFormat format;
    std::string extension;
    std::string codec;
};

const std::vector<FormatCase> AllFormats{{FileFormat::WAV, "wav", "pcm_s16le"},
                                         {FileFormat::WMA, "wma", "wmav2"},
                                         {FileFormat::MP3, "mp3", "mp3"},
                                         {FileFormat::OGG, "ogg", "vorbis"},
                                         {FileFormat::Ipod, "mp3", "mp3"}};

} // namespace

TEST(ConvertFiles, EveryFormatConvertsFilesWithOddNames)
{
    ConversionRig rig;
    const std::vector<std::string> names{"with spaces and 'quotes' \"double\"", "$(touch pwned) `touch pwned2` ;x",
                                         "Ünïcödé Grüße — 日本語", "-starts with a dash"};
    for (const auto& name : names)
        makeTone(rig.dir / "in" / (name + ".flac"), 1.0);
    for (const FormatCase& c : AllFormats) {
        SCOPED_TRACE(c.extension);
        std::filesystem::remove_all(rig.dir / "out");
        rig.jobs.replaceTable(JobList::NewJobTable());
        for (const auto& name : names)
            rig.addJob(rig.dir / "in" / (name + ".flac"));
        rig.chooseFormat(c.format);
        rig.controller.setParallelJobs(0);
        rig.convert();
        for (std::size_t row = 0; row < names.size(); ++row) {
            SCOPED_TRACE(names[row]);
            EXPECT_EQ(rig.status(row), "Complete");
            expectAudio(rig.out(names[row] + "." + c.extension), c.codec, 44100, 2, 1.0,
                        c.format == FileFormat::WMA ? 0.1 : 0.05);
        }
        EXPECT_EQ(rig.outputs().size(), names.size());
    }
    EXPECT_FALSE(std::filesystem::exists("pwned"));
    EXPECT_FALSE(std::filesystem::exists("pwned2"));
    EXPECT_FALSE(std::filesystem::exists(rig.dir / "out" / "pwned"));
    EXPECT_EQ(rig.logLines(), 0u);
}

TEST(ConvertFiles, StopDuringTheSecondOfFiveJobs)
{
    for (const FormatCase& c : {AllFormats[0], AllFormats[2]}) {
        SCOPED_TRACE(c.extension);
        ConversionRig rig;
        rig.chooseFormat(c.format);
        rig.settings.chkShutdown.value = true;
        // The job to be stopped is long enough to be caught part-way by the window's timer.
        for (int i = 0; i < 5; ++i)
            rig.addJob(makeTone(rig.dir / "in" / ("song" + std::to_string(i) + ".flac"), i == 1 ? 60.0 : 8.0));

        bool stopped = false;
        rig.convert(ConvertButton::cmdConvert, [&] {
            if (stopped || rig.state(1) != JobState::Converting || rig.jobs.rsJobs().at(1).Progress <= 0)
                return;
            // The look of a running batch.
            EXPECT_EQ(rig.controls.captions[ConvertButton::cmdConvert], "Stop");
            EXPECT_FALSE(rig.controls.buttonEnabled[ConvertButton::cmdConvertSelected]);
            EXPECT_FALSE(rig.controls.enabled["cmdRemove"]);
            EXPECT_FALSE(rig.controller.cmdClose_Click());
            EXPECT_EQ(rig.messages.shown.back().text, "Please Stop Conversion first.");
            EXPECT_EQ(rig.messages.shown.back().icon, MessageIcon::Exclamation);

            rig.controller.cmdConvert_Click(); // "Stop"
            stopped = true;
            // The buttons come back at once, while the stopped run still unwinds; a click on either
            // of them now must not start a run inside the old one.
            EXPECT_EQ(rig.controls.captions[ConvertButton::cmdConvert], "Convert All");
            EXPECT_TRUE(rig.controls.buttonEnabled[ConvertButton::cmdConvertSelected]);
            EXPECT_TRUE(rig.controls.enabled["cmdRemove"]);
            rig.controller.cmdConvert_Click();
            rig.controller.cmdConvertSelected_Click();
            EXPECT_EQ(rig.previewStops, 1);
        });
        ASSERT_TRUE(stopped);
        EXPECT_EQ(rig.status(0), "Complete");
        EXPECT_EQ(rig.status(1), "Cancelled");
        for (std::size_t row = 2; row < 5; ++row)
            EXPECT_EQ(rig.status(row), "Waiting Conversion");
        EXPECT_EQ(rig.powerOff.requests, PowerOffs{PowerOff::Action::PowerOff});
        EXPECT_EQ(rig.controls.captions[ConvertButton::cmdConvert], "Convert All");
        EXPECT_TRUE(rig.controls.enabled["cmdAddFile"]);
        EXPECT_FALSE(rig.flags.bConverting);
        EXPECT_FALSE(rig.flags.bCancelConversion);
        EXPECT_TRUE(rig.controller.cmdClose_Click());

        // The cancelled job leaves nothing that could pass for a complete track: no partial file
        // under its name, no private folder.
        EXPECT_FALSE(std::filesystem::exists(rig.out("song1." + c.extension)));
        EXPECT_EQ(rig.outputs(), std::vector<std::filesystem::path>{rig.out("song0." + c.extension)});

        // The next run takes the cancelled job again, under its own name, and the waiting ones; the
        // complete one stays.
        rig.convert();
        for (std::size_t row = 0; row < 5; ++row)
            EXPECT_EQ(rig.status(row), "Complete");
        expectAudio(rig.out("song1." + c.extension), c.codec, 44100, 2, 60.0, 0.05);
        EXPECT_EQ(rig.outputs().size(), 5u);
        EXPECT_EQ(rig.powerOff.requests, PowerOffs(2, PowerOff::Action::PowerOff));
    }
}

TEST(ConvertFiles, TakesWaitingAndCancelledJobsOnlyAndTickedOnesWhenSelected)
{
    ConversionRig rig;
    rig.chooseFormat(FileFormat::WAV);
    rig.settings.chkShutdown.value = true;
    std::vector<std::filesystem::path> sources;
    for (int i = 0; i < 6; ++i)
        sources.push_back(makeTone(rig.dir / "in" / ("f" + std::to_string(i) + ".wav"), 0.5));
    rig.addJob(sources[0], JobState::Complete, 1);
    rig.addJob(sources[1], JobState::Error, 1);
    rig.addJob(sources[2], JobState::CodecNotSupported, 1);
    rig.addJob(sources[3], JobState::WaitingConversion, 0);
    rig.addJob(sources[4], JobState::WaitingConversion, -1); // the grid's own value for ticked
    rig.addJob(sources[5], JobState::Cancelled, 1);

    rig.convert(ConvertButton::cmdConvertSelected);
    EXPECT_EQ(rig.status(0), "Complete");
    EXPECT_EQ(rig.status(1), "Error");
    EXPECT_EQ(rig.status(2), "Codec Not Supported");
    EXPECT_EQ(rig.status(3), "Waiting Conversion");
    EXPECT_EQ(rig.status(4), "Complete");
    EXPECT_EQ(rig.status(5), "Complete");
    EXPECT_EQ(rig.outputs().size(), 2u);
    EXPECT_EQ(rig.controls.captions[ConvertButton::cmdConvertSelected], "Convert Selected");
    EXPECT_EQ(rig.powerOff.requests, PowerOffs{PowerOff::Action::PowerOff});

    // Nothing ticked is waiting any more: the run starts no job and no shutdown follows.
    rig.convert(ConvertButton::cmdConvertSelected);
    EXPECT_EQ(rig.outputs().size(), 2u);
    EXPECT_EQ(rig.powerOff.requests, PowerOffs{PowerOff::Action::PowerOff});
    EXPECT_EQ(rig.controls.captions[ConvertButton::cmdConvertSelected], "Convert Selected");
    EXPECT_TRUE(rig.controls.buttonEnabled[ConvertButton::cmdConvert]);
    EXPECT_FALSE(rig.controller.ConvertFiles(true));

    rig.convert();
    EXPECT_EQ(rig.status(3), "Complete");
    EXPECT_EQ(rig.outputs().size(), 3u);
    EXPECT_EQ(rig.previewStops, 4);
}

TEST(ConvertFiles, EmptyListOnlySaysSo)
{
    ConversionRig rig;
    rig.settings.chkShutdown.value = true;
    rig.controller.cmdConvert_Click();
    rig.controller.cmdConvertSelected_Click();
    ASSERT_EQ(rig.messages.shown.size(), 2u);
    EXPECT_EQ(rig.messages.shown[0].text, "The list is empty, Please add Audio files from step 1");
    EXPECT_EQ(rig.messages.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(rig.previewStops, 0);
    EXPECT_TRUE(rig.powerOff.requests.empty());
    EXPECT_TRUE(rig.controls.order.empty());
}

TEST(ConvertFiles, EnableControlsSetsTheFourteenControlsInOrder)
{
    ConversionRig rig;
    rig.controller.EnableControls(false);
    const std::vector<std::string> expected{"cmdChangeFormat", "cmdRemove",      "cmdPlay",      "cmdPause",
                                            "cmdStop",         "cmdPlayPrev",    "cmdPlayNext",  "cmdBrowse",
                                            "optSameFolder",   "optOtherFolder", "chkSelectAll", "cmdAddFile",
                                            "cmdAddFolder",    "cmdAddVideoFile"};
    EXPECT_EQ(rig.controls.order, expected);
    for (const auto& name : expected)
        EXPECT_FALSE(rig.controls.enabled[name]);
}

TEST(ConvertFiles, AFailedJobEndsInErrorAndTheRunGoesOn)
{
    ConversionRig rig;
    rig.chooseFormat(FileFormat::MP3);
    const auto good = makeTone(rig.dir / "in" / "good.flac", 1.0);
    const auto damaged = rig.dir / "in" / "damaged.flac";
    writeFile(damaged, readFile(good).substr(0, 100));
    const auto removed = makeTone(rig.dir / "in" / "removed.flac", 1.0);
    rig.addJob(damaged);
    rig.addJob(removed);
    rig.addJob(good);
    std::filesystem::remove(removed);

    rig.convert();
    EXPECT_EQ(rig.status(0), "Error");
    EXPECT_EQ(rig.status(1), "Error");
    EXPECT_EQ(rig.status(2), "Complete");
    EXPECT_EQ(rig.outputs().size(), 1u);
    EXPECT_EQ(rig.logLines(), 2u);

    // An encoder that fails for one job does not stop the next.
    const auto again = makeTone(rig.dir / "in" / "again.flac", 1.0);
    const auto bin = rig.dir / "bin";
    std::filesystem::create_directories(bin);
    rig.addJob(again);
    {
        ScopedPath path(bin.string()); // no encoder on the way
        rig.convert();
    }
    EXPECT_EQ(rig.status(3), "Error");
    EXPECT_EQ(rig.logLines(), 3u);
    EXPECT_EQ(rig.outputs().size(), 1u);
}

TEST(ConvertFiles, OutputFolderThatCannotBeMadeKeepsTheJobsWaitingAndSaysSoOnce)
{
    ConversionRig rig;
    rig.chooseFormat(FileFormat::OGG);
    rig.settings.chkShutdown.value = true;
    rig.addJob(makeTone(rig.dir / "in" / "a.flac", 0.5));
    rig.addJob(makeTone(rig.dir / "in" / "b.flac", 0.5));

    // A folder whose parent is missing cannot be created, nor one under a file.
    writeFile(rig.dir / "a file", "x");
    for (const auto& folder : {rig.dir / "missing" / "deeper", rig.dir / "a file" / "out"}) {
        rig.messages.shown.clear();
        rig.settings.txtOutPath.text = folder.string();
        rig.convert();
        EXPECT_EQ(rig.status(0), "Waiting Conversion");
        EXPECT_EQ(rig.status(1), "Waiting Conversion");
        ASSERT_EQ(rig.messages.shown.size(), 1u);
        EXPECT_EQ(rig.messages.shown[0].text, "Output Folder is not exist and can not be created.");
        EXPECT_EQ(rig.messages.shown[0].icon, MessageIcon::Critical);
    }
    EXPECT_TRUE(rig.powerOff.requests.empty());
    EXPECT_EQ(rig.controls.captions[ConvertButton::cmdConvert], "Convert All");
    EXPECT_TRUE(rig.controls.enabled["cmdAddFile"]);
    EXPECT_EQ(rig.logLines(), 0u);
}

TEST(ConvertFiles, NoFormatChosenLeavesJobsButCountsThemStarted)
{
    ConversionRig rig;
    for (auto& option : rig.settings.optFileFormat)
        option.value = false;
    rig.addJob(makeTone(rig.dir / "in" / "a.flac", 0.5));
    rig.settings.chkShutdown.value = true;
    rig.convert();
    EXPECT_EQ(rig.status(0), "Waiting Conversion");
    EXPECT_TRUE(rig.outputs().empty());
    EXPECT_EQ(rig.powerOff.requests, PowerOffs{PowerOff::Action::PowerOff});
}

TEST(ConvertFiles, UnwritableOutputFolderEndsEveryFormatInError)
{
    ConversionRig rig;
    // Read-only even for root, which may write anywhere else.
    const ScratchMount mount(rig.dir / "read-only", "64k", MS_RDONLY);
    if (!mount.mounted())
        GTEST_SKIP() << "cannot mount a read-only file system here";
    const auto& readOnly = mount.path();

    rig.settings.txtOutPath.text = readOnly.string();
    const auto source = makeTone(rig.dir / "in" / "a.flac", 1.0);
    for (const FormatCase& c : AllFormats) {
        SCOPED_TRACE(c.extension);
        rig.jobs.replaceTable(JobList::NewJobTable());
        rig.addJob(source);
        rig.addJob(makeTone(rig.dir / "in" / ("next." + c.extension + ".flac"), 0.2));
        rig.chooseFormat(c.format);
        rig.convert();
        EXPECT_EQ(rig.status(0), "Error");
        EXPECT_EQ(rig.status(1), "Error");
        EXPECT_NE(rig.jobs.rsJobs().at(0).Failure.find("no file can be made in " + readOnly.string() +
                                                       ": Read-only file system"),
                  std::string::npos)
            << rig.jobs.rsJobs().at(0).Failure;
        EXPECT_TRUE(std::filesystem::is_empty(readOnly));
        // No output could be made, so no encoder was started and nothing was logged.
        EXPECT_EQ(rig.logLines(), 0u);
    }
}
