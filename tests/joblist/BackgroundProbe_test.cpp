#include "BackgroundProbe.h"
#include "ConversionOptions.h"
#include "JobAdder.h"
#include "JobList.h"
#include "JobListFakes.h"
#include "JobSelection.h"
#include "LaterQueue.h"
#include "RunPlan.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

namespace tunevale
{
namespace
{

using namespace std::chrono_literals;

// Waits, up to a few seconds, for the condition.
bool eventually(const std::function<bool()>& condition)
{
    for (int i = 0; i < 500 && !condition(); ++i)
        std::this_thread::sleep_for(10ms);
    return condition();
}

TEST(BackgroundProbe, MeasuresEveryFileOnSeveralWorkersAndTellsWhenResultsWait)
{
    std::mutex mutex;
    std::set<std::thread::id> threads;
    std::atomic<int> told = 0;
    BackgroundProbe probe(
        [&](const std::string& path) {
            {
                const std::lock_guard lock(mutex);
                threads.insert(std::this_thread::get_id());
            }
            std::this_thread::sleep_for(2ms);
            return "time of " + path;
        },
        [&] { ++told; }, 2);
    for (int i = 0; i < 200; ++i)
        probe.enqueue(std::to_string(i));

    std::vector<BackgroundProbe::Result> results;
    ASSERT_TRUE(eventually([&] {
        for (auto& result : probe.takeResults())
            results.push_back(std::move(result));
        return results.size() == 200;
    }));
    EXPECT_EQ(probe.outstanding(), 0u);
    std::set<std::string> paths;
    for (const auto& result : results) {
        EXPECT_EQ(result.duration, "time of " + result.path);
        paths.insert(result.path);
    }
    EXPECT_EQ(paths.size(), 200u) << "each file once";
    EXPECT_EQ(threads.size(), 2u);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u) << "never on the adding thread";
    EXPECT_GE(told.load(), 1);
    EXPECT_LE(told.load(), 200);
}

TEST(BackgroundProbe, StopDropsWaitingFilesAndWaitsOnlyForTheOnesBeingMeasured)
{
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    std::atomic<int> started = 0;
    BackgroundProbe probe(
        [&](const std::string&) {
            ++started;
            std::unique_lock lock(mutex);
            released.wait(lock, [&] { return release; });
            return std::string("00:01");
        },
        {}, 1);
    for (int i = 0; i < 50; ++i)
        probe.enqueue(std::to_string(i));
    ASSERT_TRUE(eventually([&] { return started == 1; }));
    EXPECT_EQ(probe.outstanding(), 50u);

    std::thread releaser([&] {
        std::this_thread::sleep_for(20ms);
        const std::lock_guard lock(mutex);
        release = true;
        released.notify_all();
    });
    probe.stop();
    releaser.join();
    EXPECT_EQ(started.load(), 1) << "the 49 waiting files were dropped";
    probe.enqueue("after");
    EXPECT_EQ(probe.takeResults().size(), 1u) << "only the one being measured";
    EXPECT_EQ(probe.outstanding(), 0u) << "nothing is taken after stop";
}

// A queue that only remembers: the probe's answers come when the test gives them.
struct HeldQueue : ProbeQueue {
    std::vector<std::string> paths;
    void enqueue(std::string path) override { paths.push_back(std::move(path)); }
};

struct Window {
    JobList jobs;
    test::TickBox chkSelectAll;
    test::PlayingPreview preview;
    test::TableDurations durations;
    test::ScriptedDialogs dialogs;
    test::RecordingMessageBox messages;
    HeldQueue queue;
    JobSelection selection{jobs, chkSelectAll, preview};
    JobAdder adder{jobs, selection, durations, dialogs, messages};

