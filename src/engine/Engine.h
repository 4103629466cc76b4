#pragma once

#include "SourceTags.h"

#include <cstdint>
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
inline constexpr int Already = 14;
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
inline constexpr int EncoderStart = 100;  // the encoder program could not be found or executed
inline constexpr int EncoderFailed = 101; // the encoder program exited non-zero, died or hung
inline constexpr int Truncated = 102;     // the audio ended before its stated length: a damaged file
inline constexpr int Unknown = -1;
} // namespace EngineCode

namespace StreamFlag
{
inline constexpr std::uint32_t Sample8Bits = 1; // channel info: unsigned 8-bit PCM
inline constexpr std::uint32_t Loop = 4;
inline constexpr std::uint32_t Fx = 128;
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
} // namespace EngineConfig

inline constexpr std::uint32_t ChannelAttribFreq = 1;
inline constexpr std::uint32_t WmaEncodeFlags = 8192;

inline constexpr std::uint64_t EngineFailure64 = static_cast<std::uint64_t>(-1);

struct ChannelInfo {
    std::uint32_t freq = 0;    // sample rate in Hz
    std::uint32_t chans = 0;   // channel count
    std::uint32_t flags = 0;   // StreamFlag::Sample8Bits for 8-bit PCM
    std::uint32_t origres = 0; // bits per sample of the source, 0 when unknown
};

// A program and its arguments, started without a shell.
struct EncoderCommand {
    std::string program;                // bare name (looked up beside the executable, then on PATH) or a path
    std::vector<std::string> arguments; // without the program name
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
};

} // namespace tunevale
