#pragma once

#include "Engine.h"
#include "SourceTags.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tunevale
{

// Synthesised sources (MIDI, tracker modules) play as long as their events say, which a few bytes
// can stretch to years; no real piece lasts longer than this, so longer ones are refused as damaged.
inline constexpr double LongestSynthesisedSeconds = 24.0 * 60 * 60;

// No real recording has fewer samples per second: a header that says so is damaged, and
// decoding it would make an encoder stretch every sample into seconds of output.
inline constexpr int LowestRecordingRate = 1000;

// Why a source's audio is not the whole piece.
enum class SourceDamage {
    None,
    EndedEarly, // the audio stopped short of its stated length: the file is cut short or damaged there
    Corrupt,    // a lossless source has a frame that fails its checksum or does not decode
    Unreadable  // sectors of a disc could not be read without errors
};

// A source of interleaved PCM in the format of info(). Not thread-safe: its channel locks it.
class PcmSource
{
public:
    virtual ~PcmSource() = default;

    virtual ChannelInfo info() const = 0;
    // Length of the whole PCM in bytes: exact where the file states it, else the best estimate.
    virtual std::uint64_t length() const = 0;
    // Copies up to size bytes, whole sample frames only; 0 only once finished() holds.
    virtual std::size_t read(std::uint8_t* out, std::size_t size) = 0;
    // True once every byte has been read (the source decodes ahead to know it).
    virtual bool finished() const = 0;
    // Starts again from the beginning; false when the source cannot.
    virtual bool rewind() = 0;
    // Goes to the sample frame with this index (from the beginning), exactly; false when the source
    // cannot seek that precisely, and then its position is undefined until rewind().
    virtual bool seekFrame(std::uint64_t) { return false; }
    // The descriptive tags of the source file; none by default.
    virtual SourceTags tags() { return {}; }
    // Once finished() holds: whether what was delivered is not the whole piece, and why.
    virtual SourceDamage damage() const { return SourceDamage::None; }
    // Where the damage lies, for the log (the unreadable sectors); empty when there is nothing to say.
    virtual std::string damageDetail() const { return {}; }

    std::uint32_t bytesPerFrame() const
    {
        const ChannelInfo format = info();
        return format.chans * bytesPerSample(format.flags);
    }
};

} // namespace tunevale
