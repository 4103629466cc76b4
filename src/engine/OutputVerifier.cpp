#include "OutputVerifier.h"

#include "Engine.h"
#include "FfmpegDecoder.h"

#include <vector>

namespace tunevale
{

int verifyOutput(int fd, const std::string& name, const EncodedPcm& expected)
{
    int error = EngineCode::Ok;
    auto input = FileInput::openDescriptor(fd, error);
    if (!input)
        return error;
    FormatFamilies every;
    every.set();
    const auto decoder = FfmpegDecoder::open(std::move(input), name, every, error, {.sourceResolution = true});
    if (!decoder)
        return EngineCode::VerifyFailed;
    const ChannelInfo info = decoder->info();
    if (info.freq != expected.freq || info.chans != expected.chans || info.flags != expected.flags)
        return EngineCode::VerifyFailed;

    PcmDigest digest;
    std::vector<std::uint8_t> buffer(256 * 1024);
    while (!decoder->finished()) {
        const std::size_t got = decoder->read(buffer.data(), buffer.size());
        if (got == 0 || digest.size() + got > expected.bytes)
            return EngineCode::VerifyFailed;
        digest.add(buffer.data(), got);
    }
    if (decoder->damage() != SourceDamage::None || digest.size() != expected.bytes || digest.value() != expected.digest)
        return EngineCode::VerifyFailed;
    return EngineCode::Ok;
}

} // namespace tunevale
