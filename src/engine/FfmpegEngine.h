#pragma once

#include "DecodeOptions.h"
#include "Engine.h"
#include "EngineChannel.h"
#include "FileEncoder.h"
#include "FormatFamily.h"
#include "SdlOutput.h"
#include "WmaEncoder.h"
#include "cd/TrackPath.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace tunevale
{

// The engine on FFmpeg (decoding), SDL2 (output), FluidSynth (MIDI), libopenmpt (modules) and
// encoder programs. Every method may be called from any thread; handles live in one table under a
// lock and the last error code is kept per thread.
class FfmpegEngine final : public Engine
{
public:
    // soundFonts: the SoundFont files MIDI may use, the first one present wins.
    explicit FfmpegEngine(std::vector<std::string> soundFonts = defaultSoundFonts());
    ~FfmpegEngine() override;

    static std::vector<std::string> defaultSoundFonts();

    bool Init(int device, std::uint32_t freq, std::uint32_t flags) override;
    bool Free() override;
    EngineHandle PluginLoad(const std::string& file, std::uint32_t flags) override;
    int ErrorGetCode() override;
    std::string ErrorGetMessage() override;
    bool SetConfig(std::uint32_t option, std::uint32_t value) override;

    EngineHandle StreamCreateFile(const std::string& path, std::uint64_t offset, std::uint64_t length,
                                  std::uint32_t flags) override;
    EngineHandle MusicLoad(const std::string& path, std::uint64_t offset, std::uint32_t length, std::uint32_t flags,
                           std::uint32_t freq) override;
    bool StreamFree(EngineHandle handle) override;

    std::uint64_t ChannelGetLength(EngineHandle handle, std::uint32_t mode) override;
    std::uint64_t ChannelGetPosition(EngineHandle handle, std::uint32_t mode) override;
    double ChannelBytes2Seconds(EngineHandle handle, std::uint64_t bytes) override;
    bool ChannelGetInfo(EngineHandle handle, ChannelInfo& info) override;
    bool ChannelGetAttribute(EngineHandle handle, std::uint32_t attribute, float& value) override;
    bool ChannelSetAttribute(EngineHandle handle, std::uint32_t attribute, float value) override;
    bool ChannelGetTags(EngineHandle handle, SourceTags& tags) override;
    std::string AudioIdentity(const std::string& path) override;

    bool ChannelPlay(EngineHandle handle, bool restart) override;
    bool ChannelPause(EngineHandle handle) override;
    bool ChannelStop(EngineHandle handle) override;
    std::uint32_t ChannelIsActive(EngineHandle handle) override;
    std::int32_t ChannelGetData(EngineHandle handle, void* buffer, std::uint32_t length) override;

    EngineHandle EncodeStart(EngineHandle channel, const EncoderCommand& command, std::uint32_t flags) override;
    bool EncodeStop(EngineHandle handle) override;
    std::string EncodeGetMessage() override;

    std::vector<std::uint32_t> WMAEncodeGetRates(std::uint32_t freq, std::uint32_t chans, std::uint32_t flags) override;
    EngineHandle WMAEncodeOpenFile(std::uint32_t freq, std::uint32_t chans, std::uint32_t flags, std::uint32_t bitrate,
                                   const std::string& path) override;
    bool WMAEncodeSetTag(EngineHandle encoder, const std::string& tag, const std::string& value,
                         std::uint32_t form) override;
    bool WMAEncodeWrite(EngineHandle encoder, const void* buffer, std::uint32_t length) override;
    bool WMAEncodeClose(EngineHandle encoder) override;

    EngineHandle EncodeFileOpen(const EncodeSetup& setup, const ChannelInfo& pcm, const EncodeTarget& target) override;
    bool EncodeFileWrite(EngineHandle encoder, const void* buffer, std::uint32_t length) override;
    bool EncodeFileClose(EngineHandle encoder) override;

private:
    // An encoder behind a handle, used by one call at a time.
    template <typename Encoder> struct Slot {
        std::mutex mutex;
        std::unique_ptr<Encoder> encoder;
    };
    using WmaSlot = Slot<WmaEncoder>;
    using FileSlot = Slot<FileEncoder>;

    // Under m_mutex.
    EngineHandle newHandle();
    // The channel behind a handle; nullptr with EngineCode::Handle set when there is none.
    std::shared_ptr<EngineChannel> findChannel(EngineHandle handle);
    EngineHandle addChannel(std::unique_ptr<PcmSource> source, std::uint32_t flags);
    // A CD track's source ("<drive or cue sheet>/TrackNN.cda"); nullptr after failWith.
    std::unique_ptr<PcmSource> openTrack(const TrackPath& track, const FormatFamilies& families, DecodeOptions options);
    std::string soundFont() const;

    const std::vector<std::string> m_soundFonts;
    std::mutex m_mutex;
    bool m_initialized = false;
    std::uint32_t m_freq = 44100;
    std::unique_ptr<SdlOutput> m_output; // none for device 0 ("no sound")
    FormatFamilies m_families;
    int m_cdReadOffset = 0; // samples
    std::map<EngineHandle, std::shared_ptr<EngineChannel>> m_channels;
    std::map<EngineHandle, EngineHandle> m_encoderChannels; // encoder handle -> channel handle
    std::map<EngineHandle, std::shared_ptr<WmaSlot>> m_wmaEncoders;
    std::map<EngineHandle, std::shared_ptr<FileSlot>> m_fileEncoders;
    EngineHandle m_lastHandle = 0;
};

} // namespace tunevale
