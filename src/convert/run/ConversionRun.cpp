#include "ConversionRun.h"

#include "DescriptorLimit.h"
#include "ErrorLog.h"
#include "FileEncoderWriter.h"
#include "FileLoudness.h"
#include "Mp3OggWriter.h"
#include "OutputOrigin.h"
#include "OutputTags.h"
#include "PendingOutputFile.h"
#include "SettingsFingerprint.h"
#include "WavWriter.h"
#include "WmaWriter.h"

#include <algorithm>
#include <atomic>

namespace tunevale
{

namespace
{

// The most complete outputs held back for their albums at once (fewer when the open-file limit
// leaves less room): beyond it the earliest are placed as they are, and their album gains written
// through copies at the end.
constexpr std::size_t MaxHeldOutputs = 40;
// Held outputs whose album gains are written and sent to the disk at once.
constexpr std::size_t GainWritesAtOnce = 8;

} // namespace

// The shared state of one job: written by the worker that converts it, read by the owner.
class ConversionRun::Slot : public JobContext
{
public:
    Slot(const std::atomic<bool>& stop, const ConversionOptions& options) : m_stop(stop)
    {
        if (options.replayGain)
            m_meter.emplace(options.truePeak ? PeakKind::True : PeakKind::Sample);
    }

    void setProgress(float percent) override { m_progress = percent; }
    bool cancelRequested() const override { return m_stop; }
    void decodedPcm(const ChannelInfo& format, const void* pcm, std::size_t bytes) override
    {
        if (m_meter)
            m_meter->add(format, pcm, bytes);
    }
    void setDecodeAhead(bool ahead) { m_decodeAhead = ahead; }
    bool decodeAhead() const override { return m_decodeAhead; }
    void setGainDb(double gain) { m_gain = gain; }
    double gainDb() const override { return m_gain; }
    // The job's loudness, when it is measured and the writer decoded something measurable.
    std::optional<TrackLoudness> loudness() const { return m_meter ? m_meter->result() : std::nullopt; }
    // What the measuring pass found of the source; set before the job starts.
    void setSourceLoudness(std::optional<TrackLoudness> loudness) { m_sourceLoudness = std::move(loudness); }
    const std::optional<TrackLoudness>& sourceLoudness() const { return m_sourceLoudness; }

    void beginMeasuring()
    {
        m_progress = 0;
        m_state = JobState::Measuring;
    }
    void endMeasuring()
    {
        m_progress = 0;
        m_measuredFirst = true;
        m_state = JobState::WaitingConversion;
    }
    void begin() { m_state = JobState::Converting; }
    void end(RunJobStatus status)
    {
        const std::lock_guard lock(m_mutex);
        m_output = std::move(status.output);
        m_failure = std::move(status.failure);
        m_warning = std::move(status.warning);
        m_seconds = status.seconds;
        m_verified = status.verified;
        m_measured = status.loudness;
        m_ended = std::move(status.sourceLoudness);
        m_appliedGain = status.appliedGain;
        m_state = status.state;
    }

