#pragma once

#include "Engine.h"

#include <functional>
#include <string>

namespace tunevale::test
{

// The real engine, with a look-out called before the operations that mark the steps of start-up.
class ObservedEngine : public Engine
{
public:
    bool refuseWma = false; // stands for a system without a WMA encoder

    ObservedEngine(Engine& real, std::function<void(const std::string&)> before) : m_real(real), m_before(before) {}

    bool Init(int device, std::uint32_t freq, std::uint32_t flags) override
    {
        m_before("Init");
        return m_real.Init(device, freq, flags);
    }
    bool Free() override
    {
        m_before("Free");
        return m_real.Free();
    }
    EngineHandle PluginLoad(const std::string& file, std::uint32_t flags) override
    {
        m_before("PluginLoad " + file);
        return m_real.PluginLoad(file, flags);
    }
    EngineHandle WMAEncodeOpenFile(std::uint32_t freq, std::uint32_t chans, std::uint32_t flags, std::uint32_t bitrate,
                                   const std::string& path) override
    {
        m_before("WMAEncodeOpenFile");
        if (refuseWma)
            return 0;
        return m_real.WMAEncodeOpenFile(freq, chans, flags, bitrate, path);
    }

    int ErrorGetCode() override { return m_real.ErrorGetCode(); }
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
    std::vector<std::uint32_t> WMAEncodeGetRates(std::uint32_t freq, std::uint32_t chans, std::uint32_t flags) override
    {
        return m_real.WMAEncodeGetRates(freq, chans, flags);
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

private:
    Engine& m_real;
    std::function<void(const std::string&)> m_before;
};

} // namespace tunevale::test
