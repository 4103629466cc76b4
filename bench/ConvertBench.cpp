// Times whole conversion runs (a list of one-minute FLAC files) to MP3 128 kbit/s, OGG quality 3,
// "Ipod Default", WMA 128 kbit/s, WAV, FLAC level 5, Opus 128 kbit/s, AAC 192 kbit/s, ALAC, AIFF and
// WavPack, with one job per core and with one job at a time, against
// the same files converted by the equivalent ffmpeg / lame / oggenc pipelines (one after another and
// one per core) and, where it is installed, by SoundConverter with one job per core. Shows the peak
// memory of both runs and that it does not grow with the number or the length of the files.
//
//   convert_bench [files] [minutes] [rounds] [formats]   (defaults: 20 files of 1 minute, 3 rounds,
//                                                          every format; formats: keys, "flac,opus")
//
// Each round times both sides back to back. The speed-ups shown are the median of the rounds' own
// ratios, since the speed of a shared machine drifts from one minute to the next; the times shown
// are each side's best round. "CPUs" is the processor time of Tunevale and its encoders divided by
// the time the run took: how many cores a run keeps busy. The pipelines' own speed-up from one at a
// time to one per core shows what the machine gives the same work split the same way.

#include "BenchSupport.h"
#include "ConversionRun.h"
#include "EngineFactory.h"
#include "ErrorLog.h"
#include "GetWMABitRateFromQuality.h"
#include "InitAudioEngine.h"
#include "JobList.h"
#include "MessageBox.h"
#include "OutputSettings.h"
#include "RunPlan.h"

#include <thread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace tunevale;
using namespace tunevale::bench;
namespace fs = std::filesystem;

namespace
{

struct Target {
    FileFormat format;
    const char* name;
    const char* key;
    const char* extension;
    // The reference pipeline for one file, as a shell command with $IN and $OUT.
    const char* reference;
    // SoundConverter's options for the same output, or nullptr where it has none.
    const char* soundConverter;
};

const std::vector<Target> Targets{
    {FileFormat::MP3, "MP3 128k", "mp3", "mp3",
     "ffmpeg -v error -i \"$IN\" -bitexact -f wav - | lame --quiet --cbr -b 128 -m j --resample 0 -q 4 - \"$OUT\"",
     "-f mp3 -m cbr -q 128"},
    {FileFormat::OGG, "OGG q3", "ogg", "ogg",
     "ffmpeg -v error -i \"$IN\" -bitexact -f wav - | oggenc -Q -b 128 --quality 3 - -o \"$OUT\"", "-f ogg -q 0.3"},
    {FileFormat::Ipod, "Ipod", "ipod", "mp3",
     "ffmpeg -v error -i \"$IN\" -bitexact -f wav - | lame --quiet --cbr -b 128 -m s --resample 44.1 -q 0 - \"$OUT\"",
     nullptr},
    {FileFormat::WMA, "WMA 128k", "wma", "wma", "ffmpeg -v error -i \"$IN\" -c:a wmav2 -b:a 128k \"$OUT\"", nullptr},
    {FileFormat::WAV, "WAV", "wav", "wav", "ffmpeg -v error -i \"$IN\" -c:a pcm_s16le \"$OUT\"", nullptr},
    {FileFormat::FLAC, "FLAC 5", "flac", "flac", "ffmpeg -v error -i \"$IN\" -c:a flac -compression_level 5 \"$OUT\"",
     "-f flac"},
    {FileFormat::Opus, "Opus 128k", "opus", "opus",
     "ffmpeg -v error -i \"$IN\" -c:a libopus -b:a 128k -vbr on \"$OUT\"", "-f opus"},
    {FileFormat::AAC, "AAC 192k", "aac", "m4a", "ffmpeg -v error -i \"$IN\" -c:a aac -b:a 192k \"$OUT\"", "-f m4a"},
    {FileFormat::ALAC, "ALAC", "alac", "m4a", "ffmpeg -v error -i \"$IN\" -c:a alac \"$OUT\"", nullptr},
    {FileFormat::AIFF, "AIFF", "aiff", "aiff", "ffmpeg -v error -i \"$IN\" -c:a pcm_s16be \"$OUT\"", nullptr},
    {FileFormat::WavPack, "WavPack", "wavpack", "wv",
     "ffmpeg -v error -i \"$IN\" -c:a wavpack -compression_level 1 \"$OUT\"", nullptr},
};

pid_t startShell(const std::string& script, const std::map<std::string, std::string>& variables = {})
{
    for (const auto& [name, value] : variables)
        ::setenv(name.c_str(), value.c_str(), 1);
    return startProgram({"sh", "-c", script});
}

bool runShell(const std::string& script)
{
    const pid_t pid = startShell(script);
    return pid >= 0 && waitForProgram(pid);
}

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Processor seconds of this process and of the encoders it has waited for.
double processorSeconds()
{
    double seconds = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        for (const timeval& time : {usage.ru_utime, usage.ru_stime})
            seconds += static_cast<double>(time.tv_sec) + time.tv_usec / 1e6;
    }
    return seconds;
}

long peakKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

class NoMessages : public MessageBox
{
public:
    MessageAnswer show(const std::string&, const std::string&, MessageIcon, MessageButtons) override
    {
        return MessageAnswer::Ok;
    }
};

// The child run: converts every FLAC file of a folder in one run with `parallel` jobs at once (0:
// one per core), prints the seconds it took, the process's peak memory and the processor seconds
// that the run and its encoders used.
int convertFolder(const std::string& formatName, unsigned parallel, const fs::path& sources, const fs::path& out)
{
    const Target* target = nullptr;
    for (const Target& t : Targets)
        if (formatName == t.key)
            target = &t;
    if (!target)
        return 2;

    auto engine = makeEngine();
    engine->Init(0, 44100, 0);
    NoMessages messages;
    std::array<std::string, 8> tagNames;
    InitAudioEngine(*engine, messages, tagNames);

    OutputSettings settings = designOutputSettings(out.string());
    for (auto& option : settings.optFileFormat)
        option.value = false;
    settings.optFileFormat[static_cast<std::size_t>(target->format)].value = true;
    const auto rates = engine->WMAEncodeGetRates(44100, 2, WmaEncodeFlags);
    for (int quality = 0; quality <= 100; ++quality)
        if (chooseWmaBitrate(rates, quality).bitrate == 128000)
            settings.sliderWMA.value = quality;

    JobList jobs;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(sources))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        Job job;
        job.FilePath = file.string();
        jobs.rsJobs().append(job);
    }
    ErrorLog log(out / "Errors.log");

    const double start = now();
    const double processorAtStart = processorSeconds();
    const ConversionOptions options = conversionOptions(settings, tagNames);
    ConversionRun run(*engine, log, options, planRun(jobs.rsJobs(), false, options).jobs, parallel);
    run.start();
    run.waitFor(std::chrono::hours(24));
    const double elapsed = now() - start;
    showRunProgress(jobs.rsJobs(), run);
    for (const Job& job : jobs.rsJobs().jobs())
        if (job.State != JobState::Complete) {
            std::fprintf(stderr, "%s: %s %s\n", job.FilePath.c_str(), statusText(job).c_str(), job.Failure.c_str());
            return 1;
        }
    std::printf("%.3f %ld %.3f\n", elapsed, peakKilobytes(), processorSeconds() - processorAtStart);
    return 0;
}

struct ChildResult {
    double seconds = 0;
    long peakKb = 0;
    double processorSeconds = 0;
};

ChildResult runChild(const std::string& self, const Target& target, unsigned parallel, const fs::path& sources,
                     const fs::path& out)
{
    fs::remove_all(out);
    fs::create_directories(out);
    const fs::path report = out.parent_path() / "child.txt";
    const std::string script = "\"" + self + "\" --child " + target.key + " " + std::to_string(parallel) + " \"" +
                               sources.string() + "\" \"" + out.string() + "\" > \"" + report.string() + "\"";
    if (!runShell(script)) {
        std::fprintf(stderr, "the converter failed for %s\n", target.name);
        std::exit(1);
    }
    ChildResult result;
    std::ifstream(report) >> result.seconds >> result.peakKb >> result.processorSeconds;
    return result;
}

// The reference pipeline over the folder's files, `jobs` of them at once.
double runReference(const Target& target, const fs::path& sources, const fs::path& out, unsigned jobs)
{
    fs::remove_all(out);
    fs::create_directories(out);
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(sources))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<pid_t> running;
    const auto waitForOne = [&] {
        if (!waitForProgram(running.front())) {
            std::fprintf(stderr, "the reference failed for %s\n", target.name);
            std::exit(1);
        }
        running.erase(running.begin());
    };
    const double start = now();
    for (const auto& file : files) {
        if (running.size() == jobs)
            waitForOne();
        const fs::path output = out / (file.stem().string() + "." + target.extension);
        running.push_back(startShell(target.reference, {{"IN", file.string()}, {"OUT", output.string()}}));
    }
    while (!running.empty())
        waitForOne();
    return now() - start;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// SoundConverter in batch mode with one job per core over the folder's files; 0 when it is not
// installed or has no such output.
double runSoundConverter(const Target& target, const fs::path& sources, const fs::path& out)
{
    if (!target.soundConverter || !runShell("command -v soundconverter >/dev/null"))
        return 0;
    fs::remove_all(out);
    fs::create_directories(out);
    const std::string script = "soundconverter -b -j " + std::to_string(std::thread::hardware_concurrency()) + " \"" +
                               sources.string() + "\"/*.flac " + target.soundConverter + " -o \"" + out.string() +
                               "\" >/dev/null 2>&1";
    const double start = now();
    if (!runShell(script))
        return 0;
    return now() - start;
}