    RunJobStatus status() const
    {
        RunJobStatus status;
        status.state = m_state;
        status.progress = m_progress;
        status.measured = m_measuredFirst;
        const std::lock_guard lock(m_mutex);
        status.output = m_output;
        status.failure = m_failure;
        status.warning = m_warning;
        status.seconds = m_seconds;
        status.verified = m_verified;
        status.loudness = m_measured;
        status.sourceLoudness = m_ended;
        status.appliedGain = m_appliedGain;
        return status;
    }

private:
    const std::atomic<bool>& m_stop;
    std::optional<JobMeter> m_meter;
    double m_gain = 0; // set before the job starts, by the measuring pass
    bool m_decodeAhead = false;
    std::optional<TrackLoudness> m_sourceLoudness;
    std::atomic<bool> m_measuredFirst{false};
    std::atomic<JobState> m_state{JobState::WaitingConversion};
    std::atomic<float> m_progress{0};
    mutable std::mutex m_mutex;
    std::string m_output;
    std::string m_failure;
    std::string m_warning;
    double m_seconds = 0;
    bool m_verified = false;
    std::optional<JobLoudness> m_measured;
    std::optional<TrackLoudness> m_ended; // the source's loudness as the job's end tells it
    double m_appliedGain = 0;
};

namespace
{

JobResult convertJob(Engine& engine, ErrorLog& log, const ConversionOptions& options, FileFormat format,
                     const std::string& source, PendingOutputFile& output, JobContext& context,
                     WmaBitrateListView* bitrateView, SourceTags* tags)
{
    switch (outputFormat(format).writer) {
    case FormatWriter::Wav:
        return ConvertToWAV(engine, context, log, source, output, tags);
    case FormatWriter::Wma:
        return ConvertToWMA(engine, context, log, source, output, options.wma, bitrateView, tags);
    case FormatWriter::FileEncoder:
        return ConvertWithFileEncoder(engine, context, log, source, output, encodeSetup(options, format), tags);
    case FormatWriter::EncoderProgram:
        break;
    }
    // The encoder is given the pending file's name; it runs in the file's private folder.
    const EncoderCommandLine command = *encoderCommand(options, output.fileName());
    return ConvertToMP3_OGG(engine, context, log, source, output, command.command, tags);
}

std::string joined(const std::vector<std::string>& items, const char* separator)
{
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : separator) + item;
    return text;
}

// Carries the source's tags, and the track's gains, into the finished output before it is placed
// (output: its path in this process; shown: its name in the log). A failure leaves the audio as it
// was: the job stays complete, and the log and the warning returned say which tags are missing; so
// they do for values too large for the output. Empty when the output carries every tag it can.
std::string carryTags(const ConversionOptions& options, FileFormat format, const SourceTags& tags,
                      const GainTags& gains, const std::string& source, const std::string& output,
                      const std::string& shown, ErrorLog& log)
{
    std::optional<TypedWmaTags> typed;
    if (format == FileFormat::WMA && options.wma.setTags)
        typed = TypedWmaTags{options.wma.tagNames, options.wma.tags};
    const TagWriteResult result = WriteOutputTags(output, tagFormatOf(format), tags, typed, gains);
    if (result.failed()) {
        std::vector<std::string> fields;
        for (TagField field : tagFieldsOf(tags))
            fields.push_back(tagFieldName(field));
        if (!gains.empty())
            fields.push_back("ReplayGain");
        log.append(EngineCode::TagsNotWritten, source,
                   joined(fields, ", ") + " not written to " + shown + ": " + result.error);
        return "tags not written: " + result.error;
    }
    if (result.dropped.empty())
        return {};
    const std::string dropped = joined(result.dropped, "; ");
    log.append(EngineCode::TagsLeftOut, source, dropped + " left out of " + shown);
    return "tags left out: " + dropped;
}

JobState finalState(JobOutcome outcome)
{
    switch (outcome) {
    case JobOutcome::Complete:
        return JobState::Complete;
    case JobOutcome::Cancelled:
        return JobState::Cancelled;
    case JobOutcome::Error:
        break;
    }
    return JobState::Error;
}

} // namespace

unsigned ConversionRun::automaticParallel()
{
    return std::max(1u, std::thread::hardware_concurrency());
}

ConversionRun::ConversionRun(Engine& engine, ErrorLog& log, ConversionOptions options, std::vector<RunJob> jobs,
                             unsigned parallel, WmaBitrateListView* bitrateView)
    : m_engine(engine), m_log(log), m_options(std::move(options)), m_jobs(std::move(jobs)),
      m_parallel(std::clamp<unsigned>(parallel == 0 ? automaticParallel() : parallel, 1,
                                      std::max<std::size_t>(1, m_jobs.size()))),
      m_keptParallel(parallel == 0 ? automaticParallel() : parallel), m_cores(automaticParallel()),
      m_bitrateView(bitrateView), m_fingerprint(outputSettingsFingerprint(m_options)),
      m_naming(m_options, m_fingerprint), m_claimed(m_jobs.size()), m_loudness(m_jobs.size()), m_sources(m_jobs.size())
{
    for (std::size_t i = 0; i < m_jobs.size(); ++i)
        m_slots.push_back(std::make_unique<Slot>(m_stop, m_options));
}

ConversionRun::~ConversionRun()
{
    m_stop = true;
    for (auto& worker : m_workers)
        if (worker.joinable())
            worker.join();
}

