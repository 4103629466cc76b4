#pragma once

#include "DurationSource.h"
#include "Engine.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace tunevale
{

class WmaInstallPrompt;

// Whole seconds as minutes and seconds, each at least two digits: 7 -> "00:07", 7503 -> "125:03".
std::string minutesAndSeconds(std::uint64_t seconds);

// Measures a file's play time through the engine: opened as a stream, else as tracker music.
// When a Windows Media file (.wma, .asf, .wmv) cannot be opened and the engine has no WMA encoder,
// the user is offered to install it (once per such file).
class DurationProbe final : public DurationSource
{
public:
    // prompt may be null (no one to ask, as in the command-line program).
    DurationProbe(Engine& engine, WmaInstallPrompt* prompt, std::filesystem::path wmaProbeFile);

    // "mm:ss" rounded to whole seconds (halves to even), or "Error".
    std::string GetDurationText(const std::string& filePath) override;

private:
    std::string measure(EngineHandle ProbeChannel);

    Engine& m_engine;
    WmaInstallPrompt* m_prompt;
    std::filesystem::path m_wmaProbeFile;
};

} // namespace tunevale
