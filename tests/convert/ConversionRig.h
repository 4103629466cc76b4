#pragma once

#include "BatchConverter.h"
#include "ConversionController.h"
#include "EngineFactory.h"
#include "ErrorLog.h"
#include "EventPump.h"
#include "FormatWriters.h"
#include "InitAudioEngine.h"
#include "JobContext.h"
#include "JobList.h"
#include "OutputSettings.h"
#include "RecordingMessageBox.h"
#include "RecordingPowerOff.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <sys/mount.h>

namespace tunevale::test
{

// A job context that writes nowhere but asks to stop after stopAfter event passes (never at 0).
class PlainContext : public JobContext
{
public:
    void setStatus(const std::string& text, std::optional<CellColour>) override { statuses.push_back(text); }
    void processEvents() override { ++passes; }
    bool cancelRequested() const override { return stopAfter > 0 && passes >= stopAfter; }
    bool converting() const override { return true; }
    std::vector<std::string> statuses;
    int passes = 0;
    int stopAfter = 0;
};

// The window's event pump: runs the test's hook, as pending clicks would run.
class HookPump : public EventPump
{
public:
    void processEvents() override
    {
        ++passes;
        if (hook)
            hook();
    }
    std::function<void()> hook;
    int passes = 0;
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
// encoders, the window's job list and settings, an error log of its own.
struct ConversionRig {
    ConversionRig() : ConversionRig(nullptr) {}
    explicit ConversionRig(Engine* engineOverride)
        : engine(headlessEngine(tagNames)), settings(designOutputSettings((dir / "out").string())),
          log(dir / "Errors.log"), writers(engineOverride ? *engineOverride : *engine, log, tagNames),
          converter(jobs, settings, writers, pump, flags, outputNamer(settings, messages), [this] { ++previewStops; }),
          controller(converter, flags, jobs, settings, controls, messages, &powerOff)
    {
        std::filesystem::create_directories(dir / "in");
    }

    void chooseFormat(FileFormat format)
    {
        for (auto& option : settings.optFileFormat)
            option.value = false;
        settings.optFileFormat[static_cast<std::size_t>(format)].value = true;
    }

    std::size_t addJob(const std::filesystem::path& file, const std::string& status = JobStatus::WaitingConversion,
                       std::int32_t checkBox = 0)
    {
        Job job;
        job.FilePath = file.string();
        job.Status = status;
        job.CheckBox = checkBox;
        EXPECT_TRUE(jobs.rsJobs().append(job));
        return jobs.rsJobs().size() - 1;
    }

    const std::string& status(std::size_t row) const { return jobs.rsJobs().at(row).Status; }
    std::filesystem::path out(const std::string& name) const { return dir / "out" / name; }
    std::vector<std::filesystem::path> outputs() const
    {
        std::vector<std::filesystem::path> files;
        if (std::filesystem::exists(dir / "out"))
            for (const auto& entry : std::filesystem::directory_iterator(dir / "out"))
                files.push_back(entry.path());
        return files;
    }
    std::size_t logLines() const
    {
        if (!std::filesystem::exists(log.path()))
            return 0;
        const std::string text = readFile(log.path());
        std::size_t lines = 0;
        for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
            ++lines;
        return lines;
    }

    TempDir dir;
    std::array<std::string, 8> tagNames;
    std::unique_ptr<Engine> engine;
    OutputSettings settings;
    JobList jobs;
    ConversionFlags flags;
    HookPump pump;
    RecordingMessageBox messages;
    RecordingControls controls;
    ErrorLog log;
    FormatWriters writers;
    BatchConverter converter;
    ConversionController controller;
    int previewStops = 0;
    RecordingPowerOff powerOff;
};

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
