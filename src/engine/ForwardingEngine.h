#pragma once

#include "Engine.h"

namespace tunevale
{

// Passes every call to a real engine; derived engines change a few calls (tests make one fail).
class ForwardingEngine : public Engine
{
public:
    explicit ForwardingEngine(Engine& real) : m_real(real) {}

    bool Init(int device, std::uint32_t freq, std::uint32_t flags) override { return m_real.Init(device, freq, flags); }
    bool Free() override { return m_real.Free(); }
    EngineHandle PluginLoad(const std::string& file, std::uint32_t flags) override
    {
        return m_real.PluginLoad(file, flags);
    }
    int ErrorGetCode() override { return m_real.ErrorGetCode(); }
    std::string ErrorGetMessage() override { return m_real.ErrorGetMessage(); }
    bool SetConfig(std::uint32_t option, std::uint32_t value) override { return m_real.SetConfig(option, value); }
    EngineHandle StreamCreateFile(const std::string& path, std::uint64_t offset, std::uint64_t length,
                                  std::uint32_t flags) override
    {
        return m_real.StreamCreateFile(path, offset, length, flags);
    }
    EngineHandle MusicLoad(const std::string& path, std::uint64_t offset, std::uint32_t length, std::uint32_t flags,
                           std::uint32_t freq) override
    {
        return m_real.MusicLoad(path, offset, length, flags, freq);
    }
    bool StreamFree(EngineHandle handle) override { return m_real.StreamFree(handle); }
    std::uint64_t ChannelGetLength(EngineHandle handle, std::uint32_t mode) override
    {
        return m_real.ChannelGetLength(handle, mode);
    }
    std::uint64_t ChannelGetPosition(EngineHandle handle, std::uint32_t mode) override
    {
        return m_real.ChannelGetPosition(handle, mode);
    }
    double ChannelBytes2Seconds(EngineHandle handle, std::uint64_t bytes) override
    {
        return m_real.ChannelBytes2Seconds(handle, bytes);
    }
    bool ChannelGetInfo(EngineHandle handle, ChannelInfo& info) override { return m_real.ChannelGetInfo(handle, info); }
    bool ChannelGetAttribute(EngineHandle handle, std::uint32_t attribute, float& value) override
    {
        return m_real.ChannelGetAttribute(handle, attribute, value);
    }
    bool ChannelSetAttribute(EngineHandle handle, std::uint32_t attribute, float value) override
    {
        return m_real.ChannelSetAttribute(handle, attribute, value);
    }
    bool ChannelGetTags(EngineHandle handle, SourceTags& tags) override { return m_real.ChannelGetTags(handle, tags); }
    std::string AudioIdentity(const std::string& path) override { return m_real.AudioIdentity(path); }
    bool ChannelPlay(EngineHandle handle, bool restart) override { return m_real.ChannelPlay(handle, restart); }
    bool ChannelPause(EngineHandle handle) override { return m_real.ChannelPause(handle); }
    bool ChannelStop(EngineHandle handle) override { return m_real.ChannelStop(handle); }
    std::uint32_t ChannelIsActive(EngineHandle handle) override { return m_real.ChannelIsActive(handle); }
    std::int32_t ChannelGetData(EngineHandle handle, void* buffer, std::uint32_t length) override
    {
        return m_real.ChannelGetData(handle, buffer, length);
    }
    EngineHandle EncodeStart(EngineHandle channel, const EncoderCommand& command, std::uint32_t flags) override
    {
        return m_real.EncodeStart(channel, command, flags);
    }
    bool EncodeStop(EngineHandle handle) override { return m_real.EncodeStop(handle); }
    std::string EncodeGetMessage() override { return m_real.EncodeGetMessage(); }
    std::vector<std::uint32_t> WMAEncodeGetRates(std::uint32_t freq, std::uint32_t chans, std::uint32_t flags) override
    {
        return m_real.WMAEncodeGetRates(freq, chans, flags);
    }
    EngineHandle WMAEncodeOpenFile(std::uint32_t freq, std::uint32_t chans, std::uint32_t flags, std::uint32_t bitrate,
                                   const std::string& path) override
    {
        return m_real.WMAEncodeOpenFile(freq, chans, flags, bitrate, path);
    }
    bool WMAEncodeSetTag(EngineHandle encoder, const std::string& tag, const std::string& value,
                         std::uint32_t form) override
    {
        return m_real.WMAEncodeSetTag(encoder, tag, value, form);
    }
    bool WMAEncodeWrite(EngineHandle encoder, const void* buffer, std::uint32_t length) override
    {
        return m_real.WMAEncodeWrite(encoder, buffer, length);
    }
    bool WMAEncodeClose(EngineHandle encoder) override { return m_real.WMAEncodeClose(encoder); }
    EngineHandle EncodeFileOpen(const EncodeSetup& setup, const ChannelInfo& pcm, const EncodeTarget& target) override
    {
        return m_real.EncodeFileOpen(setup, pcm, target);
    }
    bool EncodeFileWrite(EngineHandle encoder, const void* buffer, std::uint32_t length) override
    {
        return m_real.EncodeFileWrite(encoder, buffer, length);
    }
    bool EncodeFileClose(EngineHandle encoder) override { return m_real.EncodeFileClose(encoder); }

protected:
    Engine& m_real;
};

} // namespace tunevale
