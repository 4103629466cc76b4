#include "AcceptedExtensions.h"
#include "AlbumGrouping.h"
#include "CommandLine.h"
#include "EngineErrorText.h"
#include "EngineFactory.h"
#include "FileLoudness.h"
#include "Gains.h"
#include "InitAudioEngine.h"
#include "InputFiles.h"
#include "StopSignals.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tunevale
{

namespace
{

const CommandSyntax& loudnessSyntax()
{
    const auto option = [](QStringList names, const char* description, const char* valueName = nullptr) {
        return QCommandLineOption(names, QString::fromUtf8(description),
                                  valueName ? QString::fromLatin1(valueName) : QString());
    };
    static const CommandSyntax syntax{
        "loudness",
        "[options] FILE|FOLDER...",
        "Decodes each file (a folder stands for the files in it that the list takes) and prints one line\n"
        "per file, in the order given: the path, then its integrated loudness, loudness range, true peak,\n"
        "ReplayGain 2.0 track gain (to -18 LUFS) and peak, separated by tabs; or \"error\", \"refused\" or\n"
        "\"cancelled\" and the reason. Then a line for each album among the files (shared album and album\n"
        "artist tags, or untagged files of one folder), measured over all its files together. Audio\n"
        "without a 400 ms block above -70 LUFS (silence, or shorter than 0.4 s) shows integrated=none\n"
        "and a gain of +0.00 dB. Nothing is written.",
        {option({"r", "recursive"}, "Take the files of sub-folders too, depth first."),
         option({"j", "jobs"}, "Measure up to N files at once (at least 1; by default one per core).", "N"),
         option({"sample-peak"}, "Give the highest sample as the peak instead of the true peak."),
         option({"json"}, "One JSON object per line for each file, then for each album.")},
        "  0    every file was measured\n"
        "  1    a file could not be measured or was refused, or there was nothing to measure\n"
        "  2    wrong arguments; nothing was done\n"
        "  130  stopped with Ctrl+C (143: SIGTERM, 129: SIGHUP)\n"};
    return syntax;
}

enum class Outcome { Measured, Error, Cancelled, Refused };

struct FileResult {
    std::string path;
    Outcome outcome = Outcome::Error;
    std::string reason; // why it was not measured
    FileLoudness file;
};

struct Values {
    std::optional<double> integrated;
    double range = 0;
    double peakDb = 0;
    double gain = 0;
    double peak = 0;
    std::int16_t r128 = 0;
};

Values valuesOf(const TrackLoudness& loudness)
{
    return {loudness.integrated(), loudness.range(), loudness.peakDb(),
            replayGain(loudness),  loudness.peak,    r128Gain(loudness)};
}

std::string decimal(double value, int decimals)
{
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
    return std::string(text, end);
}

// Text on one line of tab-separated fields.
std::string field(const std::string& text)
{
    std::string line;
    for (const char c : text) {
        if (c == '\n')
            line += "\\n";
        else if (c == '\t')
            line += "\\t";
        else if (c != '\r')
            line += c;
    }
    return line;
}

std::string valueFields(const Values& values, PeakKind peakKind, const char* gainName)
{
    const std::string peakName = peakKind == PeakKind::True ? "true-peak=" : "sample-peak=";
    const std::string peakUnit = peakKind == PeakKind::True ? " dBTP" : " dBFS";
    const std::string prefix = gainName;
    return "integrated=" + (values.integrated ? decimal(*values.integrated, 2) + " LUFS" : std::string("none")) +
           "\trange=" + decimal(values.range, 2) + " LU\t" + peakName + decimal(values.peakDb, 2) + peakUnit + "\t" +
           prefix + "-gain=" + replayGainText(values.gain) + "\t" + prefix + "-peak=" + replayPeakText(values.peak);
}

QJsonValue number(double value)
{
    return std::isfinite(value) ? QJsonValue(std::round(value * 100.0) / 100.0) : QJsonValue(QJsonValue::Null);
}

void insertValues(QJsonObject& object, const Values& values, PeakKind peakKind, const QString& prefix)
{
    object.insert(QStringLiteral("integrated"), values.integrated ? number(*values.integrated) : QJsonValue());
    object.insert(QStringLiteral("range"), number(values.range));
    object.insert(QStringLiteral("peak"), number(values.peakDb));
    object.insert(QStringLiteral("peakKind"), peakKind == PeakKind::True ? "true" : "sample");
    object.insert(prefix + QStringLiteral("Gain"), number(values.gain));
    object.insert(prefix + QStringLiteral("Peak"), std::round(values.peak * 1e6) / 1e6);
    object.insert(QStringLiteral("r128") + prefix.at(0).toUpper() + prefix.mid(1) + QStringLiteral("Gain"),
                  values.r128);
}

QString qText(const std::string& text)
{
    return QString::fromStdString(text);
}

const char* outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Measured:
        return "measured";
    case Outcome::Error:
        return "error";
    case Outcome::Cancelled:
        return "cancelled";
    case Outcome::Refused:
        return "refused";
    }
    return "error";
}

