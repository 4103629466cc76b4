#include "SyncRun.h"

#include "JobReporter.h"
#include "LibraryDatabase.h"
#include "OutputRewrite.h"
#include "PendingOutputFile.h"
#include "SourceScan.h"
#include "StopSignals.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace tunevale
{

namespace
{

namespace fs = std::filesystem;

// Rows are stored in transactions of at most this long, so that a large first sync does not wait for
// the disk after every file; a row is stored only after its file is in place. Outputs placed but not
// yet stored are known by the record they carry (OutputOrigin); in a mirror that keeps no such
// records each row is stored at once.
constexpr auto CommitInterval = std::chrono::milliseconds(500);
// Re-tags under way at once: they wait on the disk, not the processor.
constexpr std::size_t RetagsAtOnce = 8;

// A source's loudness as its row keeps it, good for the audio it was measured from.
struct StoredLoudness {
    std::string audioIdentity;
    std::string measurement; // TrackLoudness::serialise()
    double appliedGain = 0;  // dB, the normalising gain of the output
};

std::string parentOf(const std::string& relative)
{
    const auto slash = relative.rfind('/');
    return slash == std::string::npos ? std::string() : relative.substr(0, slash);
}

// Changes to the database, grouped in transactions that are committed every interval.
class RowWriter
{
public:
    RowWriter(LibraryDatabase& database, std::chrono::milliseconds interval)
        : m_database(database), m_interval(interval)
    {
    }
    ~RowWriter() { commit(); }

    bool put(const OutputRecord& row) { return begin() && m_database.putOutput(row) && due(); }
    bool putCopy(const CopyRecord& row) { return begin() && m_database.putCopy(row) && due(); }
    bool remove(const std::string& source) { return begin() && m_database.removeOutput(source) && due(); }
    bool removeCopy(const std::string& source) { return begin() && m_database.removeCopy(source) && due(); }

    bool commit()
    {
        if (!m_transaction)
            return true;
        const bool committed = m_transaction->commit();
        m_transaction.reset();
        return committed;
    }

    const std::string& error() const { return m_database.lastError(); }

private:
    bool begin()
    {
        if (!m_transaction) {
            m_transaction = std::make_unique<LibraryDatabase::Transaction>(m_database);
            m_begun = std::chrono::steady_clock::now();
        }
        return m_transaction->active();
    }
    bool due() { return std::chrono::steady_clock::now() - m_begun < m_interval || commit(); }

    LibraryDatabase& m_database;
    const std::chrono::milliseconds m_interval;
    std::unique_ptr<LibraryDatabase::Transaction> m_transaction;
    std::chrono::steady_clock::time_point m_begun;
};

class SyncExecutor
{
public:
    SyncExecutor(const SyncTarget& target, LibraryDatabase& database, const ConversionServices& services,
                 JobReporter& reporter)
        : m_target(target), m_services(services), m_reporter(reporter),
          m_rows(database, target.outputsKeepRecords ? CommitInterval : std::chrono::milliseconds(0))
    {
        for (const auto& row : target.rows)
            m_loudness.emplace(row.source, StoredLoudness{row.audioIdentity, row.loudness, row.appliedGain});
    }

    bool run(const SyncPlan& plan)
    {
        std::vector<PlannedOutput> toRetag;
        for (const auto& planned : plan.outputs) {
            if (stopped())
                break;
            switch (planned.action) {
            case SyncAction::Move:
                move(planned, toRetag);
                break;
            case SyncAction::Retag:
                if (planned.previousOutput.empty() || moveFile(planned))
                    toRetag.push_back(planned);
                break;
            case SyncAction::Unchanged:
                if (planned.refreshRecord)
                    store(planned);
                break;
            case SyncAction::Gone:
                gone(planned, false);
                break;
            case SyncAction::UserChanged:
                report(planned, JobReport::Outcome::Kept, "user-changed",
                       "changed since the sync made it; --force converts it again");
                break;
            case SyncAction::Unreadable:
                report(planned, JobReport::Outcome::Error, "convert", "the source cannot be read as audio");
                break;
            case SyncAction::Convert:
            case SyncAction::Copy:
                break;
            }
        }
        retagAll(toRetag);
        if (!stopped())
            convert(plan);
        for (const auto& planned : plan.copies) {
            if (stopped())
                break;
            if (planned.action == SyncAction::Copy)
                copy(planned);
            else if (planned.action == SyncAction::Move)
                moveCopy(planned);
            else if (planned.action == SyncAction::Gone)
                gone(planned, true);
            else if (planned.action == SyncAction::UserChanged)
                report(planned, JobReport::Outcome::Kept, "user-changed",
                       "changed since the sync copied it; --force copies it again");
            else if (planned.refreshRecord)
                storeCopy(planned);
        }
        if (!m_rows.commit())
            fail("the database could not be written: " + m_rows.error());
        return !m_failed;
    }

private:
    std::string inSource(const std::string& relative) const { return m_target.source + '/' + relative; }
    std::string inMirror(const std::string& relative) const { return m_target.dest + '/' + relative; }

    bool stopped() { return m_services.stopSignals.received() || m_services.stopSignals.wait({}) != 0; }

    void report(const PlannedOutput& planned, JobReport::Outcome outcome, const char* action, std::string error = {})
    {
        if (outcome == JobReport::Outcome::Error)
            m_failed = true;
        m_reporter.jobEnded({planned.source, planned.output, outcome, 0, std::move(error), {}, action});
    }

    void fail(const std::string& error)
    {
        m_failed = true;
        std::fprintf(stderr, "tunevale-cli sync: %s\n", error.c_str());
    }

    void checked(bool written)
    {
        if (!written)
            fail("the database could not be written: " + m_rows.error());
    }

    OutputRecord rowOf(const PlannedOutput& planned, const std::string& loudnessOf) const
    {
        OutputRecord row;
        row.source = planned.source;
        row.sourceStamp = planned.sourceStamp;
        row.audioIdentity = planned.facts.audioIdentity;
        row.tagsHash = planned.facts.tagsHash;
        row.settings = m_target.options.settings;
        row.output = planned.output;
        row.outputStamp = fileStamp(inMirror(planned.output)).value_or(FileStamp{});
        if (const StoredLoudness* stored = storedLoudness(planned, loudnessOf)) {
            row.loudness = stored->measurement;
            row.appliedGain = stored->appliedGain;
        }
        return row;
    }

    // The loudness kept under that source's name, when it was measured from the planned source's audio.
    const StoredLoudness* storedLoudness(const PlannedOutput& planned, const std::string& loudnessOf) const
    {
        const auto stored = m_loudness.find(loudnessOf);
        return stored != m_loudness.end() && stored->second.audioIdentity == planned.facts.audioIdentity
                   ? &stored->second
                   : nullptr;
    }

    std::optional<TrackLoudness> measurementOf(const PlannedOutput& planned, const std::string& loudnessOf) const
    {
        const StoredLoudness* stored = storedLoudness(planned, loudnessOf);
        return stored ? TrackLoudness::parse(stored->measurement) : std::nullopt;
    }

    static const std::string& loudnessKey(const PlannedOutput& planned)
    {
        return planned.previousSource.empty() ? planned.source : planned.previousSource;
    }

    // The outputs that stay as they are but may share an album with a source converted now: those in
    // the folders of the converted sources (an album is in one folder, or is found by its tags there).
    std::vector<const PlannedOutput*> albumMates(const SyncPlan& plan) const
    {
        std::vector<const PlannedOutput*> mates;
        if (!m_target.conversion.replayGain)
            return mates;
        std::unordered_set<std::string> folders;
        for (const auto& output : plan.outputs)
            if (output.action == SyncAction::Convert)
                folders.insert(parentOf(output.source));
        for (const auto& output : plan.outputs) {
            const bool stays = output.action == SyncAction::Unchanged || output.action == SyncAction::Retag ||
                               output.action == SyncAction::Move;
            if (stays && folders.contains(parentOf(output.source)) && fileStamp(inMirror(output.output)))
                mates.push_back(&output);
        }
        return mates;
    }

    void store(const PlannedOutput& planned)
    {
        if (!planned.previousSource.empty())
            checked(m_rows.remove(planned.previousSource));
        checked(m_rows.put(rowOf(planned, planned.previousSource.empty() ? planned.source : planned.previousSource)));
    }

    // Removes the folders of the mirror that the removal or move of a file left empty.
    void removeEmptyFolders(std::string folder) const
    {
        for (; !folder.empty(); folder = parentOf(folder))
            if (::rmdir(inMirror(folder).c_str()) != 0)
                break;
    }

    // Moves previousOutput to output, never over anything; true when the output is in place (a sync
    // that stopped before storing the rows may have moved it already).
    bool moveFile(const PlannedOutput& planned)
    {
        const std::string from = inMirror(planned.previousOutput);
        const std::string to = inMirror(planned.output);
        if (!fileStamp(from) && fileStamp(to))
            return true;
        std::error_code ignored;
        fs::create_directories(fs::path(to).parent_path(), ignored);
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
            report(planned, JobReport::Outcome::Error, "move",
                   "the output could not be moved from " + planned.previousOutput + ": " + std::strerror(errno));
            return false;
        }
        removeEmptyFolders(parentOf(planned.previousOutput));
        return true;
    }

    // A moved output whose tags changed too joins toRetag.
    void move(const PlannedOutput& planned, std::vector<PlannedOutput>& toRetag)
    {
        if (!moveFile(planned))
            return;
        if (planned.retag) {
            // The row moves with the file first, so that a stop before the new tags loses nothing.
            auto moved = planned;
            moved.facts.tagsHash.clear();
            store(moved);
            auto tagged = planned;
            tagged.previousSource.clear();
            toRetag.push_back(std::move(tagged));
            return;
        }
        store(planned);
        report(planned, JobReport::Outcome::Complete, "move");
    }

    // Re-tags the outputs, several at once: a re-tag waits mostly on the disk (its copy made durable,
    // the old file's blocks freed), and the file system groups that work when it comes together.
    // Reported and stored in plan order, as each is done; a stop leaves the rest for the next sync.
    void retagAll(const std::vector<PlannedOutput>& planned)
    {
        // Outputs made without tags (--no-tags) keep none: only the rows learn the new tags.
        if (!m_target.conversion.carryTags) {
            for (const PlannedOutput& output : planned)
                store(output);
            return;
        }
        enum class Retagged { Waiting, Done, Failed, NotStarted };
        std::vector<Retagged> results(planned.size(), Retagged::Waiting);
        std::vector<std::string> errors(planned.size());
        std::mutex mutex;
        std::condition_variable resultReady;
        std::atomic<std::size_t> next = 0;
        const auto work = [&] {
            for (std::size_t i; (i = next++) < planned.size();) {
                const PlannedOutput& output = planned[i];
                std::string error;
                const bool started = !m_services.stopSignals.received();
                const bool done =
                    started && retagOutput(inMirror(output.output), m_target.conversion, output.facts.tags,
                                           output.sourceStamp, m_target.runFingerprint, error);
                const std::lock_guard lock(mutex);
                results[i] = !started ? Retagged::NotStarted : done ? Retagged::Done : Retagged::Failed;
                errors[i] = std::move(error);
                resultReady.notify_all();
            }
        };
        {
            std::vector<std::jthread> workers;
            for (std::size_t n = std::min(planned.size(), RetagsAtOnce); n > 0; --n)
                workers.emplace_back(work);
            for (std::size_t i = 0; i < planned.size(); ++i) {
                std::unique_lock lock(mutex);
                while (results[i] == Retagged::Waiting)
                    if (!resultReady.wait_for(lock, std::chrono::milliseconds(50),
                                              [&] { return results[i] != Retagged::Waiting; })) {
                        // Takes a pending Ctrl+C, so that the workers start no more.
                        lock.unlock();
                        m_services.stopSignals.wait({});
                        lock.lock();
                    }
                const Retagged result = results[i];
                lock.unlock();
                if (result == Retagged::Failed)
                    report(planned[i], JobReport::Outcome::Error, "retag", errors[i]);
                else if (result == Retagged::Done) {
                    store(planned[i]);
                    report(planned[i], JobReport::Outcome::Complete, "retag");
                }
            }
        }
    }

    void gone(const PlannedOutput& planned, bool isCopy)
    {
        if (planned.deleteOutput) {
            if (::unlink(inMirror(planned.output).c_str()) != 0 && errno != ENOENT) {
                report(planned, JobReport::Outcome::Error, "delete", std::strerror(errno));
                return;
            }
            removeEmptyFolders(parentOf(planned.output));
        }
        if (planned.forgetRecord)
            checked(isCopy ? m_rows.removeCopy(planned.source) : m_rows.remove(planned.source));
        if (planned.deleteOutput)
            report(planned, JobReport::Outcome::Complete, "delete");
        else
            report(planned, JobReport::Outcome::Kept, "gone",
                   planned.forgetRecord ? "the source is gone; the output was changed since the sync made it"
                                        : "the source is gone; --delete removes its output");
    }

    void convert(const SyncPlan& plan)
    {
        std::vector<RunJob> jobs;
        std::vector<const PlannedOutput*> planned;
        for (const auto& output : plan.outputs) {
            if (output.action != SyncAction::Convert)
                continue;
            RunJob job;
            job.row = planned.size();
            job.source = inSource(output.source);
            job.outputPath = inMirror(output.output);
            job.folder = parentOf(job.outputPath);
            job.root = m_target.source;
            // An output of this source under that name is replaced; a new one never replaces anything.
            job.replaceOutput = output.previousOutput.empty() && output.reason != ConvertReason::New &&
                                output.reason != ConvertReason::OutputDeleted;
            job.storedLoudness = measurementOf(output, output.source);
            jobs.push_back(std::move(job));
            planned.push_back(&output);
        }
        if (jobs.empty())
            return;
        const std::vector<const PlannedOutput*> mates = albumMates(plan);
        KeptOutputs kept;
        for (const PlannedOutput* mate : mates) {
            const StoredLoudness* stored = storedLoudness(*mate, loudnessKey(*mate));
            kept.outputs.push_back({inSource(mate->source), inMirror(mate->output),
                                    measurementOf(*mate, loudnessKey(*mate)), stored ? stored->appliedGain : 0.0,
                                    m_target.outputsKeepRecords
                                        ? std::optional(std::pair(mate->sourceStamp, m_target.runFingerprint))
                                        : std::nullopt});
        }
        std::vector<const PlannedOutput*> completed;
        runJobs(
            std::move(jobs), m_target.conversion, m_target.parallel, m_services, m_reporter,
            [&](const RunJob& job, const RunJobStatus& status, JobReport& report) {
                const PlannedOutput& output = *planned[job.row];
                report.action = "convert";
                report.source = output.source;
                report.output = status.state == JobState::Complete ? output.output : std::string();
                if (report.outcome == JobReport::Outcome::Error)
                    m_failed = true;
                if (status.state != JobState::Complete)
                    return;
                if (status.sourceLoudness)
                    m_loudness[output.source] = {output.facts.audioIdentity, status.sourceLoudness->serialise(),
                                                 status.appliedGain};
                checked(m_rows.put(rowOf(output, output.source)));
                completed.push_back(&output);
                if (!output.previousOutput.empty()) {
                    ::unlink(inMirror(output.previousOutput).c_str());
                    removeEmptyFolders(parentOf(output.previousOutput));
                }
            },
            &kept);
        // The run's last step writes album gains into outputs whose rows are stored: their rows
        // learn the outputs' stamps as they now are, and the kept outputs' rows what was measured.
        for (const PlannedOutput* output : completed)
            checked(m_rows.put(rowOf(*output, output->source)));
        for (std::size_t i = 0; i < kept.outcomes.size(); ++i) {
            const PlannedOutput& mate = *mates[i];
            const KeptOutcome& outcome = kept.outcomes[i];
            if (outcome.measured)
                m_loudness[loudnessKey(mate)] = {mate.facts.audioIdentity, outcome.measured->serialise(),
                                                 kept.outputs[i].appliedGain};
            if (outcome.measured || outcome.regained)
                checked(m_rows.put(rowOf(mate, loudnessKey(mate))));
            if (outcome.regained)
                report(mate, JobReport::Outcome::Complete, "album-gain");
        }
    }

    void copy(const PlannedOutput& planned)
    {
        std::string error;
        const bool replace = fileStamp(inMirror(planned.output)).has_value();
        if (!copyFileInto(inSource(planned.source), inMirror(planned.output), replace, error)) {
            report(planned, JobReport::Outcome::Error, "copy", error);
            return;
        }
        storeCopy(planned);
        report(planned, JobReport::Outcome::Complete, "copy");
    }

    void moveCopy(const PlannedOutput& planned)
    {
        if (!moveFile(planned))
            return;
        checked(m_rows.removeCopy(planned.previousSource));
        storeCopy(planned);
        report(planned, JobReport::Outcome::Complete, "move");
    }

    void storeCopy(const PlannedOutput& planned)
    {
        checked(m_rows.putCopy({planned.source, planned.sourceStamp, planned.output,
                                fileStamp(inMirror(planned.output)).value_or(FileStamp{})}));
    }

    const SyncTarget& m_target;
    const ConversionServices& m_services;
    JobReporter& m_reporter;
    RowWriter m_rows;
    std::unordered_map<std::string, StoredLoudness> m_loudness; // by source
    bool m_failed = false;
};

} // namespace

bool carryOutSync(const SyncPlan& plan, const SyncTarget& target, LibraryDatabase& database,
                  const ConversionServices& services, JobReporter& reporter)
{
    return SyncExecutor(target, database, services, reporter).run(plan);
}

void removeLeftoversBelow(const std::string& dest)
{
    removeLeftoverOutputs(dest);
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(dest, fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (!it->is_directory(error) || it->is_symlink(error))
            continue;
        const std::string name = it->path().filename().string();
        if (name == ".tunevale" || name.starts_with(PrivateFolderPrefix)) {
            it.disable_recursion_pending();
            continue;
        }
        removeLeftoverOutputs(it->path().string());
    }
}

} // namespace tunevale
