#include "MidiStream.h"

#include "FileInput.h"
#include "MidiDuration.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <mutex>

namespace tunevale
{

namespace
{

constexpr std::size_t MaxMidiFileSize = 64 * 1024 * 1024;

std::uint32_t littleEndian32(const std::string& bytes, std::size_t at)
{
    return std::uint32_t(static_cast<unsigned char>(bytes[at])) |
           (std::uint32_t(static_cast<unsigned char>(bytes[at + 1])) << 8) |
           (std::uint32_t(static_cast<unsigned char>(bytes[at + 2])) << 16) |
           (std::uint32_t(static_cast<unsigned char>(bytes[at + 3])) << 24);
}

// The Standard MIDI File inside a RIFF RMID file ("data" chunk), or the bytes themselves.
std::string standardMidi(const std::string& bytes)
{
    if (bytes.compare(0, 4, "RIFF") != 0)
        return bytes;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::uint32_t size = littleEndian32(bytes, at + 4);
        if (bytes.compare(at, 4, "data") == 0)
            return bytes.substr(at + 8, std::min<std::size_t>(size, bytes.size() - at - 8));
        at += 8 + size + (size & 1);
    }
    return {};
}

// FluidSynth keeps its log functions and the tables that every synth shares in globals, and the
// first synth made fills those tables without a lock: a synth made at the same time on another
// thread could see them half filled. So the log is silenced and a first synth made once, before any
// stream's own.
void prepareFluidSynth()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, nullptr, nullptr);
        if (fluid_settings_t* settings = new_fluid_settings()) {
            if (fluid_synth_t* synth = new_fluid_synth(settings))
                delete_fluid_synth(synth);
            delete_fluid_settings(settings);
        }
    });
}

// Loading and unloading SoundFonts goes through FluidSynth's process-wide sample cache, guarded by
// GLib locks that race checkers cannot see; synths are made and freed one at a time. Rendering,
// the long part, runs on each stream's own synth without it.
std::mutex& fluidSetupMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

bool MidiStream::looksLikeMidi(const std::string& head)
{
    return head.compare(0, 4, "MThd") == 0 ||
           (head.size() >= 12 && head.compare(0, 4, "RIFF") == 0 && head.compare(8, 4, "RMID") == 0);
}

std::unique_ptr<MidiStream> MidiStream::open(const FileInput& file, const std::string& soundFont, int& errorCode)
{
    // One byte more than the file held when asked, to notice one that grew past the limit.
    if (file.size() > MaxMidiFileSize) {
        errorCode = EngineCode::Format;
        return nullptr;
    }
    const std::string bytes = file.readAt(0, static_cast<std::size_t>(file.size()) + 1);
    if (bytes.size() > MaxMidiFileSize) {
        errorCode = EngineCode::Format;
        return nullptr;
    }

    std::unique_ptr<MidiStream> stream(new MidiStream);
    stream->m_smf = standardMidi(bytes);
    const std::optional<double> seconds = midiDurationSeconds(stream->m_smf);
    if (!seconds || !(*seconds <= LongestSynthesisedSeconds)) {
        errorCode = EngineCode::Format;
        return nullptr;
    }
    stream->m_totalFrames = static_cast<std::uint64_t>(std::llround(*seconds * Rate));

    prepareFluidSynth();
    const std::lock_guard setup(fluidSetupMutex());
    stream->m_settings = new_fluid_settings();
    if (!stream->m_settings) {
        errorCode = EngineCode::Mem;
        return nullptr;
    }
    fluid_settings_setnum(stream->m_settings, "synth.sample-rate", Rate);
    fluid_settings_setint(stream->m_settings, "synth.cpu-cores", 1);
    // FluidSynth's default gain (0.2) leaves a single instrument near -30 dBFS; 0.5 sounds like a
    // player's output and still leaves headroom for full arrangements.
    fluid_settings_setnum(stream->m_settings, "synth.gain", 0.5);
    stream->m_synth = new_fluid_synth(stream->m_settings);
    if (!stream->m_synth) {
        errorCode = EngineCode::Mem;
        return nullptr;
    }
    if (fluid_synth_sfload(stream->m_synth, soundFont.c_str(), 1) == FLUID_FAILED) {
        errorCode = EngineCode::FileOpen;
        return nullptr;
    }
    if (!stream->startPlayer()) {
        errorCode = EngineCode::Format;
        return nullptr;
    }
    errorCode = EngineCode::Ok;
    return stream;
}

MidiStream::~MidiStream()
{
    const std::lock_guard setup(fluidSetupMutex());
    if (m_player) {
        fluid_player_stop(m_player);
        delete_fluid_player(m_player);
    }
    if (m_synth)
        delete_fluid_synth(m_synth);
    if (m_settings)
        delete_fluid_settings(m_settings);
}

bool MidiStream::startPlayer()
{
    if (m_player) {
        fluid_player_stop(m_player);
        delete_fluid_player(m_player);
        fluid_synth_system_reset(m_synth);
    }
    m_renderedFrames = 0;
    m_player = new_fluid_player(m_synth);
    if (!m_player)
        return false;
    if (fluid_player_add_mem(m_player, m_smf.data(), m_smf.size()) != FLUID_OK)
        return false;
    return fluid_player_play(m_player) == FLUID_OK;
}

ChannelInfo MidiStream::info() const
{
    return ChannelInfo{Rate, 2, 0, 16};
}

std::size_t MidiStream::read(std::uint8_t* out, std::size_t size)
{
    const std::uint64_t frames = std::min<std::uint64_t>(size / 4, m_totalFrames - m_renderedFrames);
    if (frames == 0)
        return 0;
    // The player follows the synth's sample clock, so rendering drives the song; notes still
    // sounding after the last event are cut at the song's length.
    fluid_synth_write_s16(m_synth, static_cast<int>(frames), out, 0, 2, out, 1, 2);
    m_renderedFrames += frames;
    return static_cast<std::size_t>(frames) * 4;
}

bool MidiStream::rewind()
{
    return startPlayer();
}

} // namespace tunevale
