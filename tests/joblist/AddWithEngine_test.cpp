#include "DecodingEngine.h"
#include "DurationProbe.h"
#include "EngineWithoutWma.h"
#include "FileSizeText.h"
#include "HostileFiles.h"
#include "JobAdder.h"
#include "JobList.h"
#include "JobListFakes.h"
#include "JobSelection.h"
#include "RecordingInstaller.h"
#include "TestSupport.h"
#include "WmaSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tunevale
{
namespace
{

using namespace std::string_literals;

// The job list wired as the window wires it, with the real engine measuring each file.
struct Window {
    explicit Window(Engine& engine) : probe(engine, &prompt, dir / "CheckWMASupport.wma") {}

    test::TempDir dir;
    JobList jobs;
    test::TickBox chkSelectAll;
    test::PlayingPreview preview;
    test::ScriptedDialogs dialogs;
    test::RecordingMessageBox messages;
    test::RecordingInstaller installer;
    WmaInstallPrompt prompt{messages, installer};
    DurationProbe probe;
    JobSelection selection{jobs, chkSelectAll, preview};
    JobAdder adder{jobs, selection, probe, dialogs, messages};

    const Job* job(const std::filesystem::path& file) const
    {
        const auto row = jobs.rsJobs().rowOf(file.string());
        return row ? &jobs.rsJobs().at(*row) : nullptr;
    }
};

TEST(AddWithEngine, MeasuresDecodableFilesAndMarksDamagedOnes)
{
    auto engine = test::decodingEngine();
    Window window(*engine);
    const auto flac = test::makeTone(window.dir / "tone.flac", 3, 44100, 2);
    const auto mp3 = test::makeTone(window.dir / "tone.mp3", 65, 22050, 1, {"-c:a", "libmp3lame", "-b:a", "32k"});
    test::writeFile(window.dir / "damaged.mp3", std::string(5000, '\x5a'));
    test::writeFile(window.dir / "cut.flac", test::readFile(flac).substr(0, 30));

    window.dialogs.openAnswer = window.dir.path().string() + "\0tone.flac\0tone.mp3\0damaged.mp3\0cut.flac"s;
    window.adder.AddAudioFiles();

    ASSERT_EQ(window.jobs.rsJobs().size(), 4u);
    EXPECT_EQ(window.job(flac)->Duration, "00:03");
    EXPECT_EQ(statusText(*window.job(flac)), "Waiting Conversion");
    EXPECT_EQ(window.job(flac)->FileSize, FormatFileSize(std::filesystem::file_size(flac)));
    EXPECT_EQ(window.job(mp3)->Duration, "01:05");
    for (const char* name : {"damaged.mp3", "cut.flac"}) {
        const Job* job = window.job(window.dir / name);
        ASSERT_NE(job, nullptr) << name;
        EXPECT_EQ(statusText(*job), "Codec Not Supported") << name;
        EXPECT_EQ(job->Duration, "Error") << name;
    }
    EXPECT_TRUE(window.messages.shown.empty()) << "undecodable files are listed without a warning";
}

TEST(AddWithEngine, PlaylistsAndSourcesOfAbsurdLengthOrRateAreListedAsNotSupportedAtOnce)
{
    auto engine = test::decodingEngine();
    Window window(*engine);
    std::vector<std::filesystem::path> files = test::writePlaylists(window.dir);
    test::writeFile(window.dir / "centuries.mid", test::centuriesLongMidi());
    test::writeFile(window.dir / "endless.mid", test::endlessMidi());
    test::writeFile(window.dir / "marathon.mod.mp3", test::marathonModule());
    const std::string pcm = test::toneSamples(1.0, 44100);
    test::writeFile(window.dir / "one-hertz.wav", test::wavHeader(1, 1, static_cast<std::uint32_t>(pcm.size())) + pcm);
    for (const char* name : {"centuries.mid", "endless.mid", "marathon.mod.mp3", "one-hertz.wav"})
        files.push_back(window.dir / name);

    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        JobAdder* adder = &window.adder;
        const std::string path = file.string();
        const auto added = test::within<bool>(20, [adder, path] {
            std::string name = path;
            return adder->AddFile2Grid(name);
        });
        ASSERT_TRUE(added.has_value()) << "still adding after 20 s";
        EXPECT_TRUE(*added);
        const Job* job = window.job(file);
        ASSERT_NE(job, nullptr);
        EXPECT_EQ(job->State, JobState::CodecNotSupported);
        EXPECT_EQ(job->Duration, "Error");
    }
    EXPECT_EQ(window.jobs.rsJobs().size(), files.size());
}

TEST(AddWithEngine, AddsAWindowsMediaFileAsNotSupportedWhateverThePromptsAnswer)
{
    auto real = test::decodingEngine();
    test::EngineWithoutWma engine(*real);
    Window window(engine);
    // The restart notice after Yes and No is OK-only and takes no queued answer.
    window.messages.answers = {MessageAnswer::Yes, MessageAnswer::No, MessageAnswer::Cancel};
    for (const char* name : {"a.wma", "b.wmv", "c.asf"}) {
        test::writeFile(window.dir / name, std::string(2000, 'x'));
        std::string path = (window.dir / name).string();
        EXPECT_TRUE(window.adder.AddFile2Grid(path)) << name;
        EXPECT_EQ(statusText(*window.job(path)), "Codec Not Supported") << name;
    }
    EXPECT_EQ(window.installer.downloads, 1);
    EXPECT_EQ(window.installer.pages, 1);
    EXPECT_EQ(std::count_if(window.messages.shown.begin(), window.messages.shown.end(),
                            [](const auto& shown) { return shown.buttons == MessageButtons::YesNoCancel; }),
              3);
}

TEST(AddWithEngine, AddsAFolderOfAudioFilesButNotItsSubfolder)
{
    auto engine = test::decodingEngine();
    Window window(*engine);
    test::makeTone(window.dir / "a.mp3", 2, 22050, 1);
    test::makeTone(window.dir / ".b.wav", 1, 8000, 1);
    std::filesystem::create_directory(window.dir / "more");
    test::makeTone(window.dir / "more" / "c.flac", 1);
    window.dialogs.folderAnswer = window.dir.path().string();
    window.adder.addFolder();
    ASSERT_EQ(window.jobs.rsJobs().size(), 2u);
    EXPECT_EQ(window.job(window.dir / "a.mp3")->Duration, "00:02");
    EXPECT_EQ(window.job(window.dir / ".b.wav")->Duration, "00:01");
    EXPECT_TRUE(window.messages.shown.empty());
}

TEST(AddWithEngine, TakesTodaysKindsOfFileAndStillMarksOnesWhoseExtensionLies)
{
    auto engine = test::decodingEngine();
    Window window(*engine);
    const std::vector<std::pair<const char*, std::vector<std::string>>> kinds{
        {"phone.m4a", {"-c:a", "aac", "-b:a", "64k"}},
        {"book.m4b", {"-c:a", "aac", "-b:a", "64k", "-f", "mp4"}},
        {"android.opus", {"-c:a", "libopus", "-b:a", "48k"}},
        {"vorbis.oga", {"-c:a", "libvorbis", "-f", "ogg"}},
        {"studio.aiff", {"-c:a", "pcm_s16be"}},
        {"studio.aif", {"-c:a", "pcm_s24be", "-f", "aiff"}},
        {"archive.wv", {"-c:a", "wavpack"}},
        {"clip.webm", {"-c:a", "libopus"}},
        {"film.mka", {"-c:a", "flac"}},
        {"apple.caf", {"-c:a", "pcm_s16le"}},
        {"long.w64", {"-c:a", "pcm_s16le"}}};
    std::string selection = window.dir.path().string();
    for (const auto& [name, arguments] : kinds) {
        test::makeTone(window.dir / name, 4, 48000, 2, arguments);
        selection += "\0"s + name;
    }
    test::writeFile(window.dir / "tracker.mod", test::marathonModule());
    test::writeFile(window.dir / "liar.opus", std::string(4000, 'x'));
    selection += "\0tracker.mod\0liar.opus"s;

    window.dialogs.openAnswer = selection;
    window.adder.AddAudioFiles();

    EXPECT_TRUE(window.messages.shown.empty()) << "every file was taken";
    ASSERT_EQ(window.jobs.rsJobs().size(), kinds.size() + 2);
    for (const auto& [name, arguments] : kinds) {
        const Job* job = window.job(window.dir / name);
        ASSERT_NE(job, nullptr) << name;
        EXPECT_EQ(job->Duration, "00:04") << name;
        EXPECT_EQ(statusText(*job), "Waiting Conversion") << name;
    }
    EXPECT_NE(window.job(window.dir / "tracker.mod"), nullptr) << "modules are listed (this one plays too long)";
    EXPECT_EQ(statusText(*window.job(window.dir / "liar.opus")), "Codec Not Supported");
    EXPECT_EQ(window.job(window.dir / "liar.opus")->Duration, "Error");
}

} // namespace
} // namespace tunevale
