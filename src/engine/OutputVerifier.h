#pragma once

#include "PcmDigest.h"

#include <cstdint>
#include <string>

namespace tunevale
{

// What an encoder was given to store: the PCM's format and its digest.
struct EncodedPcm {
    std::uint32_t freq = 0;
    std::uint32_t chans = 0;
    std::uint32_t flags = 0; // StreamFlag sample flags
    std::uint64_t bytes = 0;
    PcmDigest::Value digest{};
};

// Decodes the finished file behind fd (read from its start; probed as a file named name) with the
// engine's decoder at the source's resolution and compares it with expected: EngineCode::Ok when
// it holds exactly that PCM, VerifyFailed when it decodes to anything else or not at all.
int verifyOutput(int fd, const std::string& name, const EncodedPcm& expected);

} // namespace tunevale