    Window() { adder.probeInBackground(&queue); }
    JobTable& table() { return jobs.rsJobs(); }
};

std::vector<std::string> planned(const JobTable& table)
{
    ConversionOptions options;
    options.sameFolder = true;
    std::vector<std::string> paths;
    for (const auto& job : planRun(table, false, options).jobs)
        paths.push_back(job.source);
    return paths;
}

TEST(AddingInTheBackground, ListsAtOnceAndARunTakesOnlyProbedJobs)
{
    test::TempDir dir;
    Window window;
    std::vector<std::string> files;
    std::string selection = dir.path().string();
    for (const char* name : {"a.flac", "b.flac", "c.wma"}) {
        test::writeFile(dir / name, "x");
        files.push_back((dir / name).string());
        selection += std::string(1, '\0') + name;
    }
    window.adder.AddAudioFiles(selection);

    ASSERT_EQ(window.table().size(), 3u);
    EXPECT_EQ(window.durations.calls, 0) << "nothing measured while adding";
    EXPECT_EQ(window.queue.paths, files);
    for (const auto& job : window.table().jobs()) {
        EXPECT_FALSE(job.Probed);
        EXPECT_EQ(job.Duration, "");
        EXPECT_EQ(job.FileSize, "1 Bytes") << "the size is known at once";
        EXPECT_EQ(statusText(job), "Waiting Conversion");
    }
    EXPECT_TRUE(planned(window.table()).empty());

    EXPECT_TRUE(window.table().setProbedDuration(files[1], "03:07"));
    EXPECT_TRUE(window.table().setProbedDuration(files[2], DurationError));
    EXPECT_FALSE(window.table().setProbedDuration(files[1], "00:00")) << "a job is probed once";
    EXPECT_FALSE(window.table().setProbedDuration((dir / "never added.mp3").string(), "00:01"));
    EXPECT_EQ(window.table().at(1).Duration, "03:07");
    EXPECT_EQ(statusText(window.table().at(2)), "Codec Not Supported");
    EXPECT_EQ(planned(window.table()), (std::vector{files[1]})) << "probed and convertible";
}

TEST(AddingInTheBackground, RemovingOtherJobsKeepsEachJobsRootAndProbe)
{
    test::TempDir dir;
    Window window;
    std::filesystem::create_directories(dir / "top" / "sub");
    test::writeFile(dir / "top" / "a.flac", "x");
    test::writeFile(dir / "top" / "sub" / "b.flac", "x");
    window.adder.addFolderFiles((dir / "top").string(), true);
    ASSERT_EQ(window.table().size(), 2u);
    window.table().setCheckBox(0, 1);
    window.adder.AddFile2Grid(window.queue.paths[0]); // a duplicate, refused
    window.selection.removeTickedJobs();

    ASSERT_EQ(window.table().size(), 1u);
    EXPECT_EQ(window.table().at(0).Root, (dir / "top").string());
    EXPECT_FALSE(window.table().at(0).Probed);
    EXPECT_FALSE(window.table().setProbedDuration(window.queue.paths[0], "00:01")) << "its job was removed";
    EXPECT_TRUE(window.table().setProbedDuration(window.queue.paths[1], "00:01"));
}

// Turns that wait until the test runs them.
struct HeldTurns : LaterQueue {
    std::deque<std::function<void()>> work;
    void later(std::function<void()> next) override { work.push_back(std::move(next)); }
    int runAll()
    {
        int turns = 0;
        while (!work.empty()) {
            auto next = std::move(work.front());
            work.pop_front();
            next();
            ++turns;
        }
        return turns;
    }
};

TEST(AddingInTurns, RoadsGoOnInTurnsOneAfterTheOtherAndWarnWhenEachEnds)
{
    test::TempDir dir;
    Window window;
    HeldTurns turns;
    window.adder.addInTurns(&turns, std::chrono::milliseconds(0));
    std::filesystem::create_directories(dir / "tree" / "sub");
    for (const char* name : {"tree/a.flac", "tree/b.txt", "tree/sub/c.flac", "single.opus"})
        test::writeFile(dir / name, "x");
    std::filesystem::create_directories(dir / "empty");

    window.adder.addFolderFiles((dir / "tree").string(), true);
    EXPECT_TRUE(window.adder.adding());
    EXPECT_EQ(window.table().size(), 0u) << "a turn adds at least one thing: here the top folder's listing";
    window.adder.addDroppedFiles({(dir / "single.opus").string()});
    window.adder.addFolderFiles((dir / "empty").string(), false);
    EXPECT_TRUE(window.messages.shown.empty()) << "nothing is said before a road ends";

    EXPECT_GE(turns.runAll(), 5);
    EXPECT_FALSE(window.adder.adding());
    std::vector<std::string> paths;
    for (const auto& job : window.table().jobs())
        paths.push_back(job.FilePath);
    EXPECT_EQ(paths,
              (std::vector<std::string>{(dir / "tree" / "a.flac").string(), (dir / "tree" / "sub" / "c.flac").string(),
                                        (dir / "single.opus").string()}));
    ASSERT_EQ(window.messages.shown.size(), 2u);
    EXPECT_EQ(window.messages.shown[0].text, "Some files are not supported or already exist and will not be added");
    EXPECT_EQ(window.messages.shown[1].text, "Selected Folder is empty.");
}

} // namespace
} // namespace tunevale
