#pragma once

#include "ConversionOptions.h"
#include "Job.h"
#include "JobContext.h"
#include "NormalisingGains.h"
#include "OutputNaming.h"
#include "PendingOutputFile.h"
#include "RunLoudness.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tunevale
{

class Engine;
class ErrorLog;
class WmaBitrateListView;

// One job of a run: the source, its row in the job list and its output folder, which the run's
// owner has made sure exists; root is the folder the source was added from ("" for its own folder).
struct RunJob {
    std::size_t row = 0;
    std::string source;
    std::string folder;
    std::string root;
    // Set by a caller that chose the output itself (a sync): its full path, placed over what holds
    // it when replaceOutput, else only where nothing does; the layout and naming options are not used.
    std::string outputPath;
    bool replaceOutput = false;
    // The source's loudness as an earlier run measured it: the measuring pass of a normalised run
    // takes it (when it holds the true peak) instead of decoding the source again; a job that
    // measures the same again leaves its album as the kept outputs' tags know it.
    std::optional<TrackLoudness> storedLoudness = {};
};

// An output an earlier run made that stays as it is but may share an album with the run's jobs (a
// library sync): when that album gets its album gain, so does this output, re-tagged in place.
struct KeptOutput {
    std::string source; // full paths
    std::string output;
    // The source's loudness as stored, with the peak the run's gain tags want; none: measured
    // (decoded) only when its album gets an album gain.
    std::optional<TrackLoudness> loudness;
    double appliedGain = 0;                                  // dB, the normalising gain the output was made with
    std::optional<std::pair<FileStamp, std::string>> origin; // recorded again on the re-tagged output
};

// What became of a kept output once the run has finished.
struct KeptOutcome {
    bool regained = false;                 // it carries its album's gain now
    std::optional<TrackLoudness> measured; // its source's loudness, when the run had to measure it
};

// How a job of the run stands: its state, its progress, and once it has ended the output it
// wrote, why it failed, what a completed job lacks and how long it took.
struct RunJobStatus {
    JobState state = JobState::WaitingConversion;
    float progress = 0;
    std::string output;
    std::string failure;
    std::string warning; // "tags not written: ..." when the output lacks some of the source's tags
    double seconds = 0;
    bool verified = false;               // a lossless output decoded back to exactly the audio encoded
    std::optional<JobLoudness> loudness; // a complete job's, when ReplayGain is on
    bool measured = false;               // the measuring pass of a normalised run has been through the job
    // A complete job's source as measured before any gain (the peak: the measuring pass's true one,
    // else the one the gain tags want), for a library to keep.
    std::optional<TrackLoudness> sourceLoudness;
    double appliedGain = 0; // dB, the normalising gain a complete job's audio was converted with
};

// A conversion run: converts its jobs with up to `parallel` at once on worker threads, starting
// them in record order, each reserving its output name the moment it starts (the names of a
// one-at-a-time run). Each output is written in a private folder and placed under its name only
// when complete (tags included); an output folder that went during the run is made again for the
// next job, and the first job in each folder removes what killed runs left there. Progress is kept
// per job for the owner's thread to read at its own pace; no job list, model or widget is touched
// from a worker. A stop ends the running jobs "Cancelled", without their partial outputs, and
// starts no more: those keep waiting. With ReplayGain on, each job's PCM is measured as it is
// decoded and its output tagged with its track gain; once every job has ended, the albums among
// them get their album gains (before finished() turns true), kept outputs of those albums too.
// So that an output is written once, not again for its album gain, a measured job's complete
// output waits unplaced (the job shows Complete, and ends to onJobEnded once it is placed) until
// its album is settled: its album gains go into the private file, and then it takes its name.
// Normalising, the workers first claim every job's output name in record order and decode each
// source whose output is not up to date to measure it (state Measuring, with its progress), unless
// its loudness was stored; then each job's audio is converted with its gain applied.
class ConversionRun
{
public:
    // parallel 0 takes one job per online core.
    ConversionRun(Engine& engine, ErrorLog& log, ConversionOptions options, std::vector<RunJob> jobs, unsigned parallel,
                  WmaBitrateListView* bitrateView = nullptr);
    // Stops the run and waits for its workers.
    ~ConversionRun();
    ConversionRun(const ConversionRun&) = delete;
    ConversionRun& operator=(const ConversionRun&) = delete;

    // Called on a worker thread as each job ends, in the order they end; set before start().
    std::function<void(std::size_t index, const RunJobStatus& status)> onJobEnded;
    // Outputs outside the run that share albums with its jobs; set before start().
    void keepOutputs(std::vector<KeptOutput> kept);
    // Once finished(): what became of each kept output, in the order given.
    std::vector<KeptOutcome> keptOutcomes() const;

    void start();
    void requestStop() { m_stop = true; }
    bool stopRequested() const { return m_stop; }
    // True once every worker has ended.
    bool finished() const;
    // Waits until the run has finished or the time is up; true when it has finished.
    bool waitFor(std::chrono::milliseconds timeout);

    const std::vector<RunJob>& jobs() const { return m_jobs; }
    const ConversionOptions& options() const { return m_options; }
    RunJobStatus status(std::size_t index) const;
    // How many jobs were handed to a writer.
    std::size_t startedCount() const;
    unsigned workerCount() const { return m_parallel; }

    static unsigned automaticParallel();

private:
    class Slot;
    void work();
    // The measuring pass of a normalised run; returns once every worker has ended it.
    void measureSources();
    // The source's loudness for the measuring pass: stored, or decoded while the slot shows progress.
    MeasuredSource measureSource(std::size_t index);
    void convert(std::size_t index, PendingOutputFile& output, OutputTarget target);
    // Gives the complete output its claimed name, or the next free one when something took that
    // meanwhile; target.path becomes the name it got. False with failure set when it could not be placed.
    bool place(PendingOutputFile& output, OutputTarget& target, std::string& failure);
    void releaseName(const std::string& name);
    // A complete output held back until its album is settled (status: the job's, complete).
    struct Held {
        std::size_t index = 0;
        PendingOutputFile output;
        OutputTarget target;
        RunJobStatus status;
        std::optional<GainTags> albumGains; // once its album is settled, when it has them
        std::string failure;                // why it cannot be placed
    };
    void hold(Held held);
    // Places the held outputs whose albums are settled, each with its album's gains; all of them
    // once every job has ended.
    void placeSettledOutputs();
    // Writes a settled output's album gains into its private file and to the disk.
    void writeAlbumGainsInto(Held& held);
    // Gives a settled output its name and ends its job.
    void placeHeld(Held& held);
    // The last worker's task: album gains for the albums whose every track was measured.
    void writeAlbumGains();

    Engine& m_engine;
    ErrorLog& m_log;
    const ConversionOptions m_options;
    const std::vector<RunJob> m_jobs;
    const unsigned m_parallel;
    const unsigned m_keptParallel; // kept outputs decoded at once: as asked, however few the jobs
    const unsigned m_cores;
    WmaBitrateListView* m_bitrateView;

    std::vector<std::unique_ptr<Slot>> m_slots;
    std::atomic<bool> m_stop{false};
    std::mutex m_startMutex; // jobs are taken, their names reserved and placed one at a time
    std::size_t m_next = 0;
    const std::string m_fingerprint;
    OutputNaming m_naming;
    std::vector<std::optional<OutputTarget>> m_claimed; // names claimed by the measuring pass
    std::set<std::string> m_cleanedFolders;             // the folders whose leftovers were removed
    std::atomic<std::size_t> m_started{0};
    RunLoudness m_loudness;
    bool m_holdForAlbums = false; // set by start()
    std::size_t m_heldAtMost = 0;
    std::mutex m_heldMutex;
    std::vector<Held> m_held;

    std::vector<KeptOutput> m_kept;
    std::vector<KeptOutcome> m_keptOutcomes; // written by the last worker

    std::mutex m_measureMutex;
    std::condition_variable m_allMeasured;
    std::size_t m_nextToMeasure = 0; // under m_startMutex
    unsigned m_measuringDone = 0;    // workers through the measuring pass
    std::vector<MeasuredSource> m_sources;

    mutable std::mutex m_endMutex;
    std::condition_variable m_ended;
    unsigned m_running = 0;
    unsigned m_working = 0; // workers still taking jobs
    std::vector<std::thread> m_workers;
};

} // namespace tunevale
