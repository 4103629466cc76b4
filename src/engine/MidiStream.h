#pragma once

#include "PcmSource.h"

#include <memory>
#include <string>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_player_t fluid_player_t;

namespace tunevale
{

class FileInput;

// A MIDI file (SMF, or RIFF RMID) rendered by FluidSynth with a SoundFont: 16-bit stereo at
// 44.1 kHz, as long as the file's events last.
class MidiStream final : public PcmSource
{
public:
    // True when the bytes start like a MIDI file.
    static bool looksLikeMidi(const std::string& head);
    // nullptr with errorCode set on failure.
    static std::unique_ptr<MidiStream> open(const FileInput& file, const std::string& soundFont, int& errorCode);
    ~MidiStream() override;
    MidiStream(const MidiStream&) = delete;
    MidiStream& operator=(const MidiStream&) = delete;

    ChannelInfo info() const override;
    std::uint64_t length() const override { return m_totalFrames * 4; }
    std::size_t read(std::uint8_t* out, std::size_t size) override;
    bool finished() const override { return m_renderedFrames >= m_totalFrames; }
    bool rewind() override;

    static constexpr std::uint32_t Rate = 44100;

private:
    MidiStream() = default;
    bool startPlayer();

    std::string m_smf;
    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
    fluid_player_t* m_player = nullptr;
    std::uint64_t m_totalFrames = 0;
    std::uint64_t m_renderedFrames = 0;
};

} // namespace tunevale
