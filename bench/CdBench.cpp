// Speed of the CD and cue sheet roads.
//
// 1. Splits a 60-minute FLAC + cue album (15 tracks, generated) into one WAV per track with the
//    engine's cue road (FLAC decoded, each track reached by seeking) and with `shntool split`,
//    and prints both wall-clock times (best of two).
// 2. Converts the same album with `tunevale-cli convert`, one job per core, to WAV, to MP3 (lame,
//    128 kbit/s CBR) and to FLAC (level 5), beside the `ffmpeg` program cutting the same ranges as
//    many at a time (libmp3lame at 128 kbit/s and LAME's quality 4, its FLAC encoder at level 5)
//    and, for WAV and FLAC, `shntool split`; prints the best wall time and the median processor
//    time (children included) of two rounds each, which is the fair figure on a busy machine. The
//    run measures no loudness and looks nothing up, as the references do not.
// 3. Reads the tracks of a 10-minute raw CD image (.bin/.cue) through the drive road (libcdio's
//    image driver and paranoia in secure mode) and with libcdio's `cd-paranoia` program, which
//    reads images too (Xiph's `cdparanoia` opens only real drives), and prints the time per track.
//
// Usage: cd_bench

#include "BenchSupport.h"
#include "BenchTiming.h"
#include "FfmpegDecoder.h"
#include "cd/CdTrackReader.h"
#include "cd/CueImage.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace
{

using namespace tunevale;
namespace fs = std::filesystem;

double seconds(const std::function<bool()>& work, bool& ok)
{
    const auto start = std::chrono::steady_clock::now();
    ok = work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double best(int runs, const std::function<bool()>& work, bool& ok)
{
    double fastest = 1e9;
    ok = true;
    for (int i = 0; i < runs; ++i) {
        bool done = false;
        fastest = std::min(fastest, seconds(work, done));
        ok = ok && done;
    }
    return fastest;
}

std::string cueTime(int frames)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", frames / 75 / 60, frames / 75 % 60, frames % 75);
    return text;
}

std::string littleEndian(std::uint32_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

// Writes the source's PCM to a WAV file as it is decoded.
bool writeWav(const fs::path& file, PcmSource& source)
{
    const auto size = static_cast<std::uint32_t>(source.length());
    std::ofstream out(file, std::ios::binary);
    out << "RIFF" << littleEndian(36 + size, 4) << "WAVEfmt " << littleEndian(16, 4) << littleEndian(1, 2)
        << littleEndian(2, 2) << littleEndian(44100, 4) << littleEndian(44100 * 4, 4) << littleEndian(4, 2)
        << littleEndian(16, 2) << "data" << littleEndian(size, 4);
    std::string buffer(256 * 1024, '\0');
    while (!source.finished()) {
        const std::size_t got = source.read(reinterpret_cast<std::uint8_t*>(buffer.data()), buffer.size());
        if (got == 0)
            break;
        out.write(buffer.data(), static_cast<std::streamsize>(got));
    }
    return static_cast<bool>(out);
}

bool splitWithEngine(const fs::path& cue, const fs::path& out)
{
    const PcmFileOpener opener = [](const std::string& path, int& error) -> std::unique_ptr<PcmSource> {
        FormatFamilies all;
        all.set();
        return FfmpegDecoder::open(path, all, error);
    };
    int error = 0;
    std::string message;
    const auto image = CueImage::open(cue.string(), opener, error, message);
    if (!image)
        return false;
    for (const CueTrackRange& range : image->tracks()) {
        auto track = image->openTrack(range.number, error);
        char name[32];
        std::snprintf(name, sizeof name, "track%02d.wav", range.number);
        if (!track || !writeWav(out / name, *track))
            return false;
    }
    return true;
}

bool readDriveTrack(const fs::path& cue, int number)
{
    int error = 0;
    std::string message;
    auto reader = CdTrackReader::open(cue.string(), number, 0, error, message);
    if (!reader)
        return false;
    std::string buffer(256 * 1024, '\0');
    while (!reader->finished())
        if (reader->read(reinterpret_cast<std::uint8_t*>(buffer.data()), buffer.size()) == 0)
            break;
    return reader->unreadableSectors().empty();
}

} // namespace

int main()
{
    char pattern[] = "/tmp/tunevale-cd-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const fs::path dir = pattern;

    // 1. The album: a chord over quiet pink noise, 60 minutes, 15 tracks of 4 minutes.
    const int tracks = 15;
    if (!bench::runProgram({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                            "sine=frequency=220:sample_rate=44100:duration=3600", "-f", "lavfi", "-i",
                            "anoisesrc=color=pink:amplitude=0.05:sample_rate=44100:duration=3600", "-filter_complex",
                            "[0][1]amix=inputs=2,pan=stereo|c0=c0|c1=0.8*c0", "-c:a", "flac", "-sample_fmt", "s16",
                            (dir / "album.flac").string()})) {
        std::fprintf(stderr, "cannot make the album\n");
        return 1;
    }
    std::string cue = "FILE \"album.flac\" WAVE\n";
    for (int i = 0; i < tracks; ++i) {
        char header[32];
        std::snprintf(header, sizeof header, "  TRACK %02d AUDIO\n", i + 1);
        cue += header;
        cue += "    INDEX 01 " + cueTime(i * 4 * 60 * 75 + (i % 3) * 37) + "\n";
    }
    std::ofstream(dir / "album.cue") << cue;
    fs::create_directory(dir / "ours");
    fs::create_directory(dir / "shntool");
    bool ok = false;
    const double ours = best(
        2, [&] { return splitWithEngine(dir / "album.cue", dir / "ours"); }, ok);
    const bool oursOk = ok;
    const double theirs = best(
        2,
        [&] {
            return bench::runProgram({"shntool", "split", "-q", "-O", "always", "-f", (dir / "album.cue").string(),
                                      "-d", (dir / "shntool").string(), "-o", "wav", (dir / "album.flac").string()},
                                     true);
        },
        ok);
    std::printf("60-minute FLAC + cue, 15 tracks to WAV: engine %.2f s%s, shntool split %.2f s%s, ratio %.2f\n", ours,
                oursOk ? "" : " (FAILED)", theirs, ok ? "" : " (FAILED)", theirs / ours);

    // 2. The album through the command line, one job per core, beside ffmpeg cutting the same ranges
    //    as many at a time and shntool splitting it.
    const int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const std::string cli = (fs::read_symlink("/proc/self/exe").parent_path() / "tunevale-cli").string();
    for (const char* folder : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
        setenv(folder, (dir / "home").c_str(), 1);
    std::vector<std::pair<double, double>> ranges; // start and length in seconds
    for (int i = 0; i < tracks; ++i) {
        const double start = (i * 4 * 60 * 75 + (i % 3) * 37) / 75.0;
        const double end = i + 1 < tracks ? ((i + 1) * 4 * 60 * 75 + ((i + 1) % 3) * 37) / 75.0 : 3600.0;
        ranges.emplace_back(start, end - start);
    }
    const auto ffmpegCuts = [&](const std::vector<std::string>& codec, const char* extension) {
        bool allCut = true;
        for (int i = 0; i < tracks; i += jobs) {
            std::vector<pid_t> running;
            for (int j = i; j < std::min(i + jobs, tracks); ++j) {
                std::vector<std::string> argv{"ffmpeg", "-v",
                                              "error",  "-y",
                                              "-ss",    std::to_string(ranges[j].first),
                                              "-t",     std::to_string(ranges[j].second),
                                              "-i",     (dir / "album.flac").string()};
                argv.insert(argv.end(), codec.begin(), codec.end());
                argv.push_back((dir / "ffmpeg" / ("track" + std::to_string(j) + extension)).string());
                running.push_back(bench::startProgram(argv, true));
            }
            for (const pid_t pid : running)
                allCut = bench::waitForProgram(pid) && allCut;
        }
        return allCut;
    };
    fs::create_directory(dir / "ffmpeg");
    struct Output {
        const char* format;
        const char* what;
        std::vector<std::string> cliOptions;
        std::vector<std::string> ffmpegCodec;
        const char* shntoolFormat; // none: shntool does not write it
    };
    const std::vector<Output> outputs{
        {"wav", "WAV", {}, {}, "wav"},
        // LAME's algorithm at -q 4 on both sides: what Tunevale's default quality gives lame, where
        // ffmpeg alone would ask the quicker 5.
        {"mp3",
         "MP3 128 kbit/s",
         {"--mp3-mode", "cbr", "--bitrate", "128"},
         {"-c:a", "libmp3lame", "-b:a", "128k", "-compression_level", "4"},
         nullptr},
        // Both at the flac program's default level, 5.
        {"flac", "FLAC level 5", {"--flac-level", "5"}, {"-c:a", "flac", "-compression_level", "5"}, "flac"},
    };
    for (const Output& output : outputs) {
        std::vector<std::string> argv{cli,  "convert",     "-q",          "-j",     std::to_string(jobs),
                                      "-f", output.format, "--if-exists", "replace"};
        // Like for like: neither reference measures loudness nor asks MusicBrainz.
        argv.insert(argv.end(), {"--no-lookup", "--no-replaygain"});
        argv.insert(argv.end(), output.cliOptions.begin(), output.cliOptions.end());
        argv.insert(argv.end(), {"-o", (dir / "cli").string(), (dir / "album.cue").string()});
        const auto cliRun = [&] { return bench::runProgram(argv, true); };
        const std::string extension = std::string(".") + output.format;
        const std::string title = std::string("60-minute FLAC + cue, 15 tracks to ") + output.what + ", " +
                                  std::to_string(jobs) + " jobs at once: tunevale-cli against ";
        bench::compare((title + "the ffmpeg program cutting the ranges").c_str(), 2, 1.0, cliRun,
                       [&] { return ffmpegCuts(output.ffmpegCodec, extension.c_str()); });
        if (output.shntoolFormat)
            bench::compare((title + "shntool split").c_str(), 2, 1.0, cliRun, [&] {
                return bench::runProgram({"shntool", "split", "-q", "-O", "always", "-f", (dir / "album.cue").string(),
                                          "-d", (dir / "shntool").string(), "-o", output.shntoolFormat,
                                          (dir / "album.flac").string()},
                                         true);
            });
    }

    // 3. A raw CD image of 10 minutes in 5 tracks of 2 minutes.
    const int imageTracks = 5;
    const std::int64_t trackBytes = 2 * 60 * 75 * 2352;
    {
        std::mt19937 random(1);
        std::ofstream bin(dir / "image.bin", std::ios::binary);
        std::string sector(2352, '\0');
        for (std::int64_t i = 0; i < imageTracks * trackBytes / 2352; ++i) {
            for (auto& byte : sector)
                byte = static_cast<char>(random() & 0xFF);
            bin << sector;
        }
        std::string sheet = "FILE \"image.bin\" BINARY\n";
        for (int i = 0; i < imageTracks; ++i)
            sheet += "  TRACK 0" + std::to_string(i + 1) + " AUDIO\n    INDEX 01 " + cueTime(i * 2 * 60 * 75) + "\n";
        std::ofstream(dir / "image.cue") << sheet;
    }
    double ourTotal = 0;
    double theirTotal = 0;
    bool driveOk = true;
    bool paranoiaOk = true;
    for (int track = 1; track <= imageTracks; ++track) {
        ourTotal += best(
            1, [&] { return readDriveTrack(dir / "image.cue", track); }, ok);
        driveOk = driveOk && ok;
        theirTotal += best(
            1,
            [&] {
                return bench::runProgram({"cd-paranoia", "-q", "-d", (dir / "image.cue").string(),
                                          std::to_string(track), (dir / "paranoia.wav").string()},
                                         true);
            },
            ok);
        paranoiaOk = paranoiaOk && ok;
    }
    std::printf("CD image, 5 tracks of 2 minutes, secure reading: drive road %.2f s per track%s, cd-paranoia %.2f s "
                "per track%s, ratio %.2f\n",
                ourTotal / imageTracks, driveOk ? "" : " (FAILED)", theirTotal / imageTracks,
                paranoiaOk ? "" : " (FAILED)", theirTotal / ourTotal);
    fs::remove_all(dir);
    return oursOk && driveOk ? 0 : 1;
}