void ConversionRun::start()
{
    m_heldAtMost = std::min(MaxHeldOutputs, heldOutputsWithin(descriptorLimit(), m_parallel));
    // Kept outputs share albums that only the run's end can settle.
    m_holdForAlbums = m_options.replayGain && m_options.format && m_kept.empty() &&
                      tagFormatOf(*m_options.format) != OutputTagFormat::Wav && m_heldAtMost > 0;
    const std::lock_guard lock(m_endMutex);
    m_running = m_parallel;
    m_working = m_parallel;
    for (unsigned i = 0; i < m_parallel; ++i)
        m_workers.emplace_back([this] { work(); });
}

bool ConversionRun::finished() const
{
    const std::lock_guard lock(m_endMutex);
    return m_running == 0;
}

bool ConversionRun::waitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_endMutex);
    return m_ended.wait_for(lock, timeout, [this] { return m_running == 0; });
}

RunJobStatus ConversionRun::status(std::size_t index) const
{
    return m_slots.at(index)->status();
}

std::size_t ConversionRun::startedCount() const
{
    return m_started;
}

void ConversionRun::keepOutputs(std::vector<KeptOutput> kept)
{
    m_kept = std::move(kept);
}

std::vector<KeptOutcome> ConversionRun::keptOutcomes() const
{
    const std::lock_guard lock(m_endMutex);
    return m_keptOutcomes;
}

MeasuredSource ConversionRun::measureSource(std::size_t index)
{
    const RunJob& job = m_jobs[index];
    Slot& slot = *m_slots[index];
    if (job.storedLoudness && job.storedLoudness->peakKind == PeakKind::True) {
        const SourceTags tags = tagsForNaming(m_engine, job.source);
        return {{job.source, tags.album, tags.albumArtist}, job.storedLoudness};
    }
    slot.beginMeasuring();
    // The true peak whatever the tags show: it is what keeps the normalised audio unclipped.
    const FileLoudness measured = measureFile(m_engine, job.source, PeakKind::True, m_stop,
                                              [&slot](float percent) { slot.setProgress(percent); });
    slot.endMeasuring();
    return {{job.source, measured.tags.album, measured.tags.albumArtist},
            measured.measured() ? std::optional(measured.loudness) : std::nullopt};
}

void ConversionRun::measureSources()
{
    for (;;) {
        std::size_t index = 0;
        {
            // Names are claimed here, in record order as always, so that a job whose output is up
            // to date is known before it would be decoded for nothing.
            const std::lock_guard lock(m_startMutex);
            if (m_stop || m_nextToMeasure >= m_jobs.size())
                break;
            index = m_nextToMeasure++;
            const RunJob& job = m_jobs[index];
            m_claimed[index] =
                m_naming.claim(job, m_naming.needsTags() ? tagsForNaming(m_engine, job.source) : SourceTags{});
        }
        if (m_claimed[index]->upToDate || m_claimed[index]->path.empty())
            continue;
        MeasuredSource measured = measureSource(index);
        m_slots[index]->setSourceLoudness(measured.loudness);
        const std::lock_guard lock(m_measureMutex);
        m_sources[index] = std::move(measured);
    }
    std::unique_lock lock(m_measureMutex);
    if (++m_measuringDone < m_parallel) {
        m_allMeasured.wait(lock, [this] { return m_measuringDone == m_parallel; });
        return;
    }
    const std::vector<double> gains = normalisingGains(m_sources, m_options.normalize, m_options.targetLufs);
    for (std::size_t i = 0; i < gains.size(); ++i)
        m_slots[i]->setGainDb(gains[i]);
    m_sources.clear();
    m_allMeasured.notify_all();
}

