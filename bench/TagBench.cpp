// Times carrying tags over for a one-minute FLAC converted to MP3: reading the source's tags and
// cover through the engine plus writing them into the MP3, against lame encoding that minute.
// The goal is under 2 %.
//
//   tag_bench
//
// The source (pink noise, the test set's Unicode tags, a 600x600 JPEG cover) is made with ffmpeg
// in a temporary folder.

#include "BenchSupport.h"
#include "Engine.h"
#include "EngineFactory.h"
#include "InitAudioEngine.h"
#include "OutputTags.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace tunevale;
using namespace tunevale::bench;
namespace fs = std::filesystem;

namespace
{

constexpr int Rounds = 7;

// The best wall time of the rounds: a busy machine only ever adds to it. prepare is not timed.
double bestSeconds(const std::function<void()>& prepare, const std::function<bool()>& work)
{
    double best = 1e9;
    for (int round = 0; round < Rounds; ++round) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        if (!work()) {
            std::fprintf(stderr, "tag_bench: a step failed\n");
            std::exit(1);
        }
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

} // namespace

int main()
{
    char folderTemplate[] = "/tmp/tag-bench-XXXXXX";
    if (!::mkdtemp(folderTemplate))
        return 1;
    const fs::path folder = folderTemplate;
    const std::string cover = (folder / "cover.jpg").string(), source = (folder / "source.flac").string();
    const std::string wav = (folder / "source.wav").string(), untagged = (folder / "untagged.mp3").string();
    const std::string out = (folder / "out.mp3").string();
    const bool made = runProgram({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                  "nullsrc=s=600x600,geq=random(1)*255:128:128", "-frames:v", "1", cover}) &&
                      runProgram({"ffmpeg",
                                  "-nostdin",
                                  "-v",
                                  "error",
                                  "-y",
                                  "-f",
                                  "lavfi",
                                  "-i",
                                  "anoisesrc=color=pink:amplitude=0.2:sample_rate=44100:duration=60",
                                  "-i",
                                  cover,
                                  "-map",
                                  "0",
                                  "-map",
                                  "1",
                                  "-c:v",
                                  "copy",
                                  "-disposition:v",
                                  "attached_pic",
                                  "-metadata:s:v",
                                  "comment=Cover (front)",
                                  "-ac",
                                  "2",
                                  "-metadata",
                                  "title=Заголовок 标题 🎵",
                                  "-metadata",
                                  "artist=Артист 艺术家",
                                  "-metadata",
                                  "album=Альбом アルバム",
                                  "-metadata",
                                  "track=3/12",
                                  "-metadata",
                                  "date=2021-05-03",
                                  "-metadata",
                                  "genre=Жанр",
                                  "-metadata",
                                  "comment=Комментарий 评论 😀",
                                  "-c:a",
                                  "flac",
                                  source}) &&
                      runProgram({"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", source, "-map", "0:a", wav});
    if (!made) {
        std::fprintf(stderr, "tag_bench: ffmpeg could not make the source\n");
        return 1;
    }

    const std::vector<std::string> lame{"lame", "--silent", "--cbr", "-b", "128", "-m", "j", "-q", "4", wav, untagged};
    const double encoding = bestSeconds([] {}, [&] { return runProgram(lame); });

    const auto engine = makeEngine();
    engine->Init(0, 44100, 0);
    for (const char* plugin : enginePluginNames())
        engine->PluginLoad(plugin, 0);
    std::size_t coverBytes = 0;
    const double tagging = bestSeconds(
        [&] { fs::copy_file(untagged, out, fs::copy_options::overwrite_existing); },
        [&] {
            const EngineHandle stream = engine->StreamCreateFile(source, 0, 0, StreamFlag::DecodeOnly);
            SourceTags tags;
            const bool read = stream && engine->ChannelGetTags(stream, tags);
            engine->StreamFree(stream);
            coverBytes = tags.frontCover.bytes.size();
            return read && WriteOutputTags(out, OutputTagFormat::Mp3, tags).status == TagWriteStatus::Written;
        });
    // Opening the stream is part of every conversion anyway; this is the tags' own share.
    const double opening = bestSeconds([] {},
                                       [&] {
                                           const EngineHandle stream =
                                               engine->StreamCreateFile(source, 0, 0, StreamFlag::DecodeOnly);
                                           engine->StreamFree(stream);
                                           return stream != 0;
                                       });
    engine->Free();
    fs::remove_all(folder);

    std::printf("one minute of FLAC to MP3 (cover %zu bytes), best of %d:\n"
                "  lame encoding:          %8.2f ms\n"
                "  open + read + write:    %8.2f ms (%.2f %%)\n"
                "  read + write tags only: %8.2f ms (%.2f %%, goal < 2 %%)\n",
                coverBytes, Rounds, encoding * 1e3, tagging * 1e3, 100 * tagging / encoding, (tagging - opening) * 1e3,
                100 * (tagging - opening) / encoding);
    return 0;
}
