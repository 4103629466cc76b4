#pragma once

#include "ForwardingEngine.h"

#include <functional>
#include <string>

namespace tunevale::test
{

// The real engine, with a look-out called before the operations that mark the steps of start-up.
class ObservedEngine : public ForwardingEngine
{
public:
    bool refuseWma = false; // stands for a system without a WMA encoder

    ObservedEngine(Engine& real, std::function<void(const std::string&)> before)
        : ForwardingEngine(real), m_before(std::move(before))
    {
    }

    bool Init(int device, std::uint32_t freq, std::uint32_t flags) override
    {
        m_before("Init");
        return ForwardingEngine::Init(device, freq, flags);
    }
    bool Free() override
    {
        m_before("Free");
        return ForwardingEngine::Free();
    }
    EngineHandle PluginLoad(const std::string& file, std::uint32_t flags) override
    {
        m_before("PluginLoad " + file);
        return ForwardingEngine::PluginLoad(file, flags);
    }
    EngineHandle WMAEncodeOpenFile(std::uint32_t freq, std::uint32_t chans, std::uint32_t flags, std::uint32_t bitrate,
                                   const std::string& path) override
    {
        m_before("WMAEncodeOpenFile");
        if (refuseWma)
            return 0;
        return ForwardingEngine::WMAEncodeOpenFile(freq, chans, flags, bitrate, path);
    }

private:
    std::function<void(const std::string&)> m_before;
};

} // namespace tunevale::test