void ConversionRun::work()
{
    if (m_options.normalize != NormalizeChoice::Off && m_options.format)
        measureSources();
    for (;;) {
        std::size_t index = 0;
        PendingOutputFile output;
        OutputTarget target;
        {
            // Jobs are taken and their names reserved in record order, so two jobs never meet on
            // one name and each gets the name a one-at-a-time run would give it.
            const std::lock_guard lock(m_startMutex);
            if (m_stop || m_next >= m_jobs.size())
                break;
            index = m_next++;
            ++m_started;
            // With no format chosen a job is passed over and keeps its state.
            if (!m_options.format)
                continue;
            m_slots[index]->begin();
            const RunJob& job = m_jobs[index];
            if (m_claimed[index])
                target = std::move(*m_claimed[index]);
            else
                target = m_naming.claim(job, m_naming.needsTags() ? tagsForNaming(m_engine, job.source) : SourceTags{});
            if (!target.path.empty() && !target.upToDate) {
                output = PendingOutputFile::create(target.folder, outputExtension(*m_options.format), target.failure);
                if (!output.valid()) {
                    m_naming.release(target.path);
                    target.path.clear();
                } else if (m_cleanedFolders.insert(target.folder).second) {
                    removeLeftoverOutputs(target.folder);
                }
            }
        }
        {
            // Fewer jobs than cores (one at a time, or the last of a run): each may use two.
            const std::lock_guard lock(m_endMutex);
            m_slots[index]->setDecodeAhead(m_working < m_cores);
        }
        convert(index, output, std::move(target));
    }
    bool last = false;
    {
        const std::lock_guard lock(m_endMutex);
        last = --m_working == 0;
    }
    if (last && m_options.replayGain && m_options.format)
        writeAlbumGains();
    const std::lock_guard lock(m_endMutex);
    if (--m_running == 0)
        m_ended.notify_all();
}

void ConversionRun::writeAlbumGains()
{
    // The jobs that ended without telling their album (never started, up to date, failed before
    // their tags were read) are placed by their sources' tags, so they hold their albums back.
    for (std::size_t i = 0; i < m_jobs.size(); ++i)
        if (!m_loudness.told(i))
            m_loudness.leftUnmeasured(i, m_jobs[i].source, tagsForNaming(m_engine, m_jobs[i].source));
    placeSettledOutputs();
    const PeakKind peakKind = m_options.truePeak ? PeakKind::True : PeakKind::Sample;
    std::vector<KeptOutcome> outcomes(m_kept.size());
    for (const KeptOutput& kept : m_kept) {
        const auto loudness = kept.loudness && kept.loudness->peakKind == peakKind
                                  ? std::optional(amplified(*kept.loudness, kept.appliedGain))
                                  : std::nullopt;
        m_loudness.addKept(kept.source, tagsForNaming(m_engine, kept.source), loudness, kept.output,
                           tagFormatOf(*m_options.format), kept.origin);
    }
    // The other workers have ended: as many decode the kept outputs an album needs.
    const auto measureKept = [&](const std::vector<std::size_t>& kept) {
        std::vector<std::optional<TrackLoudness>> loudness(kept.size());
        std::atomic<std::size_t> next = 0;
        const auto measure = [&] {
            for (std::size_t n; (n = next++) < kept.size();) {
                const std::size_t i = kept[n];
                const FileLoudness measured = measureFile(m_engine, m_kept[i].source, peakKind, m_stop);
                if (!measured.measured())
                    continue;
                outcomes[i].measured = measured.loudness;
                loudness[n] = amplified(measured.loudness, m_kept[i].appliedGain);
            }
        };
        {
            std::vector<std::jthread> helpers;
            for (std::size_t n = std::min<std::size_t>(m_keptParallel, kept.size()); n > 1; --n)
                helpers.emplace_back(measure);
            measure();
        }
        return loudness;
    };
    for (const std::size_t i : m_loudness.writeAlbumGains(m_log, measureKept, m_keptParallel))
        outcomes[i].regained = true;
    const std::lock_guard lock(m_endMutex);
    m_keptOutcomes = std::move(outcomes);
}

