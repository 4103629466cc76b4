#include "DurationProbe.h"

#include "AcceptedExtensions.h"
#include "Job.h"
#include "WmaSupport.h"

#include <cmath>
#include <cstdio>

namespace tunevale
{

namespace
{

constexpr std::uint32_t ProbeStreamFlags = StreamFlag::Loop | StreamFlag::Fx | StreamFlag::Unicode;
constexpr std::uint32_t ProbeMusicFlags = StreamFlag::Loop | StreamFlag::MusicRamp | StreamFlag::Unicode;

} // namespace

std::string minutesAndSeconds(std::uint64_t seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                  static_cast<unsigned long long>(seconds % 60));
    return text;
}

DurationProbe::DurationProbe(Engine& engine, WmaInstallPrompt* prompt, std::filesystem::path wmaProbeFile)
    : m_engine(engine), m_prompt(prompt), m_wmaProbeFile(std::move(wmaProbeFile))
{
}

std::string DurationProbe::GetDurationText(const std::string& filePath)
{
    EngineHandle ProbeChannel = m_engine.StreamCreateFile(filePath, 0, 0, ProbeStreamFlags);
    if (ProbeChannel == 0)
        ProbeChannel = m_engine.MusicLoad(filePath, 0, 0, ProbeMusicFlags, 0);
    if (ProbeChannel != 0)
        return measure(ProbeChannel);

    if (m_prompt && isWindowsMediaFile(filePath) && !CheckWMASupport(m_engine, m_wmaProbeFile))
        m_prompt->show();
    return DurationError;
}

std::string DurationProbe::measure(EngineHandle ProbeChannel)
{
    // The whole 64-bit length: a source of 4 GiB of PCM or more keeps its true duration.
    const auto length = m_engine.ChannelGetLength(ProbeChannel, 0);
    const double seconds = length == EngineFailure64 ? -1.0 : m_engine.ChannelBytes2Seconds(ProbeChannel, length);
    m_engine.StreamFree(ProbeChannel);
    if (!std::isfinite(seconds) || seconds < 0)
        return DurationError;
    return minutesAndSeconds(static_cast<std::uint64_t>(std::nearbyint(seconds)));
}

} // namespace tunevale
