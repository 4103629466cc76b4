#pragma once

#include "AlbumGrouping.h"
#include "Engine.h"
#include "LibraryRecords.h"
#include "LoudnessMeter.h"
#include "OutputTags.h"
#include "SourceTags.h"
#include "TrackLoudness.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tunevale
{

class ErrorLog;

// What a job's report says of its loudness: the track's measurement and the gain tags it got.
struct JobLoudness {
    std::optional<double> integrated; // LUFS; none for silence or audio shorter than 0.4 s
    double range = 0;                 // LU
    double peakDb = 0;                // dBTP or dBFS, as peakKind says; -inf for digital silence
    PeakKind peakKind = PeakKind::True;
    double trackGain = 0;   // ReplayGain 2.0, dB
    double trackPeak = 0;   // linear
    double appliedGain = 0; // dB, the normalising gain the audio was converted with
};

JobLoudness jobLoudnessOf(const TrackLoudness& loudness);

// Measures one job's PCM as its writer decodes it. Made when the first chunk arrives, in that
// chunk's format; one worker feeds it.
class JobMeter
{
public:
    explicit JobMeter(PeakKind peakKind) : m_peakKind(peakKind) {}

    void add(const ChannelInfo& format, const void* pcm, std::size_t bytes);
    // The measurement of all PCM given; none when nothing could be measured.
    std::optional<TrackLoudness> result() const;

private:
    PeakKind m_peakKind;
    std::unique_ptr<LoudnessMeter> m_meter;
    bool m_failed = false;
};

// The loudness of a run's jobs, and the album gains written once every job has ended. Jobs that
// share album and album artist tags (untagged ones: their folder) form an album; an album gets
// album gains only when every one of its jobs completed and was measured, so a failed, cancelled,
// skipped or never started track leaves its album with track gains alone. Outputs of earlier runs
// can join the albums (kept outputs): an album of kept outputs alone is left as it is. Thread-safe.
class RunLoudness
{
public:
    explicit RunLoudness(std::size_t jobs) : m_jobs(jobs), m_runJobs(jobs) {}

    // A job ended complete, measured, with its output in place (format: its tag layout).
    // origin: the source's stamp and the settings' fingerprint recorded on the output, recorded
    // again on the copy that carries its album gain and replaces it in one step.
    void completed(std::size_t index, const std::string& source, const SourceTags& tags, const TrackLoudness& loudness,
                   const std::string& output, OutputTagFormat format,
                   const std::optional<std::pair<FileStamp, std::string>>& origin);
    // A job ended any other way, or was not converted; tags: its source's, for its album.
    void leftUnmeasured(std::size_t index, const std::string& source, const SourceTags& tags);
    // A completed job measured as an earlier run measured it: the kept outputs of its album carry
    // the album gain it gives, unless another job of the album is new to it.
    void measuredAsBefore(std::size_t index);
    // Whether the job's end was told to completed() or leftUnmeasured().
    bool told(std::size_t index) const;

    // An album that no later job of the run can join, as far as the run can tell before its end.
    struct SettledAlbum {
        std::vector<std::size_t> held; // its jobs among those asked about
        std::optional<GainTags> gains; // its album gains; none when a track failed or was not measured
    };
    // Of the completed jobs whose outputs are held back unplaced, those whose albums are settled,
    // presuming that an album's tracks stand together in the run: every job up to the one after
    // the album's last track has ended (or every job of the run has). A held job without an album
    // is settled the same way, without gains. The album gains it gives are those writeAlbumGains
    // would give, unless a track of the album turns up later in the run; then writeAlbumGains
    // mends the outputs. Not for runs with kept outputs.
    std::vector<SettledAlbum> settle(const std::vector<std::size_t>& held) const;
    // The job's output got these album gains before it was placed.
    void albumGainsWritten(std::size_t index, const GainTags& gains);
    // A held job's output was placed under this name; none: it could not be, and the job failed.
    void placed(std::size_t index, const std::optional<std::string>& output);

    // An output outside the run joins its album; loudness: its audio's, none when not known yet.
    // Kept outputs are numbered from 0 in the order they were added.
    void addKept(const std::string& source, const SourceTags& tags, const std::optional<TrackLoudness>& loudness,
                 const std::string& output, OutputTagFormat format,
                 const std::optional<std::pair<FileStamp, std::string>>& origin);

    // Measures kept outputs' audio (by their numbers) for their album, each none when it cannot.
    using MeasureKept = std::function<std::vector<std::optional<TrackLoudness>>(const std::vector<std::size_t>& kept)>;

    // Writes each complete album's gain and peak into its outputs; failures go to the log. A kept
    // output of unknown loudness is measured, only when the rest of its album is complete; kept
    // outputs are re-tagged only when a job of their album was not measured as before. An output
    // that got album gains before it was placed is re-tagged only when they are not its album's
    // (without album gains when its album has none). Returns the
    // numbers of the kept outputs that got their album's gain. Up to workers outputs are retagged
    // at once.
    std::vector<std::size_t> writeAlbumGains(ErrorLog& log, const MeasureKept& measure = {}, unsigned workers = 1);

private:
    struct Job {
        bool told = false;
        bool asBefore = false;
        std::string source;
        std::string album;
        std::string albumArtist;
        std::optional<TrackLoudness> loudness;
        std::string output;
        OutputTagFormat format = OutputTagFormat::Mp3;
        std::optional<std::pair<FileStamp, std::string>> origin;
        std::optional<GainTags> albumWritten; // album gains written before the output was placed
    };

    std::vector<AlbumKey> albumKeys() const; // under m_mutex

    mutable std::mutex m_mutex;
    std::vector<Job> m_jobs; // the run's, then the kept outputs
    const std::size_t m_runJobs;
};

// The gains a measured track's output is tagged with.
GainTags trackGainTags(const TrackLoudness& loudness);

} // namespace tunevale
