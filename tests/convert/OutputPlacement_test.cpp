#include "ConversionRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

using namespace tunevale;
using namespace tunevale::test;

namespace
{

// The program of that name on PATH, found before a test puts its stand-ins first.
std::string onPath(const std::string& name)
{
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    for (std::size_t at = 0; at <= path.size();) {
        const std::size_t colon = std::min(path.find(':', at), path.size());
        const auto candidate = std::filesystem::path(path.substr(at, colon - at)) / name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
        at = colon + 1;
    }
    return {};
}

std::string shellQuoted(const std::filesystem::path& path)
{
    return "'" + path.string() + "'";
}

// A stand-in for an encoder that runs the shell commands before, then the real program, with the
// same arguments; it is found first on PATH while the object lives.
class WrappedEncoder
{
public:
    WrappedEncoder(const std::filesystem::path& bin, const std::string& name, const std::string& before)
        : m_real(onPath(name)), m_path(bin.string() + ":" + (std::getenv("PATH") ? std::getenv("PATH") : ""))
    {
        std::filesystem::create_directories(bin);
        writeScript(bin / name, before + "\nexec " + shellQuoted(m_real) + " \"$@\"");
    }
    bool found() const { return !m_real.empty(); }

private:
    std::string m_real;
    ScopedPath m_path;
};

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.rfind(prefix, 0) == 0;
}

} // namespace

TEST(OutputPlacement, EncodersWriteAPrivateFileAndNothingLiesUnderAFinalNameMeanwhile)
{
    ConversionRig rig;
    rig.chooseFormat(FileFormat::MP3);
    std::filesystem::create_directories(rig.out(""));
    // Each start of the encoder records where it runs, the output it was given and what the output
    // folder holds at that moment.
    const auto seen = rig.dir / "seen";
    std::filesystem::create_directories(seen);
    const WrappedEncoder lame(rig.dir / "bin", "lame",
                              "n=$(mktemp -d " + shellQuoted(seen / "XXXXXX") + ")\npwd -P > \"$n/cwd\"\n" +
                                  "for last; do :; done\nprintf %s \"$last\" > \"$n/output\"\n" + "ls -A " +
                                  shellQuoted(rig.out("")) + " > \"$n/listing\"");
    ASSERT_TRUE(lame.found());
    for (const char* folder : {"one", "two"}) {
        std::filesystem::create_directories(rig.dir / "in" / folder);
        rig.addJob(makeTone(rig.dir / "in" / folder / "song.flac", 1.0));
    }
    rig.convert();
    EXPECT_EQ(rig.status(0), "Complete");
    EXPECT_EQ(rig.status(1), "Complete");
    // The names of a one-at-a-time run, in record order.
    EXPECT_EQ(namesIn(rig.out("")), (std::vector<std::string>{"song.mp3", "song_Converted.mp3"}));
    expectAudio(rig.out("song_Converted.mp3"), "mp3", 44100, 2, 1.0, 0.1);

    std::vector<std::string> listings;
    for (const auto& start : std::filesystem::directory_iterator(seen)) {
        // The encoder was given the private file's name and ran inside its private folder.
        EXPECT_EQ(readFile(start.path() / "output"), ".partial.mp3");
        const std::filesystem::path cwd = lines(readFile(start.path() / "cwd")).at(0);
        EXPECT_EQ(cwd.parent_path(), std::filesystem::canonical(rig.out("")));
        EXPECT_TRUE(startsWith(cwd.filename().string(), ".tunevale-")) << cwd;
        struct stat folder;
        ASSERT_EQ(::stat(cwd.c_str(), &folder), -1) << "the private folder is gone after the job";
        listings.push_back(readFile(start.path() / "listing"));
    }
    ASSERT_EQ(listings.size(), 2u);
    // While a job ran its final name held nothing, not even an empty placeholder. (The first job's
    // finished output may still wait in its own private folder until its album is settled.)
    for (const std::string& listing : listings) {
        const auto entries = lines(listing);
        const auto privateFolders = std::count_if(entries.begin(), entries.end(),
                                                  [](const std::string& e) { return startsWith(e, ".tunevale-"); });
        EXPECT_GE(privateFolders, 1) << listing;
        EXPECT_EQ(std::count(entries.begin(), entries.end(), "song_Converted.mp3"), 0) << listing;
    }
    EXPECT_TRUE(std::any_of(listings.begin(), listings.end(), [](const std::string& listing) {
        return lines(listing).size() == 1;
    })) << "the first job saw only its private folder";
}

