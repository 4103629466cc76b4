#pragma once

#include "ConversionController.h"
#include "EngineFactory.h"
#include "ErrorLog.h"
#include "InitAudioEngine.h"
#include "JobContext.h"
#include "JobList.h"
#include "Mp3OggWriter.h"
#include "OutputSettings.h"
#include "PendingOutputFile.h"
#include "RecordingMessageBox.h"
#include "RecordingPowerOff.h"
#include "TestSupport.h"
#include "WavWriter.h"
#include "WmaWriter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <sys/mount.h>
#include <thread>

namespace tunevale::test
{

// A job context that records the progress reported and asks to stop after stopAfter reports
// (never at 0).
class PlainContext : public JobContext
{
public:
    void setProgress(float percent) override
    {
        progress.push_back(percent);
        ++reports;
    }
    bool cancelRequested() const override { return stopAfter > 0 && reports >= stopAfter; }
    std::vector<float> progress;
    std::string failure;
    int reports = 0;
    int stopAfter = 0;
};

// A job context that removes a folder at the first progress report: the output's folder deleted
// while the job runs.
class FolderRemovingContext : public PlainContext
{
public:
    explicit FolderRemovingContext(std::filesystem::path folder) : m_folder(std::move(folder)) {}
    void setProgress(float percent) override
    {
        PlainContext::setProgress(percent);
        std::filesystem::remove_all(m_folder);
    }

private:
    std::filesystem::path m_folder;
};

// The convert buttons and the fourteen controls as plain values.
class RecordingControls : public ConvertControls
{
public:
    std::string caption(ConvertButton button) const override { return captions.at(button); }
    void setCaption(ConvertButton button, const std::string& text) override { captions[button] = text; }
    void setButtonEnabled(ConvertButton button, bool on) override { buttonEnabled[button] = on; }
    void setControlEnabled(const std::string& control, bool on) override
    {
        enabled[control] = on;
        order.push_back(control);
    }

    std::map<ConvertButton, std::string> captions{{ConvertButton::cmdConvert, "Convert All"},
                                                  {ConvertButton::cmdConvertSelected, "Convert Selected"}};
    std::map<ConvertButton, bool> buttonEnabled{{ConvertButton::cmdConvert, true},
                                                {ConvertButton::cmdConvertSelected, true}};
    std::map<std::string, bool> enabled;
    std::vector<std::string> order;
};

// The engine as the command-line program opens it: no sound output, every format plug-in.
inline std::unique_ptr<Engine> headlessEngine(std::array<std::string, 8>& tagNames)
{
    auto engine = makeEngine();
    engine->Init(0, 44100, 0);
    RecordingMessageBox quiet;
    InitAudioEngine(*engine, quiet, tagNames);
    return engine;
}

// A small tmpfs mounted at a new folder for the test's life (flags: for example MS_RDONLY, which
// holds even for root); mounted() is false where this machine does not allow mounting.
class ScratchMount
{
public:
    ScratchMount(std::filesystem::path at, const char* size, unsigned long flags = 0) : m_at(std::move(at))
    {
        std::filesystem::create_directories(m_at);
        m_mounted = ::mount("tunevale-test", m_at.c_str(), "tmpfs", flags, (std::string("size=") + size).c_str()) == 0;
    }
    ~ScratchMount()
    {
        if (m_mounted)
            ::umount2(m_at.c_str(), MNT_DETACH);
    }
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    bool mounted() const { return m_mounted; }
    const std::filesystem::path& path() const { return m_at; }

private:
    std::filesystem::path m_at;
    bool m_mounted = false;
};

// Everything a conversion run needs, over real files in a temporary folder: the real engine and
// encoders, the window's job list and settings, an error log of its own. Runs one job at a time
// unless a test asks for more.
struct ConversionRig {
    ConversionRig() : ConversionRig(nullptr) {}
    explicit ConversionRig(Engine* engineOverride)
        : engine(headlessEngine(tagNames)), settings(designOutputSettings((dir / "out").string())),
          log(dir / "Errors.log"), controller({engineOverride ? *engineOverride : *engine, log, jobs, settings,
                                               tagNames, controls, messages, &powerOff, [this] { ++previewStops; }},
                                              flags)
    {
        std::filesystem::create_directories(dir / "in");
        controller.setParallelJobs(1);
    }

    void chooseFormat(FileFormat format)
    {
        for (auto& option : settings.optFileFormat)
            option.value = false;
        settings.optFileFormat[static_cast<std::size_t>(format)].value = true;
    }

    std::size_t addJob(const std::filesystem::path& file, JobState state = JobState::WaitingConversion,
                       std::int32_t checkBox = 0)
    {
        Job job;
        job.FilePath = file.string();
        job.State = state;
        job.CheckBox = checkBox;
        EXPECT_TRUE(jobs.rsJobs().append(job));
        return jobs.rsJobs().size() - 1;
    }

    // Clicks a convert button and lets the window's timer run until the run has ended (two minutes
    // at most); onTick runs after each copy of the progress into the list.
    void convert(ConvertButton button = ConvertButton::cmdConvert, const std::function<void()>& onTick = nullptr)
    {
        if (button == ConvertButton::cmdConvert)
            controller.cmdConvert_Click();
        else
            controller.cmdConvertSelected_Click();
        finish(onTick);
    }
    void finish(const std::function<void()>& onTick = nullptr)
    {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (flags.bConverting && std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            controller.tick();
            if (onTick)
                onTick();
        }
        ASSERT_FALSE(flags.bConverting) << "the run did not end";
    }

