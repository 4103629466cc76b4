#pragma once

#include "DecodingEngine.h"
#include "EngineErrorText.h"
#include "EngineFactory.h"
#include "InitAudioEngine.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace tunevale::test
{

// Pulls a decode-only channel until it turns inactive, the way the converters do. A pull that
// returns 0 or fails while the channel still claims to be active fails the test.
inline std::string decodeAll(Engine& engine, EngineHandle handle, std::uint32_t chunk = 256 * 1024)
{
    std::string pcm;
    std::string buffer(chunk, '\0');
    while (engine.ChannelIsActive(handle) != ChannelState::Stopped) {
        const std::int32_t got = engine.ChannelGetData(handle, buffer.data(), chunk);
        if (got <= 0) {
            ADD_FAILURE() << "pull returned " << got << " on an active channel, code " << engine.ErrorGetCode();
            break;
        }
        pcm.append(buffer.data(), static_cast<std::size_t>(got));
    }
    return pcm;
}

// The raw PCM ffmpeg decodes from a file, in the given sample format ("s16le", "u8").
inline std::string ffmpegPcm(const std::filesystem::path& file, const std::string& format = "s16le")
{
    TempDir dir;
    const auto raw = dir / "pcm.raw";
    ffmpeg({"-i", file.string(), "-map", "0:a:0", "-f", format, raw.string()});
    return readFile(raw);
}

// A Standard MIDI File: 120 beats per minute, 480 ticks per beat; one note from 0 to 1 s and the
// end of the track at 2 s (bytes that a test can write without any tool).
inline std::string twoSecondMidi()
{
    const std::string track = std::string("\x00\xFF\x51\x03\x07\xA1\x20", 7) + // tempo 500000 us per beat
                              std::string("\x00\xC0\x00", 3) +                 // piano
                              std::string("\x00\x90\x3C\x64", 4) +             // note on, middle C
                              std::string("\x87\x40\x80\x3C\x40", 5) +         // 960 ticks later: note off
                              std::string("\x87\x40\xFF\x2F\x00", 5);          // 960 ticks later: end
    std::string smf = std::string("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xE0", 14) + "MTrk";
    const std::uint32_t size = static_cast<std::uint32_t>(track.size());
    smf += static_cast<char>(size >> 24);
    smf += static_cast<char>(size >> 16);
    smf += static_cast<char>(size >> 8);
    smf += static_cast<char>(size);
    return smf + track;
}

// A four-channel ProTracker module: one 64-row pattern at speed 6 and 125 BPM (7.68 s) playing a
// square-wave sample on the first row.
inline std::string squareWaveModule()
{
    std::string mod(20, '\0');
    mod.replace(0, 4, "test");
    const int sampleWords = 1000;
    for (int sample = 0; sample < 31; ++sample) {
        std::string header(30, '\0');
        if (sample == 0) {
            header.replace(0, 6, "square");
            header[22] = static_cast<char>(sampleWords >> 8);
            header[23] = static_cast<char>(sampleWords & 0xFF);
            header[25] = 64; // volume
            header[26] = 0;  // loop start
            header[27] = 0;
            header[28] = static_cast<char>(sampleWords >> 8); // loop over the whole sample
            header[29] = static_cast<char>(sampleWords & 0xFF);
        }
        mod += header;
    }
    mod += static_cast<char>(1); // song length
    mod += static_cast<char>(127);
    mod += std::string(128, '\0'); // order list: pattern 0
    mod += "M.K.";
    std::string pattern(64 * 4 * 4, '\0');
    // Row 0, channel 0: sample 1, period 428 (C-2).
    pattern[0] = static_cast<char>(0x01);
    pattern[1] = static_cast<char>(0xAC);
    pattern[2] = static_cast<char>(0x10);
    mod += pattern;
    std::string data(sampleWords * 2, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i / 16) % 2 ? 100 : -100);
    return mod + data;
}

} // namespace tunevale::test