void makeSources(const fs::path& folder, int count, double minutes)
{
    fs::create_directories(folder);
    // Music-like content: a chord over soft noise, so that the encoders have real work.
    const std::string seconds = std::to_string(minutes * 60);
    const std::string first = (folder / "source00.flac").string();
    const std::string make = "ffmpeg -v error -y -f lavfi -i \"sine=f=220:d=" + seconds +
                             "\" -f lavfi -i \"sine=f=277:d=" + seconds +
                             "\" -f lavfi -i \"anoisesrc=c=pink:a=0.05:d=" + seconds +
                             "\" -filter_complex \"[0][1][2]amix=inputs=3,aformat=sample_fmts=s16:sample_rates=44100:"
                             "channel_layouts=stereo\" -c:a flac \"" +
                             first + "\"";
    if (!runShell(make)) {
        std::fprintf(stderr, "could not make the sources\n");
        std::exit(1);
    }
    for (int i = 1; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "source%02d.flac", i);
        fs::copy_file(first, folder / name);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && std::string(argv[1]) == "--child")
        return convertFolder(argv[2], static_cast<unsigned>(std::atoi(argv[3])), argv[4], argv[5]);

    const int files = argc > 1 ? std::atoi(argv[1]) : 20;
    const double minutes = argc > 2 ? std::atof(argv[2]) : 1.0;
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const std::string chosen = argc > 4 ? "," + std::string(argv[4]) + "," : std::string();
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const fs::path work = fs::temp_directory_path() / ("tunevale-convert-bench-" + std::to_string(::getpid()));
    makeSources(work / "batch", files, minutes);
    makeSources(work / "few", 2, minutes);
    makeSources(work / "long", 2, minutes * 5);
    const unsigned cores = ConversionRun::automaticParallel();

    std::printf("%d files of %.1f min, FLAC 44.1 kHz stereo 16-bit; %u cores; %d rounds\n", files, minutes, cores,
                rounds);
    std::printf("%-9s %7s %7s %8s %11s | %9s %9s %8s | %8s %7s | %s\n", "format", "auto s", "1 job s", "speed-up",
                "CPUs auto/1", "pipes 1 s", "pipes N s", "speed-up", "SoundC s", "auto/SC",
                "peak MB: auto / 1 job / 2 files / 2 files 5x longer");
    for (const Target& target : Targets) {
        if (!chosen.empty() && chosen.find("," + std::string(target.key) + ",") == std::string::npos)
            continue;
        ChildResult automatic{1e9, 0, 0};
        ChildResult single{1e9, 0, 0};
        double serialPipes = 1e9;
        double parallelPipes = 1e9;
        double soundConverter = 1e9;
        std::vector<double> speedUps, pipeSpeedUps, againstSoundConverter;
        for (int round = 0; round < rounds; ++round) {
            const ChildResult run = runChild(self, target, 0, work / "batch", work / "out");
            const ChildResult one = runChild(self, target, 1, work / "batch", work / "out");
            speedUps.push_back(one.seconds / run.seconds);
            if (run.seconds < automatic.seconds)
                automatic = ChildResult{run.seconds, automatic.peakKb, run.processorSeconds};
            if (one.seconds < single.seconds)
                single = ChildResult{one.seconds, single.peakKb, one.processorSeconds};
            automatic.peakKb = std::max(automatic.peakKb, run.peakKb);
            single.peakKb = std::max(single.peakKb, one.peakKb);

            const double pipes = runReference(target, work / "batch", work / "ref", 1);
            const double pipesPerCore = runReference(target, work / "batch", work / "ref", cores);
            pipeSpeedUps.push_back(pipes / pipesPerCore);
            serialPipes = std::min(serialPipes, pipes);
            parallelPipes = std::min(parallelPipes, pipesPerCore);

            if (const double sc = runSoundConverter(target, work / "batch", work / "sc"); sc > 0) {
                // Timed right after a run of Tunevale's of its own, so that both meet the same machine.
                const ChildResult beside = runChild(self, target, 0, work / "batch", work / "out");
                againstSoundConverter.push_back(beside.seconds / sc);
                soundConverter = std::min(soundConverter, sc);
            }
        }
        const ChildResult few = runChild(self, target, 0, work / "few", work / "out");
        const ChildResult longer = runChild(self, target, 0, work / "long", work / "out");
        const bool haveSc = !againstSoundConverter.empty();
        char cpus[32];
        std::snprintf(cpus, sizeof cpus, "%.2f / %.2f", automatic.processorSeconds / automatic.seconds,
                      single.processorSeconds / single.seconds);
        std::printf("%-9s %7.2f %7.2f %8.2f %11s | %9.2f %9.2f %8.2f | %8s %7s | %.1f / %.1f / %.1f / %.1f\n",
                    target.name, automatic.seconds, single.seconds, median(speedUps), cpus, serialPipes, parallelPipes,
                    median(pipeSpeedUps), haveSc ? std::to_string(soundConverter).substr(0, 6).c_str() : "-",
                    haveSc ? std::to_string(median(againstSoundConverter)).substr(0, 5).c_str() : "-",
                    automatic.peakKb / 1024.0, single.peakKb / 1024.0, few.peakKb / 1024.0, longer.peakKb / 1024.0);
        std::fflush(stdout);
    }
    fs::remove_all(work);
    return 0;
}