void printFile(const FileResult& result, PeakKind peakKind, bool json)
{
    if (json) {
        QJsonObject object{{QStringLiteral("source"), qText(result.path)},
                           {QStringLiteral("status"), outcomeName(result.outcome)}};
        if (result.outcome == Outcome::Measured) {
            insertValues(object, valuesOf(result.file.loudness), peakKind, QStringLiteral("track"));
            object.insert(QStringLiteral("seconds"), std::round(result.file.seconds * 1000.0) / 1000.0);
        } else {
            object.insert(QStringLiteral("error"), qText(result.reason));
        }
        std::printf("%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
    } else if (result.outcome == Outcome::Measured) {
        std::printf("%s\t%s\n", field(result.path).c_str(),
                    valueFields(valuesOf(result.file.loudness), peakKind, "track").c_str());
    } else {
        std::printf("%s\t%s\t%s\n", field(result.path).c_str(), outcomeName(result.outcome),
                    field(result.reason).c_str());
    }
    std::fflush(stdout);
}

// An album's line: measured over all its files together, or why it has no values.
void printAlbum(const std::vector<FileResult>& results, const std::vector<std::size_t>& members, PeakKind peakKind,
                bool json)
{
    const SourceTags& tags = results[members.front()].file.tags;
    const std::string folder = std::filesystem::path(results[members.front()].path).parent_path().string();
    std::vector<TrackLoudness> tracks;
    for (const std::size_t member : members)
        if (results[member].outcome == Outcome::Measured)
            tracks.push_back(results[member].file.loudness);
    const bool complete = tracks.size() == members.size();
    const std::string reason = std::to_string(members.size() - tracks.size()) + " of " +
                               std::to_string(members.size()) + " files could not be measured";
    if (json) {
        QJsonArray files;
        for (const std::size_t member : members)
            files.append(qText(results[member].path));
        QJsonObject object{{QStringLiteral("album"), qText(tags.album)},
                           {QStringLiteral("albumArtist"), qText(tags.albumArtist)},
                           {QStringLiteral("folder"), qText(folder)},
                           {QStringLiteral("files"), files},
                           {QStringLiteral("status"), complete ? "measured" : "incomplete"}};
        if (complete)
            insertValues(object, valuesOf(combine(tracks)), peakKind, QStringLiteral("album"));
        else
            object.insert(QStringLiteral("error"), qText(reason));
        std::printf("%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
        return;
    }
    const std::string name = field(tags.album.empty() ? folder : tags.album);
    if (complete)
        std::printf("album\t%s\t%s\tfiles=%zu\n", name.c_str(),
                    valueFields(valuesOf(combine(tracks)), peakKind, "album").c_str(), members.size());
    else
        std::printf("album\t%s\tincomplete\t%s\n", name.c_str(), reason.c_str());
}

// Why a named file is not measured, or nothing when it is to be.
std::optional<std::string> refusalOf(const std::string& path, std::set<std::string>& seen)
{
    std::error_code error;
    if (!seen.insert(path).second)
        return "named twice";
    if (!hasAcceptedExtension(path))
        return "not a file type the list takes";
    if (!std::filesystem::is_regular_file(path, error))
        return std::filesystem::exists(path, error) ? "not a file" : "no such file";
    return std::nullopt;
}

// Measures the files on worker threads and prints each result in order as soon as it and the
// results before it are in; a stop signal cancels the files being measured and those not begun.
void measureAll(Engine& engine, std::vector<FileResult>& results, unsigned workers, PeakKind peakKind, bool json,
                StopSignals& stopSignals)
{
    std::vector<std::size_t> queue;
    for (std::size_t i = 0; i < results.size(); ++i)
        if (results[i].outcome != Outcome::Refused)
            queue.push_back(i);
    std::vector<bool> done(results.size(), false);
    std::mutex mutex;
    std::condition_variable ended;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    auto work = [&] {
        for (std::size_t taken = next++; taken < queue.size(); taken = next++) {
            FileResult& result = results[queue[taken]];
            result.file = measureFile(engine, result.path, peakKind, stop);
            if (result.file.stopped) {
                result.outcome = Outcome::Cancelled;
                result.reason = "stopped";
            } else if (result.file.error != EngineCode::Ok) {
                result.outcome = Outcome::Error;
                result.reason = std::to_string(result.file.error) + " " + EngineErrorText(result.file.error);
            } else {
                result.outcome = Outcome::Measured;
            }
            const std::lock_guard lock(mutex);
            done[queue[taken]] = true;
            ended.notify_one();
        }
    };
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < std::min<std::size_t>(workers, queue.size()); ++i)
        threads.emplace_back(work);
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (results[i].outcome != Outcome::Refused) {
            std::unique_lock lock(mutex);
            while (!ended.wait_for(lock, std::chrono::milliseconds(50), [&] { return done[i]; })) {
                lock.unlock();
                if (stopSignals.wait(std::chrono::milliseconds(0)))
                    stop = true;
                lock.lock();
            }
        }
        printFile(results[i], peakKind, json);
    }
    for (std::thread& thread : threads)
        thread.join();
}

} // namespace

