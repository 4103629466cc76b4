#pragma once

#include <string>

namespace tunevale
{

// The codecs of the engine's in-process file encoders (WMA has its own encoder).
enum class OutputCodec { Flac, Opus, Aac, Alac, AiffPcm, WavPack };

// The file formats those codecs are written in.
enum class OutputContainer { Flac, OggOpus, M4a, Aiff, WavPack };

// The container each codec is written in unless another is asked for.
constexpr OutputContainer defaultContainer(OutputCodec codec)
{
    switch (codec) {
    case OutputCodec::Flac:
        return OutputContainer::Flac;
    case OutputCodec::Opus:
        return OutputContainer::OggOpus;
    case OutputCodec::Aac:
    case OutputCodec::Alac:
        return OutputContainer::M4a;
    case OutputCodec::AiffPcm:
        return OutputContainer::Aiff;
    case OutputCodec::WavPack:
        return OutputContainer::WavPack;
    }
    return OutputContainer::Flac;
}

constexpr bool isLosslessCodec(OutputCodec codec)
{
    return codec != OutputCodec::Opus && codec != OutputCodec::Aac;
}

// The ranges of the codecs' options and their defaults.
namespace EncodeLimits
{
inline constexpr int FlacLevelMin = 0;
inline constexpr int FlacLevelMax = 8;
inline constexpr int FlacLevelDefault = 5;
inline constexpr int OpusKbpsMin = 32;
inline constexpr int OpusKbpsMax = 256;
inline constexpr int OpusKbpsDefault = 128;
inline constexpr int AacKbpsMin = 64;
inline constexpr int AacKbpsMax = 320;
inline constexpr int AacKbpsDefault = 192;
} // namespace EncodeLimits

// A fault an encoder can be told to make, so that tests can prove that verification catches it.
enum class EncoderFault {
    None,
    FlipSampleBit,  // one bit of the PCM changes after the checksum has taken it: a wrong encoding
    FlipPacketByte, // one byte of an encoded packet changes on its way into the file: a damaged file
};

// What to encode into: the codec and container, and the codec's one option.
struct EncodeSetup {
    OutputCodec codec = OutputCodec::Flac;
    OutputContainer container = OutputContainer::Flac;
    int kbps = 0;              // Opus (VBR) and AAC: the bitrate in kbit/s; 0 for the default
    int compressionLevel = -1; // FLAC: 0 (fastest) to 8 (smallest); -1 for the default
    bool verify = false;       // lossless codecs only: decode the finished file back and compare
    EncoderFault fault = EncoderFault::None;
};

// Where the encoded file goes: an open descriptor (fd >= 0; it must be readable too when the
// output is verified, and stays open, its offset moved) or else a path, created or replaced.
struct EncodeTarget {
    int fd = -1;
    std::string path;
};

} // namespace tunevale
