#include "CliHarness.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace tunevale::test
{
namespace
{

// A stereo 1 kHz FLAC tone made by ffmpeg, with the given album tags.
std::filesystem::path tone(const std::filesystem::path& file, double seconds, double peakDbfs,
                           const std::string& album = "", const std::string& albumArtist = "")
{
    std::filesystem::create_directories(file.parent_path());
    const std::string sine = std::to_string(std::pow(10.0, peakDbfs / 20.0)) + "*sin(2*PI*1000*t)";
    std::vector<std::string> arguments{
        "-f", "lavfi", "-i", "aevalsrc=" + sine + "|" + sine + ":s=44100:d=" + std::to_string(seconds), "-c:a", "flac"};
    if (!album.empty())
        arguments.insert(arguments.end(), {"-metadata", "album=" + album});
    if (!albumArtist.empty())
        arguments.insert(arguments.end(), {"-metadata", "album_artist=" + albumArtist});
    arguments.push_back(file.string());
    ffmpeg(arguments);
    return file;
}

std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        result.push_back(line.substr(start, tab - start));
    result.push_back(line.substr(start));
    return result;
}

QJsonObject object(const std::string& line)
{
    QJsonParseError error;
    const auto document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
    return document.object();
}

// A field "name=value unit": the value within 0.02 of the one expected.
void expectValue(const std::string& field, const std::string& name, double expected, const std::string& unit)
{
    ASSERT_EQ(field.rfind(name, 0), 0u) << field;
    ASSERT_GE(field.size(), name.size() + unit.size()) << field;
    EXPECT_EQ(field.substr(field.size() - unit.size()), unit) << field;
    EXPECT_NEAR(std::stod(field.substr(name.size())), expected, 0.02) << field;
}

// Every file under the folder with its size and modification time.
std::map<std::string, std::pair<std::uintmax_t, std::filesystem::file_time_type>>
snapshot(const std::filesystem::path& folder)
{
    std::map<std::string, std::pair<std::uintmax_t, std::filesystem::file_time_type>> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        files[entry.path().string()] = {entry.is_regular_file() ? entry.file_size() : 0, entry.last_write_time()};
    return files;
}

TEST(LoudnessCommand, PrintsEachFileThenEachAlbumAndWritesNothing)
{
    CliHarness cli;
    const auto a = tone(cli.in("cd1/a.flac"), 12, -20, "Blue", "Band");
    const auto b = tone(cli.in("cd2/b.flac"), 12, -30, "Blue", "Band");
    const auto loose = tone(cli.in("loose.flac"), 12, -23);
    const auto before = snapshot(cli.in(""));

    const auto run = cli.run({"loudness", "-r", cli.in("").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto rows = lines(run.out);
    ASSERT_EQ(rows.size(), 4u) << run.out;
    // Folders as convert expands them: a folder's files first, then its sub-folders'. A 1 kHz sine is
    // as loud in LUFS as its peak in dBFS, within the K-weighting's 0.01 dB at 1 kHz.
    const std::vector<std::string> looseFields = fields(rows[0]);
    ASSERT_EQ(looseFields.size(), 6u) << rows[0];
    EXPECT_EQ(looseFields[0], loose.string());
    expectValue(looseFields[1], "integrated=", -23.0, " LUFS");
    EXPECT_EQ(looseFields[2], "range=0.00 LU");
    expectValue(looseFields[3], "true-peak=", -23.0, " dBTP");
    expectValue(looseFields[4], "track-gain=+", 5.0, " dB");
    expectValue(looseFields[5], "track-peak=", 0.0708, "");
    EXPECT_EQ(fields(rows[1])[0], a.string());
    expectValue(fields(rows[1])[1], "integrated=", -20.0, " LUFS");
    expectValue(fields(rows[2])[4], "track-gain=+", 12.0, " dB");
    // The tagged album across two folders, gated over both files: not the mean of -20 and -30.
    const std::vector<std::string> albumFields = fields(rows[3]);
    ASSERT_EQ(albumFields.size(), 8u) << rows[3];
    EXPECT_EQ(albumFields[0], "album");
    EXPECT_EQ(albumFields[1], "Blue");
    expectValue(albumFields[2], "integrated=", -22.6, " LUFS");
    expectValue(albumFields[3], "range=", 10.0, " LU");
    expectValue(albumFields[4], "true-peak=", -20.0, " dBTP");
    expectValue(albumFields[5], "album-gain=+", 4.6, " dB");
    expectValue(albumFields[6], "album-peak=", 0.1, "");
    EXPECT_EQ(albumFields[7], "files=2");
    EXPECT_EQ(snapshot(cli.in("")), before);

    // With one file at a time the lines are the same.
    EXPECT_EQ(cli.run({"loudness", "-j", "1", "-r", cli.in("").string()}).out, run.out);
}

TEST(LoudnessCommand, JsonGivesEveryValueAndSilenceHasNoLoudness)
{
    CliHarness cli;
    ffmpeg({"-f", "lavfi", "-i", "anullsrc=r=44100:cl=stereo:d=5", "-c:a", "flac", cli.in("silence.flac").string()});
    const auto blip = tone(cli.in("blip.flac"), 0.1, -6);
    const auto run = cli.run({"loudness", "--json", "--sample-peak", cli.in("silence.flac"), blip.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto rows = lines(run.out);
    ASSERT_EQ(rows.size(), 3u) << run.out;

    const QJsonObject silence = object(rows[0]);
    EXPECT_EQ(silence.value("status").toString(), "measured");
    EXPECT_TRUE(silence.value("integrated").isNull());
    EXPECT_TRUE(silence.value("peak").isNull());
    EXPECT_EQ(silence.value("peakKind").toString(), "sample");
    EXPECT_EQ(silence.value("trackGain").toDouble(-1), 0.0);
    EXPECT_EQ(silence.value("trackPeak").toDouble(-1), 0.0);
    EXPECT_EQ(silence.value("r128TrackGain").toInt(-1), 0);
    EXPECT_NEAR(silence.value("seconds").toDouble(), 5.0, 0.01);

    // Too short for a block, but its peak is there.
    const QJsonObject short_ = object(rows[1]);
    EXPECT_TRUE(short_.value("integrated").isNull());
    EXPECT_NEAR(short_.value("peak").toDouble(), -6.0, 0.1);
    EXPECT_EQ(short_.value("trackGain").toDouble(-1), 0.0);

    // The untagged files of one folder are an album.
    const QJsonObject album = object(rows[2]);
    EXPECT_EQ(album.value("status").toString(), "measured");
    EXPECT_EQ(album.value("folder").toString().toStdString(), cli.in("").parent_path().string());
    EXPECT_EQ(album.value("files").toArray().size(), 2);
    EXPECT_TRUE(album.value("integrated").isNull());
    EXPECT_EQ(album.value("albumGain").toDouble(-1), 0.0);

    const auto lineRun = cli.run({"loudness", cli.in("silence.flac")});
    EXPECT_NE(lineRun.out.find("\tintegrated=none\t"), std::string::npos) << lineRun.out;
    EXPECT_NE(lineRun.out.find("\ttrue-peak=-inf dBTP\ttrack-gain=+0.00 dB\ttrack-peak=0.000000"), std::string::npos)
        << lineRun.out;
}

TEST(LoudnessCommand, OpusGainsAreRelativeToMinus23Lufs)
{
    CliHarness cli;
    const auto file = tone(cli.in("t.flac"), 10, -20, "One", "Someone");
    const auto rows = lines(cli.run({"loudness", "--json", file.string()}).out);
    ASSERT_EQ(rows.size(), 2u);
    // -3 dB in 1/256 dB, give or take the K-weighting's 0.01 dB at 1 kHz.
    EXPECT_NEAR(object(rows[0]).value("r128TrackGain").toInt(), -768, 4);
    EXPECT_NEAR(object(rows[0]).value("trackGain").toDouble(), 2.0, 0.02);
    // A tagged single is an album of its own.
    EXPECT_EQ(object(rows[1]).value("r128AlbumGain").toInt(), object(rows[0]).value("r128TrackGain").toInt());
    EXPECT_EQ(object(rows[1]).value("album").toString(), "One");
}

TEST(LoudnessCommand, FailuresAreReportedInOrderWithTheExitStatusOfConvert)
{
    CliHarness cli;
    const auto good = tone(cli.in("album/1.flac"), 5, -20);
    writeFile(cli.in("album/2.mp3"), std::string(4000, 'x'));
    writeFile(cli.in("notes.txt"), "x");
    const auto run = cli.run({"loudness", cli.in("album").string(), cli.in("missing.flac").string(),
                              cli.in("notes.txt").string(), good.string()});
    EXPECT_EQ(run.exitCode, 1);
    const auto rows = lines(run.out);
    ASSERT_EQ(rows.size(), 6u) << run.out;
    EXPECT_EQ(fields(rows[0])[0], good.string());
    EXPECT_EQ(fields(rows[1])[0], cli.in("album/2.mp3").string());
    EXPECT_EQ(fields(rows[1])[1], "error");
    EXPECT_EQ(fields(rows[2]), (std::vector<std::string>{cli.in("missing.flac"), "refused", "no such file"}));
    EXPECT_EQ(fields(rows[3]),
              (std::vector<std::string>{cli.in("notes.txt"), "refused", "not a file type the list takes"}));
    EXPECT_EQ(fields(rows[4]), (std::vector<std::string>{good.string(), "refused", "named twice"}));
    // An album with a file that could not be measured has no album values.
    EXPECT_EQ(fields(rows[5]), (std::vector<std::string>{"album", cli.in("album").string(), "incomplete",
                                                         "1 of 2 files could not be measured"}));

    EXPECT_EQ(cli.run({"loudness"}).exitCode, 2);
    EXPECT_EQ(cli.run({"loudness", "-j", "0", good.string()}).exitCode, 2);
    EXPECT_EQ(cli.run({"loudness", "--bogus", good.string()}).exitCode, 2);
    std::filesystem::create_directories(cli.in("empty"));
    const auto empty = cli.run({"loudness", cli.in("empty").string()});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_NE(empty.err.find("nothing to measure"), std::string::npos) << empty.err;
}

struct Spawned {
    int exitCode = -1;
    long peakKiB = 0;
};

// Runs tunevale-cli with its output into the file, calling started with its pid once it runs.
Spawned spawnCli(const std::vector<std::string>& arguments, const std::filesystem::path& out = "/dev/null",
                 const std::function<void(pid_t)>& started = {})
{
    std::vector<std::string> argv{CliHarness::program()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> args;
    for (auto& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return {};
    if (started)
        started(pid);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss};
}

std::filesystem::path longMono(const std::filesystem::path& file, int seconds)
{
    ffmpeg({"-f", "lavfi", "-i", "sine=f=300:r=8000:d=" + std::to_string(seconds), "-c:a", "flac", file.string()});
    return file;
}

TEST(LoudnessCommand, MemoryStaysFlatOverAnHour)
{
    CliHarness cli;
    const auto minute = longMono(cli.in("minute.flac"), 60);
    const auto hour = longMono(cli.in("hour.flac"), 3600);
    const Spawned shortRun = spawnCli({"loudness", "--sample-peak", minute.string()});
    const Spawned longRun = spawnCli({"loudness", "--sample-peak", hour.string()});
    ASSERT_EQ(shortRun.exitCode, 0);
    ASSERT_EQ(longRun.exitCode, 0);
    EXPECT_LT(longRun.peakKiB - shortRun.peakKiB, 4 * 1024) << shortRun.peakKiB << " KiB, then " << longRun.peakKiB;
}

// The number of threads of a process.
std::size_t threadsOf(pid_t pid)
{
    std::error_code error;
    const std::filesystem::directory_iterator tasks("/proc/" + std::to_string(pid) + "/task", error);
    return error ? 0 : static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

TEST(LoudnessCommand, CtrlCStopsTheMeasuring)
{
    CliHarness cli;
    const auto hour = longMono(cli.in("hour.flac"), 3600);
    const auto out = cli.dir() / "out.txt";
    const Spawned run = spawnCli({"loudness", "-j", "1", hour.string(), hour.string()}, out, [](pid_t pid) {
        // Once the worker runs, the signals are held for the main thread.
        EXPECT_TRUE(eventually([&] { return threadsOf(pid) >= 2; }, 10000));
        ::kill(pid, SIGINT);
    });
    EXPECT_EQ(run.exitCode, 130);
    EXPECT_EQ(readFile(out), hour.string() + "\tcancelled\tstopped\n" + hour.string() + "\trefused\tnamed twice\n");
}

} // namespace
} // namespace tunevale::test