    std::string status(std::size_t row) const { return statusText(jobs.rsJobs().at(row)); }
    JobState state(std::size_t row) const { return jobs.rsJobs().at(row).State; }
    std::filesystem::path out(const std::string& name) const { return dir / "out" / name; }
    std::vector<std::filesystem::path> outputs() const
    {
        std::vector<std::filesystem::path> files;
        if (std::filesystem::exists(dir / "out"))
            for (const auto& entry : std::filesystem::directory_iterator(dir / "out"))
                files.push_back(entry.path());
        return files;
    }
    // The log's entries; the indented lines that follow an entry belong to it.
    std::size_t logLines() const
    {
        if (!std::filesystem::exists(log.path()))
            return 0;
        const std::string text = readFile(log.path());
        std::size_t entries = 0;
        for (std::size_t at = 0; at < text.size(); at = text.find("\r\n", at) + 2) {
            entries += text[at] != ' ';
            if (text.find("\r\n", at) == std::string::npos)
                break;
        }
        return entries;
    }

    TempDir dir;
    std::array<std::string, 8> tagNames;
    std::unique_ptr<Engine> engine;
    OutputSettings settings;
    JobList jobs;
    ConversionFlags flags;
    RecordingMessageBox messages;
    RecordingControls controls;
    ErrorLog log;
    RecordingPowerOff powerOff;
    int previewStops = 0;
    ConversionController controller;
};

// A pending output in the folder of out, as a run makes one for a job; invalid where it cannot be made.
inline PendingOutputFile pendingFor(const std::filesystem::path& out)
{
    std::string error;
    const std::string extension = out.extension().string();
    return PendingOutputFile::create(out.parent_path().string(), extension.empty() ? "" : extension.substr(1), error);
}

// Ends a writer called directly as a run ends the job: a complete output is placed at out (which
// must be free), anything else leaves nothing behind; the failure is kept in the context.
inline JobOutcome endJob(PendingOutputFile& output, JobResult result, const std::filesystem::path& out,
                         PlainContext& context)
{
    context.failure = std::move(result.failure);
    if (result.outcome == JobOutcome::Complete) {
        std::string error;
        EXPECT_TRUE(output.flush(error)) << error;
        EXPECT_EQ(output.placeAs(out.filename().string(), error), PendingOutputFile::Placement::Placed) << error;
    }
    output.discard();
    return result.outcome;
}

// The writers called directly into a pending output placed at out when complete, as a run calls them.
inline JobOutcome runWAV(Engine& engine, PlainContext& context, ErrorLog& log, const std::string& source,
                         const std::string& out)
{
    PendingOutputFile output = pendingFor(out);
    return endJob(output, ConvertToWAV(engine, context, log, source, output), out, context);
}

inline JobOutcome runWMA(Engine& engine, PlainContext& context, ErrorLog& log, const std::string& source,
                         const std::string& out, const WmaOptions& options, WmaBitrateListView* view = nullptr)
{
    PendingOutputFile output = pendingFor(out);
    return endJob(output, ConvertToWMA(engine, context, log, source, output, options, view), out, context);
}

// The command names the encoder's output as it is given (the pending file's name).
using CommandFor = std::function<EncoderCommand(const std::string& outArgument)>;

inline JobOutcome runMP3_OGG(Engine& engine, PlainContext& context, ErrorLog& log, const std::string& source,
                             const std::string& out, const CommandFor& command)
{
    PendingOutputFile output = pendingFor(out);
    return endJob(output, ConvertToMP3_OGG(engine, context, log, source, output, command(output.fileName())), out,
                  context);
}

// The pending outputs and private folders left in a folder: what a stopped or failed job must not leave.
inline std::vector<std::filesystem::path> privateFolders(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> found;
    if (std::filesystem::exists(folder))
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().filename().string().starts_with(PrivateFolderPrefix))
                found.push_back(entry.path());
    return found;
}

// Duration of the first audio stream's file in seconds, from ffprobe.
inline double probedDuration(const std::filesystem::path& file)
{
    return std::atof(ffprobe(file, "format=duration").c_str());
}

// The play time of a file as ffmpeg decodes it (encoder delay and padding skipped), in seconds.
// Exact where ffprobe's format duration is only an estimate from the bitrate (low-rate MP3).
inline double decodedDuration(const std::filesystem::path& file, int rate)
{
    TempDir scratch;
    const auto raw = scratch / "decoded.raw";
    ffmpeg({"-i", file.string(), "-ac", "1", "-f", "s16le", raw.string()});
    return std::filesystem::file_size(raw) / 2.0 / rate;
}

// Checks what ffprobe reads back from a converted file, and its decoded play time.
inline void expectAudio(const std::filesystem::path& file, const std::string& codec, int rate, int channels,
                        double seconds, double tolerance)
{
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    EXPECT_EQ(ffprobe(file, "stream=codec_name"), codec) << file;
    EXPECT_EQ(ffprobe(file, "stream=sample_rate"), std::to_string(rate)) << file;
    EXPECT_EQ(ffprobe(file, "stream=channels"), std::to_string(channels)) << file;
    EXPECT_NEAR(decodedDuration(file, rate), seconds, tolerance) << file;
}

// Runs body with PATH set to folder only, so that the encoders found are the ones placed there.
class ScopedPath
{
public:
    explicit ScopedPath(const std::string& path) : m_old(std::getenv("PATH") ? std::getenv("PATH") : "")
    {
        ::setenv("PATH", path.c_str(), 1);
    }
    ~ScopedPath() { ::setenv("PATH", m_old.c_str(), 1); }

private:
    std::string m_old;
};

} // namespace tunevale::test