TEST(OutputPlacement, ALinkPlantedAtTheFinalNameIsNeverFollowed)
{
    ConversionRig rig;
    rig.chooseFormat(FileFormat::MP3);
    std::filesystem::create_directories(rig.out(""));
    const auto victim = rig.dir / "victim.txt";
    writeFile(victim, "someone's file\n");
    // While the job runs, its name is taken by a link to someone's file.
    const WrappedEncoder lame(rig.dir / "bin", "lame",
                              "rm -f " + shellQuoted(rig.out("song.mp3")) + "\nln -s " + shellQuoted(victim) + " " +
                                  shellQuoted(rig.out("song.mp3")));
    ASSERT_TRUE(lame.found());
    rig.addJob(makeTone(rig.dir / "in" / "song.flac", 1.0));
    rig.convert();
    EXPECT_EQ(rig.status(0), "Complete");
    EXPECT_EQ(readFile(victim), "someone's file\n");
    EXPECT_EQ(std::filesystem::read_symlink(rig.out("song.mp3")), victim);
    // The output took the next free name, as a one-at-a-time run would have chosen it.
    expectAudio(rig.out("song_Converted.mp3"), "mp3", 44100, 2, 1.0, 0.1);
    EXPECT_EQ(namesIn(rig.out("")), (std::vector<std::string>{"song.mp3", "song_Converted.mp3"}));
}

TEST(OutputPlacement, AnotherUserSwappingNamesNeverGetsAFileWritten)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to convert while the user nobody attacks the output folder";
    if (onPath("setpriv").empty())
        GTEST_SKIP() << "setpriv is not installed";
    ConversionRig rig;
    // A shared music folder: anyone may add, rename and remove names in it (no sticky bit).
    std::filesystem::permissions(rig.dir.path(), std::filesystem::perms(0755));
    std::filesystem::create_directories(rig.out(""));
    std::filesystem::permissions(rig.out(""), std::filesystem::perms(0777));
    const auto victim = rig.dir / "victim.txt";
    const std::string victimText = "root's file, which the user nobody may not write\n";
    writeFile(victim, victimText);
    const auto stop = rig.dir / "stop";

    // The attacker turns every file in the output folder into a link to the victim, and every
    // folder into a link to a folder of its own whose pending names lead to the victim too.
    const std::string attack = R"(