void ConversionRun::convert(std::size_t index, PendingOutputFile& output, OutputTarget target)
{
    const auto began = std::chrono::steady_clock::now();
    Slot& slot = *m_slots[index];
    const RunJob& job = m_jobs[index];
    RunJobStatus status;
    if (target.upToDate) {
        // Told now, so that the albums after it need not wait for the run's end.
        if (m_holdForAlbums)
            m_loudness.leftUnmeasured(index, job.source, tagsForNaming(m_engine, job.source));
        status.state = JobState::UpToDate;
        status.output = target.path;
        slot.end(status);
        if (onJobEnded)
            onJobEnded(index, status);
        if (m_holdForAlbums)
            placeSettledOutputs();
        return;
    }
    SourceTags tags;
    std::string& name = target.path;
    JobResult result = !name.empty() ? convertJob(m_engine, m_log, m_options, *m_options.format, job.source, output,
                                                  slot, m_bitrateView, m_options.carryTags ? &tags : nullptr)
                                     : JobResult::error(std::move(target.failure));
    const std::optional<TrackLoudness> loudness =
        result.outcome == JobOutcome::Complete ? slot.loudness() : std::nullopt;
    const bool held = m_holdForAlbums && loudness;
    if (result.outcome == JobOutcome::Complete) {
        const GainTags gains = loudness ? trackGainTags(*loudness) : GainTags{};
        if (m_options.carryTags || !gains.empty())
            status.warning =
                carryTags(m_options, *m_options.format, tags, gains, job.source, output.pathInProcess(), name, m_log);
        if (target.sourceStamp)
            writeOutputOrigin(output.pathInProcess(), *target.sourceStamp, m_fingerprint);
        std::string placing;
        if (!output.flush(placing) || (!held && !place(output, target, placing)))
            result = JobResult::error(std::move(placing));
    }
    if (result.outcome != JobOutcome::Complete && !name.empty())
        releaseName(name);
    // A cancelled or failed job leaves nothing: its partial file goes with its private folder.
    if (!held || result.outcome != JobOutcome::Complete)
        output.discard();
    status.state = finalState(result.outcome);
    status.progress = slot.status().progress;
    status.failure = std::move(result.failure);
    if (result.outcome == JobOutcome::Complete) {
        status.output = name;
        status.verified = encodeSetup(m_options, *m_options.format).verify &&
                          outputFormat(*m_options.format).writer == FormatWriter::FileEncoder;
    }
    if (result.outcome == JobOutcome::Complete) {
        status.appliedGain = slot.gainDb();
        // Without a measuring pass the job's own measurement is the source's, as no gain was applied.
        status.sourceLoudness = slot.sourceLoudness() ? slot.sourceLoudness()
                                : slot.gainDb() == 0  ? loudness
                                                      : std::nullopt;
    }
    if (result.outcome == JobOutcome::Complete && loudness) {
        status.loudness = jobLoudnessOf(*loudness);
        status.loudness->appliedGain = slot.gainDb();
        m_loudness.completed(index, job.source, m_options.carryTags ? tags : tagsForNaming(m_engine, job.source),
                             *loudness, name, tagFormatOf(*m_options.format),
                             target.sourceStamp ? std::optional(std::pair(*target.sourceStamp, m_fingerprint))
                                                : std::nullopt);
        if (job.storedLoudness && status.sourceLoudness == job.storedLoudness)
            m_loudness.measuredAsBefore(index);
    } else if (!tags.empty() || m_holdForAlbums) {
        m_loudness.leftUnmeasured(index, job.source, !tags.empty() ? tags : tagsForNaming(m_engine, job.source));
    }
    status.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    slot.end(status);
    if (held && result.outcome == JobOutcome::Complete) {
        hold({index, std::move(output), std::move(target), std::move(status), std::nullopt, {}});
        return;
    }
    if (onJobEnded)
        onJobEnded(index, status);
    if (m_holdForAlbums)
        placeSettledOutputs(); // this job's end may settle the albums before it
}

void ConversionRun::hold(Held held)
{
    {
        const std::lock_guard lock(m_heldMutex);
        m_held.push_back(std::move(held));
    }
    placeSettledOutputs();
}