// tunevale-cli loudness [options] FILE|FOLDER...
int LoudnessCommand(const std::vector<std::string>& arguments)
{
    const CommandSyntax& syntax = loudnessSyntax();
    CommandLine line(syntax);
    if (const auto status = line.parse(arguments))
        return *status;
    unsigned workers = std::max(1u, std::thread::hardware_concurrency());
    if (line.isSet("jobs")) {
        const auto jobs = parseWholeNumber(line.value("jobs"));
        if (!jobs || *jobs < 1 || *jobs > 1024)
            return usageError(syntax.name, "-j expects a number from 1 to 1024, not \"" + line.value("jobs") + "\"");
        workers = static_cast<unsigned>(*jobs);
    }
    const auto given = line.positionalArguments();
    if (given.empty())
        return usageError(syntax.name, "no FILE or FOLDER given");
    const PeakKind peakKind = line.isSet("sample-peak") ? PeakKind::Sample : PeakKind::True;
    const bool json = line.isSet("json");

    std::vector<FileResult> results;
    std::set<std::string> seen;
    for (const std::string& path : expandInputs(given, line.isSet("recursive")).files) {
        FileResult result{path, Outcome::Error, {}, {}};
        if (const auto refusal = refusalOf(path, seen)) {
            result.outcome = Outcome::Refused;
            result.reason = *refusal;
        }
        results.push_back(std::move(result));
    }
    if (results.empty()) {
        std::fprintf(stderr, "tunevale-cli loudness: nothing to measure\n");
        return ExitStatus::Failure;
    }

    StopSignals stopSignals;
    const auto engine = makeEngine();
    // Device 0: decoding only, no sound card needed.
    if (!engine->Init(0, 44100, 0)) {
        const int error = engine->ErrorGetCode();
        std::fprintf(stderr, "tunevale-cli loudness: the audio engine could not be opened: %d %s\n", error,
                     EngineErrorText(error).c_str());
        return ExitStatus::Failure;
    }
    for (const char* plugin : enginePluginNames())
        engine->PluginLoad(plugin, 0);
    measureAll(*engine, results, workers, peakKind, json, stopSignals);
    engine->Free();

    std::vector<AlbumKey> keys;
    std::vector<std::size_t> jobOf;
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (results[i].outcome == Outcome::Refused)
            continue;
        keys.push_back({results[i].path, results[i].file.tags.album, results[i].file.tags.albumArtist});
        jobOf.push_back(i);
    }
    for (std::vector<std::size_t> album : groupAlbums(keys)) {
        for (std::size_t& member : album)
            member = jobOf[member];
        printAlbum(results, album, peakKind, json);
    }
    std::fflush(stdout);

    if (stopSignals.received())
        return ExitStatus::StoppedBy + stopSignals.received();
    const bool allMeasured = std::all_of(results.begin(), results.end(),
                                         [](const FileResult& result) { return result.outcome == Outcome::Measured; });
    return allMeasured ? ExitStatus::Success : ExitStatus::Failure;
}

} // namespace tunevale
