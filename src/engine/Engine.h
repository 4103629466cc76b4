#pragma once

#include "OutputEncoding.h"
#include "SourceTags.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tunevale
{

// Names a stream, module or encoder of the engine; 0 means failure.
using EngineHandle = std::uint32_t;

// The engine's error codes, read with Engine::ErrorGetCode() right after a failed call.
namespace EngineCode
{
inline constexpr int Ok = 0;
inline constexpr int Mem = 1;
inline constexpr int FileOpen = 2;
inline constexpr int Driver = 3;
inline constexpr int Handle = 5;
inline constexpr int Format = 6;
inline constexpr int Position = 7;
inline constexpr int Init = 8;
inline constexpr int Start = 9;
inline constexpr int CdInit = 10;  // the drive (or disc image) could not be opened
inline constexpr int NoCd = 12;    // no disc in the drive, or its tray is open
inline constexpr int CdTrack = 13; // the disc has no such track
inline constexpr int Already = 14;
inline constexpr int NotAudio = 17; // a data track
inline constexpr int NoChannel = 18;
inline constexpr int IllegalType = 19;
inline constexpr int IllegalParam = 20;
inline constexpr int No3D = 21;
inline constexpr int NoEax = 22;
inline constexpr int Device = 23;
inline constexpr int NotPlaying = 24;
inline constexpr int Freq = 25;
inline constexpr int NotFile = 27;
inline constexpr int NoHardware = 29;
inline constexpr int Empty = 31;
inline constexpr int NoNet = 32;
inline constexpr int Create = 33;
inline constexpr int NoFx = 34;
inline constexpr int NotAvailable = 37;
inline constexpr int Decode = 38;
inline constexpr int EncoderStart = 100;     // the encoder program could not be found or executed
inline constexpr int EncoderFailed = 101;    // the encoder program exited non-zero, died or hung
inline constexpr int Truncated = 102;        // the audio ended before its stated length: a damaged file
inline constexpr int Corrupt = 103;          // a lossless source has frames that fail their checksum or do not decode
inline constexpr int OutputUnreadable = 104; // the converted file does not decode
inline constexpr int OutputShort = 105;      // the converted file decodes to less audio than went in
inline constexpr int TagsNotWritten = 106;   // the output keeps its audio, but none of the source's tags
inline constexpr int TagsLeftOut = 107;      // some of the source's tags did not fit the output
inline constexpr int CdReadError = 108;      // sectors of a CD track could not be read without errors
inline constexpr int VerifyFailed = 109;     // a lossless output does not decode to the audio that was encoded
inline constexpr int Unknown = -1;
} // namespace EngineCode

namespace StreamFlag
{
inline constexpr std::uint32_t Sample8Bits = 1;           // channel info: unsigned 8-bit PCM
inline constexpr std::uint32_t SampleFloat = 0x100;       // channel info: 32-bit float PCM
inline constexpr std::uint32_t Sample24Bits = 0x10000000; // channel info: signed 24-bit PCM, 3 bytes a sample
inline constexpr std::uint32_t Sample32Bits = 0x20000000; // channel info: signed 32-bit PCM
// Stream creation, decode-only streams: lossless sources deliver their own resolution (16, 24 or
// 32-bit integer, or float) instead of 16 bits; lossy and synthesised sources keep the 16-bit road.
inline constexpr std::uint32_t SourceResolution = 0x40000000;
inline constexpr std::uint32_t Loop = 4;
inline constexpr std::uint32_t Fx = 128;
// ChannelGetLength is exact: read from a header the file's size backs up, else counted by decoding
// the whole file once when it is opened.
inline constexpr std::uint32_t Prescan = 0x20000;
inline constexpr std::uint32_t MusicRamp = 0x200;
inline constexpr std::uint32_t DecodeOnly = 0x200000;
inline constexpr std::uint32_t Unicode = 0x80000000; // accepted; paths are UTF-8 either way
} // namespace StreamFlag

namespace ChannelState
{
inline constexpr std::uint32_t Stopped = 0;
inline constexpr std::uint32_t Playing = 1;
inline constexpr std::uint32_t Stalled = 2;
inline constexpr std::uint32_t Paused = 3;
} // namespace ChannelState

namespace EngineConfig
{
inline constexpr std::uint32_t FloatDsp = 9;
inline constexpr std::uint32_t WmaUseEngineFiles = 0x10103;
// The CD drive's read offset in samples (a signed 32-bit value), as AccurateRip lists it per drive
// model; applies to the tracks of drives opened after it is set.
inline constexpr std::uint32_t CdReadOffset = 0x10200;
} // namespace EngineConfig

inline constexpr std::uint32_t ChannelAttribFreq = 1;
// A gain in dB applied to every sample a decode-only channel delivers (and feeds its encoder),
// rounded to the nearest step of the sample format and clipped at full scale; 0 by default.
inline constexpr std::uint32_t ChannelAttribGain = 2;
inline constexpr std::uint32_t WmaEncodeFlags = 8192;

inline constexpr std::uint64_t EngineFailure64 = static_cast<std::uint64_t>(-1);

struct ChannelInfo {
    std::uint32_t freq = 0;    // sample rate in Hz
    std::uint32_t chans = 0;   // channel count
    std::uint32_t flags = 0;   // the sample format: StreamFlag::Sample8Bits, Sample24Bits, ...; none for 16-bit
    std::uint32_t origres = 0; // bits per sample of the source, 0 when unknown
};

// Bytes of one delivered sample for the sample-format flags of a ChannelInfo.
constexpr std::uint32_t bytesPerSample(std::uint32_t flags)
{
    if (flags & StreamFlag::Sample8Bits)
        return 1;
    if (flags & StreamFlag::Sample24Bits)
        return 3;
    if (flags & (StreamFlag::Sample32Bits | StreamFlag::SampleFloat))
        return 4;
    return 2;
}

// Whether the PCM is the 16-bit road's (signed 16-bit, or unsigned 8-bit) that players and encoder
// programs take.
constexpr bool isPlainPcm(std::uint32_t flags)
{
    return !(flags & (StreamFlag::Sample24Bits | StreamFlag::Sample32Bits | StreamFlag::SampleFloat));
}

// A program and its arguments, started without a shell.
struct EncoderCommand {
    std::string program;                // bare name (looked up beside the executable, then on PATH) or a path
    std::vector<std::string> arguments; // without the program name
    // The folder the program runs in, as an open descriptor (-1: Tunevale's own), so that an output
    // named relative to it reaches that very folder, whatever happens to the names leading there.
    int workingFolder = -1;
    // Asked while Tunevale waits for the program; once true, the program's input is closed and the
    // program is killed when it has not ended 2 s later. Called on the thread that feeds and stops
    // the encoder, until it is stopped. Empty: never.
    std::function<bool()> cancelled = nullptr;
};

// The audio engine: decoding, playback and encoding behind 32-bit handles.
// Thread-safe; the last error code is kept per thread. Paths are UTF-8.
class Engine
{
public:
    virtual ~Engine() = default;

    virtual bool Init(int device, std::uint32_t freq, std::uint32_t flags) = 0;
    virtual bool Free() = 0;
    // Enables the format family named by a plug-in file name; 0 when it is unknown or unavailable.
    virtual EngineHandle PluginLoad(const std::string& file, std::uint32_t flags) = 0;
    virtual int ErrorGetCode() = 0;
    // What the last failed call on this thread said beyond its code: the file a cue sheet names that
    // is missing, the sectors of a CD track that could not be read. Empty when nothing.
    virtual std::string ErrorGetMessage() { return {}; }
    virtual bool SetConfig(std::uint32_t option, std::uint32_t value) = 0;

    virtual EngineHandle StreamCreateFile(const std::string& path, std::uint64_t offset, std::uint64_t length,
                                          std::uint32_t flags) = 0;
    virtual EngineHandle MusicLoad(const std::string& path, std::uint64_t offset, std::uint32_t length,
                                   std::uint32_t flags, std::uint32_t freq) = 0;
    virtual bool StreamFree(EngineHandle handle) = 0;

    // Byte counts of the delivered PCM (mode 0); EngineFailure64 on failure.
    virtual std::uint64_t ChannelGetLength(EngineHandle handle, std::uint32_t mode) = 0;
    virtual std::uint64_t ChannelGetPosition(EngineHandle handle, std::uint32_t mode) = 0;
    virtual double ChannelBytes2Seconds(EngineHandle handle, std::uint64_t bytes) = 0;
    virtual bool ChannelGetInfo(EngineHandle handle, ChannelInfo& info) = 0;
    virtual bool ChannelGetAttribute(EngineHandle handle, std::uint32_t attribute, float& value) = 0;
    // Sets ChannelAttribGain; engines without gains refuse it.
    virtual bool ChannelSetAttribute(EngineHandle handle, std::uint32_t attribute, float value)
    {
        (void)handle, (void)attribute, (void)value;
        return false;
    }
    // The source file's tags and embedded front cover (none for sources without tags).
    virtual bool ChannelGetTags(EngineHandle handle, SourceTags& tags) = 0;
    // A text that names the file's audio and that retagging does not change (a hash of its demuxed
    // audio packets, or FLAC's checksum of its samples); empty, with an error code, when the file
    // cannot be read as audio. An engine that demuxes no files (the tests' stand-ins) has none.
    virtual std::string AudioIdentity(const std::string& path)
    {
        (void)path;
        return {};
    }

    virtual bool ChannelPlay(EngineHandle handle, bool restart) = 0;
    virtual bool ChannelPause(EngineHandle handle) = 0;
    virtual bool ChannelStop(EngineHandle handle) = 0;
    // A ChannelState; for a decode-only stream 0 once the last byte has been delivered.
    virtual std::uint32_t ChannelIsActive(EngineHandle handle) = 0;
    // Decodes up to length bytes into buffer; the count delivered, or -1 on failure.
    virtual std::int32_t ChannelGetData(EngineHandle handle, void* buffer, std::uint32_t length) = 0;

    // Encoder bridge: the program receives a WAV header, then every chunk pulled from the channel.
    // A program that cannot be found or run fails with EngineCode::EncoderStart; one that exits
    // non-zero, dies or stops reading fails EncodeStart, ChannelGetData or EncodeStop with
    // EngineCode::EncoderFailed.
    virtual EngineHandle EncodeStart(EngineHandle channel, const EncoderCommand& command, std::uint32_t flags) = 0;
    // Takes the channel or the encoder handle; false (with an error code) when the program failed.
    virtual bool EncodeStop(EngineHandle handle) = 0;
    // The last lines that the encoder most recently stopped on the calling thread wrote to its
    // standard error (bounded to a few lines); empty when there were none.
    virtual std::string EncodeGetMessage() { return {}; }

    // Bitrates in bit/s, highest first, ended by a 0 entry; empty when there is no list.
    virtual std::vector<std::uint32_t> WMAEncodeGetRates(std::uint32_t freq, std::uint32_t chans,
                                                         std::uint32_t flags) = 0;
    virtual EngineHandle WMAEncodeOpenFile(std::uint32_t freq, std::uint32_t chans, std::uint32_t flags,
                                           std::uint32_t bitrate, const std::string& path) = 0;
    virtual bool WMAEncodeSetTag(EngineHandle encoder, const std::string& tag, const std::string& value,
                                 std::uint32_t form) = 0;
    virtual bool WMAEncodeWrite(EngineHandle encoder, const void* buffer, std::uint32_t length) = 0;
    virtual bool WMAEncodeClose(EngineHandle encoder) = 0;

    // In-process encoders of the FLAC, Opus, AAC, ALAC, AIFF and WavPack outputs, fed interleaved
    // PCM of the format pcm (a stream's ChannelInfo). The file is written through target's
    // descriptor, or created at its path; the engine opens no other name. IllegalParam for options
    // out of range, Format for PCM the codec cannot take, NotAvailable when the codec is missing,
    // Create when the file cannot be created or written.
    virtual EngineHandle EncodeFileOpen(const EncodeSetup& setup, const ChannelInfo& pcm,
                                        const EncodeTarget& target) = 0;
    virtual bool EncodeFileWrite(EngineHandle encoder, const void* buffer, std::uint32_t length) = 0;
    // Finishes the file and releases the handle. With setup.verify the finished file is decoded
    // back and its PCM compared with what was encoded: VerifyFailed when they differ. On any
    // failure the file stays for the caller to remove.
    virtual bool EncodeFileClose(EngineHandle encoder) = 0;
};

} // namespace tunevale