void ConversionRun::placeSettledOutputs()
{
    std::vector<Held> ready;
    {
        const std::lock_guard lock(m_heldMutex);
        const auto take = [this, &ready](std::size_t index, std::optional<GainTags> gains) {
            const auto found =
                std::find_if(m_held.begin(), m_held.end(), [index](const Held& h) { return h.index == index; });
            found->albumGains = std::move(gains);
            ready.push_back(std::move(*found));
            m_held.erase(found);
        };
        std::vector<std::size_t> waiting;
        for (const Held& h : m_held)
            waiting.push_back(h.index);
        for (const RunLoudness::SettledAlbum& album : m_loudness.settle(waiting))
            for (const std::size_t index : album.held)
                take(index, album.gains);
        // Too many waiting: the earliest take their names as they are.
        while (m_held.size() > m_heldAtMost)
            take(std::min_element(m_held.begin(), m_held.end(),
                                  [](const Held& a, const Held& b) { return a.index < b.index; })
                     ->index,
                 std::nullopt);
    }
    // Each gain write waits on the disk, not the processor: several at once.
    std::atomic<std::size_t> next = 0;
    const auto writeGains = [&] {
        for (std::size_t n; (n = next++) < ready.size();)
            writeAlbumGainsInto(ready[n]);
    };
    {
        std::vector<std::jthread> helpers;
        for (std::size_t n = std::min(GainWritesAtOnce, ready.size()); n > 1; --n)
            helpers.emplace_back(writeGains);
        writeGains();
    }
    std::sort(ready.begin(), ready.end(), [](const Held& a, const Held& b) { return a.index < b.index; });
    for (Held& held : ready)
        placeHeld(held);
}

void ConversionRun::writeAlbumGainsInto(Held& held)
{
    if (!held.albumGains)
        return;
    bool untouched = false;
    std::string error;
    if (!WritePrivateFileGainTags(held.output.pathInProcess(), tagFormatOf(*m_options.format), *held.albumGains, error,
                                  OtherGains::Kept, &untouched)) {
        held.albumGains.reset();
        // An output the gains found no room in is placed as it is; the run's end tries again
        // through a copy, and logs what keeps it from writing them. A failed edit may have
        // damaged the private file: it goes, and the job with it.
        if (!untouched) {
            held.failure = "the album gain could not be written to " + held.target.path + ": " + error;
            m_log.append(EngineCode::TagsNotWritten, m_jobs[held.index].source, held.failure);
        }
        return;
    }
    // The record of what the output was made from holds for the file as it is now.
    if (held.target.sourceStamp)
        writeOutputOrigin(held.output.pathInProcess(), *held.target.sourceStamp, m_fingerprint);
    held.output.flush(held.failure);
}

void ConversionRun::placeHeld(Held& held)
{
    RunJobStatus& status = held.status;
    std::string& name = held.target.path;
    const bool placed = held.failure.empty() && place(held.output, held.target, held.failure);
    if (!placed) {
        if (!name.empty())
            releaseName(name);
        status.state = JobState::Error;
        status.failure = std::move(held.failure);
        status.output.clear();
        status.verified = false;
        status.loudness.reset();
        status.sourceLoudness.reset();
    } else {
        status.output = name;
        if (held.albumGains)
            m_loudness.albumGainsWritten(held.index, *held.albumGains);
    }
    held.output.discard();
    m_loudness.placed(held.index, placed ? std::optional(name) : std::nullopt);
    m_slots[held.index]->end(status);
    if (onJobEnded)
        onJobEnded(held.index, status);
}

bool ConversionRun::place(PendingOutputFile& output, OutputTarget& target, std::string& failure)
{
    const std::lock_guard lock(m_startMutex);
    std::string& name = target.path;
    for (;;) {
        const std::string fileName = name.substr(name.rfind('/') + 1);
        const PendingOutputFile::Placement placement =
            target.replace ? output.placeOver(fileName, failure) : output.placeAs(fileName, failure);
        m_naming.release(name);
        switch (placement) {
        case PendingOutputFile::Placement::Placed:
            return true;
        case PendingOutputFile::Placement::Failed:
            name.clear();
            return false;
        case PendingOutputFile::Placement::NameTaken:
            if (target.chosen) {
                failure = "something else took the output's name " + name;
                name.clear();
                return false;
            }
            break;
        }
        // Something took the name meanwhile (or a folder holds it): the next free one, as a
        // one-at-a-time run would choose, never over what appeared.
        target.replace = false;
        name = m_naming.claimAgain(target);
        if (name.empty()) {
            failure = "no output file name could be claimed in " + target.folder;
            return false;
        }
    }
}

void ConversionRun::releaseName(const std::string& name)
{
    const std::lock_guard lock(m_startMutex);
    m_naming.release(name);
}

} // namespace tunevale