out=$1; victim=$2; stop=$3
evil=$(mktemp -d)
for e in mp3 ogg wma wav; do ln -s "$victim" "$evil/.partial.$e"; done
for n in a b c; do for e in mp3 ogg wma wav; do ln -s "$victim" "$out/$n.$e"; done; done
while [ ! -e "$stop" ]; do
  for f in "$out"/* "$out"/.tunevale-*; do
    [ -L "$f" ] && continue
    if [ -d "$f" ]; then mv "$f" "$f.moved" 2>/dev/null && ln -s "$evil" "$f" 2>/dev/null
    elif [ -e "$f" ]; then rm -f "$f" 2>/dev/null && ln -s "$victim" "$f" 2>/dev/null
    fi
  done
done
rm -rf "$evil"
)";
    std::vector<std::string> argv{"setpriv",    "--reuid=65534", "--regid=65534", "--clear-groups",     "/bin/sh",
                                  "-c",         attack,          "attacker",      rig.out("").string(), victim.string(),
                                  stop.string()};
    std::vector<char*> args;
    for (auto& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    pid_t attacker = 0;
    ASSERT_EQ(::posix_spawnp(&attacker, "setpriv", nullptr, nullptr, args.data(), environ), 0);
    // The attacker is at work: it has planted links at the first names of the outputs.
    ASSERT_TRUE(eventually([&] { return std::filesystem::is_symlink(rig.out("c.wav")); }, 10000));

    rig.controller.setParallelJobs(3);
    rig.settings.chkWMAFileTags.value = true;
    std::vector<std::filesystem::path> sources;
    for (const char* name : {"a", "b", "c"})
        sources.push_back(makeTone(rig.dir / "in" / (std::string(name) + ".wav"), 3.0));
    for (const FileFormat format : {FileFormat::MP3, FileFormat::OGG, FileFormat::WMA, FileFormat::WAV}) {
        SCOPED_TRACE(static_cast<int>(format));
        rig.jobs.replaceTable(JobList::NewJobTable());
        for (const auto& source : sources)
            rig.addJob(source);
        rig.chooseFormat(format);
        rig.convert();
        for (std::size_t row = 0; row < sources.size(); ++row)
            EXPECT_EQ(rig.status(row), "Complete") << rig.jobs.rsJobs().at(row).Failure;
        EXPECT_EQ(readFile(victim), victimText);
    }
    writeFile(stop, "");
    int status = 0;
    ::waitpid(attacker, &status, 0);
    EXPECT_EQ(readFile(victim), victimText);
}

TEST(OutputPlacement, AStopEndsAHungEncoderWithinSecondsAndTheJobIsCancelled)
{
    // An encoder that never reads its input, and one that reads it all and then never ends.
    for (const std::string hang : {"exec sleep 600", "cat > /dev/null; touch \"$0.read\"; exec sleep 600"}) {
        SCOPED_TRACE(hang);
        ConversionRig rig;
        rig.chooseFormat(FileFormat::MP3);
        const auto bin = rig.dir / "bin";
        std::filesystem::create_directories(bin);
        writeScript(bin / "lame", hang);
        const ScopedPath path(bin.string() + ":" + (std::getenv("PATH") ? std::getenv("PATH") : ""));
        const bool readsAll = hang.find("cat") != std::string::npos;
        rig.addJob(makeTone(rig.dir / "in" / "song.flac", readsAll ? 2.0 : 60.0));

        std::optional<std::chrono::steady_clock::time_point> stopped;
        const auto begun = std::chrono::steady_clock::now();
        rig.convert(ConvertButton::cmdConvert, [&] {
            // Stop once the encoder hangs: its pipe full, or all audio given to it.
            const bool hung = readsAll ? std::filesystem::exists(bin / "lame.read")
                                       : std::chrono::steady_clock::now() - begun > std::chrono::seconds(1);
            if (!stopped && hung) {
                rig.controller.cmdConvert_Click(); // "Stop"
                stopped = std::chrono::steady_clock::now();
            }
        });
        ASSERT_TRUE(stopped);
        // Far less than the minute after which a hung encoder counts as failed.
        EXPECT_LT(std::chrono::steady_clock::now() - *stopped, std::chrono::seconds(15));
        EXPECT_EQ(rig.status(0), "Cancelled");
        EXPECT_TRUE(rig.outputs().empty());
        EXPECT_TRUE(childProcesses().empty()) << "the hung encoder was killed and reaped";
        EXPECT_EQ(rig.logLines(), 0u);
    }
}

TEST(OutputPlacement, AnOutputFolderDeletedDuringTheRunIsMadeAgainForTheNextJobs)
{
    ConversionRig rig;
    rig.chooseFormat(FileFormat::MP3);
    const auto top = rig.dir / "deep";
    const auto folder = top / "er" / "out";
    std::filesystem::create_directories(folder);
    rig.settings.txtOutPath.text = folder.string();
    // The first encoder started finds its output folder, and the two above it, gone.
    const auto once = rig.dir / "once";
    const WrappedEncoder lame(rig.dir / "bin", "lame",
                              "if [ ! -e " + shellQuoted(once) + " ]; then touch " + shellQuoted(once) + "; rm -rf " +
                                  shellQuoted(top) + "; fi");
    ASSERT_TRUE(lame.found());
    for (const char* name : {"a", "b", "c"})
        rig.addJob(makeTone(rig.dir / "in" / (std::string(name) + ".flac"), 1.0));
    rig.convert();
    EXPECT_EQ(rig.status(0), "Error");
    EXPECT_EQ(rig.status(1), "Complete") << rig.jobs.rsJobs().at(1).Failure;
    EXPECT_EQ(rig.status(2), "Complete") << rig.jobs.rsJobs().at(2).Failure;
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"b.mp3", "c.mp3"}));
    expectAudio(folder / "c.mp3", "mp3", 44100, 2, 1.0, 0.1);
}
