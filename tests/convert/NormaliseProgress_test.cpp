// The measuring pass of a normalised run as the window's list shows it, and the sources it decodes.

#include "ConversionRig.h"
#include "ForwardingEngine.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <regex>
#include <set>

namespace tunevale::test
{
namespace
{

// The real engine, counting the chunks of PCM read from each file it opened.
class DecodeCountingEngine : public ForwardingEngine
{
public:
    using ForwardingEngine::ForwardingEngine;

    EngineHandle StreamCreateFile(const std::string& path, std::uint64_t offset, std::uint64_t length,
                                  std::uint32_t flags) override
    {
        const EngineHandle handle = ForwardingEngine::StreamCreateFile(path, offset, length, flags);
        const std::lock_guard lock(m_mutex);
        m_paths[handle] = std::filesystem::path(path).filename().string();
        return handle;
    }
    std::int32_t ChannelGetData(EngineHandle handle, void* buffer, std::uint32_t length) override
    {
        {
            const std::lock_guard lock(m_mutex);
            if (const auto path = m_paths.find(handle); path != m_paths.end())
                ++m_reads[path->second];
        }
        return ForwardingEngine::ChannelGetData(handle, buffer, length);
    }

    // Chunks read from files of that name since the last reset.
    int reads(const std::string& name) const
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_reads.find(name);
        return found == m_reads.end() ? 0 : found->second;
    }
    void reset()
    {
        const std::lock_guard lock(m_mutex);
        m_reads.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::map<EngineHandle, std::string> m_paths;
    std::map<std::string, int> m_reads;
};

// A stereo tone of this peak level as FLAC, long enough for the list to show it being measured.
std::filesystem::path makeLongTone(const std::filesystem::path& file, double peakDbfs)
{
    const std::string wave = std::to_string(std::pow(10.0, peakDbfs / 20.0)) + "*sin(2*PI*700*t)";
    ffmpeg({"-f", "lavfi", "-i", "aevalsrc=" + wave + "|" + wave + ":s=44100:d=40", "-c:a", "flac", "-sample_fmt",
            "s16", file.string()});
    return file;
}

struct Rig {
    std::array<std::string, 8> tagNames;
    std::unique_ptr<Engine> real = headlessEngine(tagNames);
    DecodeCountingEngine engine{*real};
    ConversionRig conversion{&engine};
};

// Every status text the list showed for a row while the run went, in order, each once in a row.
std::vector<std::string> convertWatching(ConversionRig& rig, std::size_t row)
{
    std::vector<std::string> seen;
    rig.convert(ConvertButton::cmdConvert, [&] {
        const std::string status = rig.status(row);
        if (seen.empty() || seen.back() != status)
            seen.push_back(status);
    });
    return seen;
}

TEST(NormaliseProgress, TheListShowsEachSourceBeingMeasuredThenConverted)
{
    Rig rig;
    ConversionRig& conversion = rig.conversion;
    conversion.chooseFormat(FileFormat::WAV);
    conversion.settings.cmbNormalize.listIndex = static_cast<int>(NormalizeChoice::Track);
    conversion.addJob(makeLongTone(conversion.dir / "in" / "a.flac", -20));
    conversion.addJob(makeLongTone(conversion.dir / "in" / "b.flac", -12));
    const std::vector<std::string> seen = convertWatching(conversion, 1);
    ASSERT_EQ(conversion.status(0), "Complete");
    ASSERT_EQ(conversion.status(1), "Complete");

    const std::regex measuring(R"(Measuring ([0-9.]+)%)");
    std::vector<double> measured;
    std::size_t lastMeasuring = 0;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        std::smatch match;
        if (std::regex_match(seen[i], match, measuring)) {
            measured.push_back(std::stod(match[1]));
            lastMeasuring = i;
        }
    }
    ASSERT_FALSE(measured.empty()) << "no measuring shown";
    EXPECT_TRUE(std::is_sorted(measured.begin(), measured.end()));
    EXPECT_LE(measured.back(), 100.0);
    EXPECT_TRUE(std::any_of(measured.begin(), measured.end(), [](double p) { return p > 0 && p < 100; }));
    // The measuring comes before the conversion, which ends the row.
    EXPECT_EQ(seen.back(), "Complete");
    for (std::size_t i = lastMeasuring + 1; i < seen.size(); ++i)
        EXPECT_FALSE(std::regex_match(seen[i], measuring)) << seen[i];
}

TEST(NormaliseProgress, AnUpToDateOutputIsNotDecodedToBeMeasured)
{
    Rig rig;
    ConversionRig& conversion = rig.conversion;
    conversion.chooseFormat(FileFormat::WAV);
    conversion.settings.cmbNormalize.listIndex = static_cast<int>(NormalizeChoice::Album);
    conversion.settings.cmbIfExists.listIndex = static_cast<int>(IfExistsChoice::Update);
    const auto kept = makeLongTone(conversion.dir / "in" / "kept.flac", -20);
    const auto added = makeLongTone(conversion.dir / "in" / "added.flac", -14);
    conversion.addJob(kept);
    conversion.convert();
    ASSERT_EQ(conversion.status(0), "Complete");
    const auto madeAt = std::filesystem::last_write_time(conversion.out("kept.wav"));

    rig.engine.reset();
    conversion.jobs.rsJobs().setState(0, JobState::WaitingConversion, 0, {});
    conversion.addJob(added);
    const std::vector<std::string> seen = convertWatching(conversion, 0);
    EXPECT_EQ(conversion.status(0), "Up To Date");
    EXPECT_EQ(conversion.status(1), "Complete");
    for (const std::string& status : seen)
        EXPECT_EQ(status.find("Measuring"), std::string::npos) << status;
    EXPECT_EQ(rig.engine.reads("kept.flac"), 0);
    EXPECT_GT(rig.engine.reads("added.flac"), 0);
    EXPECT_EQ(std::filesystem::last_write_time(conversion.out("kept.wav")), madeAt);
}

} // namespace
} // namespace tunevale::test
