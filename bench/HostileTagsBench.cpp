// Times adding sources whose tags are built to stall a demuxer (FFmpeg's comment dictionary is
// quadratic): the processor time of opening each through the engine, reading its tags and
// measuring its length, as adding it to the list does. The goal is under 1 s for every file.
//
//   hostile_tags_bench
//
// The sources are made in a temporary folder: a one-second tone by ffmpeg, its FLAC comment block
// written here, the Ogg comments by vorbiscomment.

#include "BenchSupport.h"
#include "Engine.h"
#include "EngineFactory.h"
#include "InitAudioEngine.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace tunevale;
using namespace tunevale::bench;
namespace fs = std::filesystem;

namespace
{

std::string littleEndian(std::uint32_t value)
{
    return {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
            static_cast<char>(value >> 24)};
}

std::string commentList(const std::vector<std::string>& comments)
{
    std::string list = littleEndian(4) + "test" + littleEndian(static_cast<std::uint32_t>(comments.size()));
    for (const auto& comment : comments)
        list += littleEndian(static_cast<std::uint32_t>(comment.size())) + comment;
    return list;
}

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The FLAC at source with one comment block, placed after STREAMINFO (which ffmpeg writes first
// and alone before its other blocks).
void writeFlac(const fs::path& source, const fs::path& file, const std::string& list)
{
    const std::string flac = readAll(source);
    std::size_t at = 4;
    std::string blocks;
    for (bool last = false; !last;) {
        const auto header = reinterpret_cast<const unsigned char*>(flac.data() + at);
        last = header[0] & 0x80;
        const std::size_t length = (std::size_t(header[1]) << 16) | (std::size_t(header[2]) << 8) | header[3];
        if ((header[0] & 0x7F) != 4)
            blocks += static_cast<char>(header[0] & 0x7F) + flac.substr(at + 1, 3 + length);
        at += 4 + length;
    }
    const std::string size{static_cast<char>(list.size() >> 16), static_cast<char>(list.size() >> 8),
                           static_cast<char>(list.size())};
    const std::string streamInfo = blocks.substr(0, 38);
    std::string rest = blocks.substr(38);
    std::string out = "fLaC" + streamInfo + static_cast<char>(4) + size + list + rest;
    // The last block carries the flag.
    std::size_t lastHeader = 4, walk = 4;
    while (walk < out.size()) {
        lastHeader = walk;
        const auto header = reinterpret_cast<const unsigned char*>(out.data() + walk);
        walk += 4 + ((std::size_t(header[1]) << 16) | (std::size_t(header[2]) << 8) | header[3]);
    }
    out[lastHeader] = static_cast<char>(out[lastHeader] | 0x80);
    std::ofstream(file, std::ios::binary) << out << flac.substr(at);
}

std::vector<std::string> comments(std::size_t count, const std::string& value, bool sameName)
{
    std::vector<std::string> list;
    for (std::size_t i = 0; i < count; ++i)
        list.push_back((sameName ? std::string("NOTE") : "NOTE" + std::to_string(i)) + "=" + value);
    return list;
}

double processorSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace

int main()
{
    const fs::path dir = fs::temp_directory_path() / ("hostile-tags-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path flac = dir / "tone.flac", ogg = dir / "tone.ogg";
    for (const auto& [file, codec] : {std::pair{flac, "flac"}, std::pair{ogg, "libvorbis"}})
        if (!runProgram(
                {"ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "sine=d=1", "-c:a", codec, file.string()},
                true))
            return 1;
    writeFlac(flac, dir / "200k-comments.flac", commentList(comments(200000, "v", false)));
    writeFlac(flac, dir / "16MB-comment.flac", commentList({"COMMENT=" + std::string((1 << 24) - 100, 'x')}));
    writeFlac(flac, dir / "4000-same-name.flac", commentList(comments(4000, std::string(4000, 'x'), true)));
    {
        std::ofstream tags(dir / "tags.txt");
        for (int i = 0; i < 100000; ++i)
            tags << "NOTE" << i << "=v\n";
    }
    runProgram(
        {"vorbiscomment", "-w", "-c", (dir / "tags.txt").string(), ogg.string(), (dir / "100k-comments.ogg").string()},
        true);

    auto engine = makeEngine();
    engine->Init(0, 44100, 0);
    for (const char* plugin : enginePluginNames())
        engine->PluginLoad(plugin, 0);
    bool allWithin = true;
    std::printf("%-24s %12s\n", "source", "CPU seconds");
    for (const char* name : {"200k-comments.flac", "16MB-comment.flac", "4000-same-name.flac", "100k-comments.ogg"}) {
        const double start = processorSeconds();
        const EngineHandle stream = engine->StreamCreateFile((dir / name).string(), 0, 0, StreamFlag::DecodeOnly);
        SourceTags tags;
        engine->ChannelGetTags(stream, tags);
        engine->ChannelGetLength(stream, 0);
        engine->StreamFree(stream);
        const double seconds = processorSeconds() - start;
        allWithin = allWithin && stream != 0 && seconds < 1.0;
        std::printf("%-24s %12.3f%s\n", name, seconds, stream ? "" : "  (did not open)");
    }
    engine->Free();
    fs::remove_all(dir);
    std::printf("goal: every file under 1 s: %s\n", allWithin ? "met" : "missed");
    return allWithin ? 0 : 1;
}
