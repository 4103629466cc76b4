#pragma once

#include "FfmpegDecoder.h"
#include "TestSupport.h"
#include "cd/CueImage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace tunevale::test
{

// 16-bit stereo PCM of the given length: noise, so that a sample out of place changes every
// comparison and checksum, seeded so that each track differs.
inline std::string noisePcm(std::int64_t samples, unsigned seed)
{
    std::mt19937 random(seed);
    std::string pcm(static_cast<std::size_t>(samples) * 4, '\0');
    for (auto& byte : pcm)
        byte = static_cast<char>(random() & 0xFF);
    return pcm;
}

inline std::string littleEndian(std::uint32_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

// A 44.1 kHz 16-bit stereo WAV file holding pcm.
inline std::filesystem::path writeWav(const std::filesystem::path& file, const std::string& pcm)
{
    const auto size = static_cast<std::uint32_t>(pcm.size());
    writeFile(file, "RIFF" + littleEndian(36 + size, 4) + "WAVEfmt " + littleEndian(16, 4) + littleEndian(1, 2) +
                        littleEndian(2, 2) + littleEndian(44100, 4) + littleEndian(44100 * 4, 4) + littleEndian(4, 2) +
                        littleEndian(16, 2) + "data" + littleEndian(size, 4) + pcm);
    return file;
}

// The cue sheet time of a sample position on a sector boundary.
inline std::string cueTime(std::int64_t samples)
{
    const std::int64_t frames = samples / 588;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(frames / 75 / 60),
                  static_cast<long long>(frames / 75 % 60), static_cast<long long>(frames % 75));
    return text;
}

// Opens files as the engine does, with every format family on.
inline PcmFileOpener decoderOpener()
{
    return [](const std::string& path, int& errorCode) -> std::unique_ptr<PcmSource> {
        FormatFamilies all;
        all.set();
        return FfmpegDecoder::open(path, all, errorCode);
    };
}

// Everything a source delivers, pulled in chunks of the given size.
inline std::string readAll(PcmSource& source, std::size_t chunk = 65536)
{
    std::string pcm;
    std::string buffer(chunk, '\0');
    for (int guard = 0; !source.finished() && guard < 1000000; ++guard) {
        const std::size_t got = source.read(reinterpret_cast<std::uint8_t*>(buffer.data()), chunk);
        if (got == 0) {
            ADD_FAILURE() << "read gave nothing before the source finished";
            break;
        }
        pcm.append(buffer, 0, got);
    }
    return pcm;
}

// The PCM of a WAV file written by writeWav (or any canonical 44-byte-header WAV).
inline std::string wavPcm(const std::filesystem::path& file)
{
    return readFile(file).substr(44);
}

} // namespace tunevale::test
