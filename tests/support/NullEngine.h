#pragma once

#include "Engine.h"

namespace tunevale::test
{

// An engine whose every operation fails the way the interface reports failure, leaving the error
// code set with setErrorCode(); tests derive from it and override only the calls they script.
class NullEngine : public Engine
{
public:
    explicit NullEngine(int errorCode = EngineCode::Unknown) : m_errorCode(errorCode) {}

    void setErrorCode(int code) { m_errorCode = code; }
    int ErrorGetCode() override { return m_errorCode; }

    bool Init(int, std::uint32_t, std::uint32_t) override { return false; }
    bool Free() override { return false; }
    EngineHandle PluginLoad(const std::string&, std::uint32_t) override { return 0; }
    bool SetConfig(std::uint32_t, std::uint32_t) override { return false; }
    EngineHandle StreamCreateFile(const std::string&, std::uint64_t, std::uint64_t, std::uint32_t) override
    {
        return 0;
    }
    EngineHandle MusicLoad(const std::string&, std::uint64_t, std::uint32_t, std::uint32_t, std::uint32_t) override
    {
        return 0;
    }
    bool StreamFree(EngineHandle) override { return false; }
    std::uint64_t ChannelGetLength(EngineHandle, std::uint32_t) override { return EngineFailure64; }
    std::uint64_t ChannelGetPosition(EngineHandle, std::uint32_t) override { return EngineFailure64; }
    double ChannelBytes2Seconds(EngineHandle, std::uint64_t) override { return -1; }
    bool ChannelGetInfo(EngineHandle, ChannelInfo&) override { return false; }
    bool ChannelGetAttribute(EngineHandle, std::uint32_t, float&) override { return false; }
    bool ChannelGetTags(EngineHandle, SourceTags&) override { return false; }
    bool ChannelPlay(EngineHandle, bool) override { return false; }
    bool ChannelPause(EngineHandle) override { return false; }
    bool ChannelStop(EngineHandle) override { return false; }
    std::uint32_t ChannelIsActive(EngineHandle) override { return ChannelState::Stopped; }
    std::int32_t ChannelGetData(EngineHandle, void*, std::uint32_t) override { return -1; }
    EngineHandle EncodeStart(EngineHandle, const EncoderCommand&, std::uint32_t) override { return 0; }
    bool EncodeStop(EngineHandle) override { return false; }
    std::vector<std::uint32_t> WMAEncodeGetRates(std::uint32_t, std::uint32_t, std::uint32_t) override { return {}; }
    EngineHandle WMAEncodeOpenFile(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                   const std::string&) override
    {
        return 0;
    }
    bool WMAEncodeSetTag(EngineHandle, const std::string&, const std::string&, std::uint32_t) override { return false; }
    bool WMAEncodeWrite(EngineHandle, const void*, std::uint32_t) override { return false; }
    bool WMAEncodeClose(EngineHandle) override { return false; }
    EngineHandle EncodeFileOpen(const EncodeSetup&, const ChannelInfo&, const EncodeTarget&) override { return 0; }
    bool EncodeFileWrite(EngineHandle, const void*, std::uint32_t) override { return false; }
    bool EncodeFileClose(EngineHandle) override { return false; }

private:
    int m_errorCode;
};

} // namespace tunevale::test
