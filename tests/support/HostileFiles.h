#pragma once

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

// Small files that an attacker or a damaged disk hands to Tunevale: playlists that name other
// files, sources that declare absurd lengths or rates, audio cut short. Each is made here, in the
// test's own folder.
namespace tunevale::test
{

// Runs work on its own thread and waits at most seconds for its result; nothing when it is still
// running then (the thread is left behind, so a call that hangs fails the test instead of the run).
template <typename Result> std::optional<Result> within(int seconds, std::function<Result()> work)
{
    auto task = std::make_shared<std::packaged_task<Result()>>(std::move(work));
    std::future<Result> result = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    if (result.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready)
        return std::nullopt;
    return result.get();
}

inline std::string bigEndianBytes(std::uint32_t value, int count)
{
    std::string bytes;
    for (int shift = 8 * (count - 1); shift >= 0; shift -= 8)
        bytes += static_cast<char>((value >> shift) & 0xFF);
    return bytes;
}

inline std::string littleEndianBytes(std::uint32_t value, int count)
{
    std::string bytes;
    for (int i = 0; i < count; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

// A format-0 Standard MIDI File with the given division and one track of the given events.
inline std::string midiFile(std::uint16_t division, const std::string& events)
{
    return "MThd" + bigEndianBytes(6, 4) + bigEndianBytes(0, 2) + bigEndianBytes(1, 2) + bigEndianBytes(division, 2) +
           "MTrk" + bigEndianBytes(static_cast<std::uint32_t>(events.size()), 4) + events;
}

// A MIDI variable-length number (up to 28 bits).
inline std::string midiNumber(std::uint32_t value)
{
    std::string bytes(1, static_cast<char>(value & 0x7F));
    while (value >>= 7)
        bytes.insert(bytes.begin(), static_cast<char>(0x80 | (value & 0x7F)));
    return bytes;
}

inline std::string midiTempo(std::uint32_t microsecondsPerBeat)
{
    return std::string("\x00\xFF\x51\x03", 4) + bigEndianBytes(microsecondsPerBeat, 3);
}

inline std::string midiEndAfter(std::uint32_t ticks)
{
    return midiNumber(ticks) + std::string("\xFF\x2F\x00", 3);
}

// 40 bytes that declare 143 years: the slowest tempo, one tick per beat, the longest delta time.
inline std::string centuriesLongMidi()
{
    return midiFile(1, midiTempo(0xFFFFFF) + std::string("\x00\x90\x3C\x64", 4) + midiEndAfter(0x0FFFFFFF));
}

// 60,000 of the longest delta times at the slowest tempo: a length beyond 64-bit sample counts.
inline std::string endlessMidi()
{
    std::string events = midiTempo(0xFFFFFF);
    for (int i = 0; i < 60000; ++i)
        events += midiNumber(0x0FFFFFFF) + std::string("\xFF\x01\x00", 3); // an empty text event
    return midiFile(1, events + midiEndAfter(0));
}

// A MIDI file of exactly that many seconds (one beat per second, one tick per beat).
inline std::string midiOfSeconds(std::uint32_t seconds)
{
    return midiFile(1, midiTempo(1000000) + std::string("\x00\x90\x3C\x64", 4) + midiEndAfter(seconds));
}

// A ProTracker module of 128 orders of one pattern whose every row, at speed 31 and 32 BPM, is
// held 16 times by a pattern delay: 38.75 s a row, 88 hours in all, in 3 KB.
inline std::string marathonModule()
{
    std::string mod(20, '\0');
    mod.replace(0, 8, "marathon");
    mod += std::string(31 * 30, '\0'); // no samples
    mod += static_cast<char>(128);     // song length
    mod += static_cast<char>(127);
    mod += std::string(128, '\0'); // every order plays pattern 0
    mod += "M.K.";
    for (int row = 0; row < 64; ++row) {
        mod += std::string("\x00\x00\x0F\x1F", 4); // speed 31
        mod += std::string("\x00\x00\x0F\x20", 4); // 32 beats per minute
        mod += std::string("\x00\x00\x0E\xEF", 4); // hold the row 15 more times
        mod += std::string(4, '\0');
    }
    return mod;
}

// A 16-bit PCM WAV header (44 bytes) that states dataBytes of data at rate and channels.
inline std::string wavHeader(std::uint32_t rate, std::uint16_t channels, std::uint32_t dataBytes)
{
    const std::uint32_t blockAlign = channels * 2u;
    return "RIFF" + littleEndianBytes(36 + dataBytes, 4) + "WAVEfmt " + littleEndianBytes(16, 4) +
           littleEndianBytes(1, 2) + littleEndianBytes(channels, 2) + littleEndianBytes(rate, 4) +
           littleEndianBytes(rate * blockAlign, 4) + littleEndianBytes(blockAlign, 2) + littleEndianBytes(16, 2) +
           "data" + littleEndianBytes(dataBytes, 4);
}

// A tone as 16-bit mono PCM bytes: seconds at rate.
inline std::string toneSamples(double seconds, std::uint32_t rate)
{
    std::string pcm;
    const auto count = static_cast<std::size_t>(seconds * rate);
    for (std::size_t i = 0; i < count; ++i)
        pcm += littleEndianBytes(static_cast<std::uint16_t>(static_cast<std::int16_t>((i % 40) * 400 - 8000)), 2);
    return pcm;
}

inline std::string randomBytes(std::size_t size, unsigned seed = 7)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (auto& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

// Text files that FFmpeg's playlist, manifest, subtitle and synthesiser formats read, each naming
// other files in dir: a FIFO nobody writes to (directly and through a link), a link to /dev/zero
// and a real WAV.
// Returns the files; their names end in .mp3, as an attacker would name them.
inline std::vector<std::filesystem::path> writePlaylists(const TempDir& dir)
{
    makeTone(dir / "real.wav", 2, 44100, 1);
    EXPECT_EQ(::mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir / "zero.wav");
    std::filesystem::create_symlink("pipe.wav", dir / "vobsub.sub"); // what the VobSub index opens
    const std::vector<std::pair<std::string, std::string>> playlists{
        {"concat-fifo.mp3", "ffconcat version 1.0\nfile pipe.wav\n"},
        {"concat-zero.mp3", "ffconcat version 1.0\nfile zero.wav\nduration 3\n"},
        {"concat-real.mp3", "ffconcat version 1.0\nfile real.wav\n"},
        {"hls-media.mp3", "#EXTM3U\n#EXT-X-TARGETDURATION:4\n#EXT-X-MEDIA-SEQUENCE:0\n#EXTINF:3.0,\nreal.wav\n"
                          "#EXTINF:3.0,\npipe.wav\n#EXT-X-ENDLIST\n"},
        {"hls-master.mp3", "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=64000\nhls-media.mp3\n"},
        {"dash.mp3", "<?xml version=\"1.0\"?>\n<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" type=\"static\" "
                     "profiles=\"urn:mpeg:dash:profile:isoff-on-demand:2011\" "
                     "mediaPresentationDuration=\"PT3S\"><Period><AdaptationSet mimeType=\"audio/wav\">"
                     "<Representation id=\"a\" bandwidth=\"64000\"><BaseURL>real.wav</BaseURL></Representation>"
                     "</AdaptationSet></Period></MPD>\n"},
        {"vobsub.mp3", "# VobSub index file, v7 (do not modify this line!)\nsize: 720x480\nid: en, index: 0\n"
                       "timestamp: 00:00:00:000, filepos: 000000000\n"},
        {"synth.mp3", "-SE\nalpha: 300+10/20\nNOW alpha\n+24:00:00 alpha\n"},
        {"subtitles.mp3", "1\n00:00:00,000 --> 00:00:02,000\nreal.wav\n\n2\n00:00:02,000 --> 00:00:04,000\nzero\n"},
    };
    std::vector<std::filesystem::path> files;
    for (const auto& [name, text] : playlists) {
        writeFile(dir / name, text);
        files.push_back(dir / name);
    }
    return files;
}

} // namespace tunevale::test

namespace tunevale::test
{

// A Vorbis comment list: vendor, count, then each comment with its length.
inline std::string vorbisCommentList(const std::vector<std::string>& comments, const std::string& vendor = "test")
{
    std::string list = littleEndianBytes(static_cast<std::uint32_t>(vendor.size()), 4) + vendor +
                       littleEndianBytes(static_cast<std::uint32_t>(comments.size()), 4);
    for (const auto& comment : comments)
        list += littleEndianBytes(static_cast<std::uint32_t>(comment.size()), 4) + comment;
    return list;
}

// The FLAC file at source with its VORBIS_COMMENT blocks replaced by one block for each list
// given, placed after STREAMINFO; the audio frames stay as they are.
inline void writeFlacWithComments(const std::filesystem::path& source, const std::filesystem::path& file,
                                  const std::vector<std::string>& lists)
{
    const std::string flac = readFile(source);
    ASSERT_EQ(flac.compare(0, 4, "fLaC"), 0);
    std::vector<std::pair<int, std::string>> blocks;
    std::size_t at = 4;
    for (bool last = false; !last;) {
        const auto header = reinterpret_cast<const unsigned char*>(flac.data() + at);
        last = header[0] & 0x80;
        const std::size_t length = (std::size_t(header[1]) << 16) | (std::size_t(header[2]) << 8) | header[3];
        if ((header[0] & 0x7F) != 4)
            blocks.emplace_back(header[0] & 0x7F, flac.substr(at + 4, length));
        at += 4 + length;
    }
    for (std::size_t i = 0; i < lists.size(); ++i)
        blocks.insert(blocks.begin() + 1 + static_cast<std::ptrdiff_t>(i), {4, lists[i]});
    std::string out = "fLaC";
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const bool last = i + 1 == blocks.size();
        out += static_cast<char>(blocks[i].first | (last ? 0x80 : 0));
        out += bigEndianBytes(static_cast<std::uint32_t>(blocks[i].second.size()), 3) + blocks[i].second;
    }
    writeFile(file, out + flac.substr(at));
}

// count comments named NAMEi=value (or all the same name, for the case where a dictionary appends
// to one value).
inline std::vector<std::string> manyComments(std::size_t count, const std::string& value = "v", bool sameName = false)
{
    std::vector<std::string> comments;
    comments.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        comments.push_back((sameName ? std::string("NOTE") : "NOTE" + std::to_string(i)) + "=" + value);
    return comments;
}

} // namespace tunevale::test
