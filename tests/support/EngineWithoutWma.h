#pragma once

#include "ForwardingEngine.h"

#include <string>
#include <vector>

namespace tunevale::test
{

// The real engine without a WMA encoder, as on a system whose FFmpeg lacks one; records each
// attempt to open one.
class EngineWithoutWma : public ForwardingEngine
{
public:
    using ForwardingEngine::ForwardingEngine;
    EngineHandle WMAEncodeOpenFile(std::uint32_t freq, std::uint32_t chans, std::uint32_t flags, std::uint32_t bitrate,
                                   const std::string& path) override
    {
        ++opens;
        args = {freq, chans, flags, bitrate};
        this->path = path;
        return 0;
    }
    int opens = 0;
    std::vector<std::uint32_t> args;
    std::string path;
};

} // namespace tunevale::test
