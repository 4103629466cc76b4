#include "RunLoudness.h"

#include "AlbumGrouping.h"
#include "EngineErrorText.h"
#include "ErrorLog.h"
#include "FileLoudness.h"
#include "Gains.h"
#include "OutputRewrite.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace tunevale
{

JobLoudness jobLoudnessOf(const TrackLoudness& loudness)
{
    return {loudness.integrated(), loudness.range(),     loudness.peakDb(),
            loudness.peakKind,     replayGain(loudness), loudness.peak};
}

namespace
{

GainTags albumGainTags(const std::vector<TrackLoudness>& tracks)
{
    const TrackLoudness together = combine(tracks);
    GainTags gains;
    gains.albumGain = replayGain(together);
    gains.albumPeak = together.peak;
    return gains;
}

} // namespace

GainTags trackGainTags(const TrackLoudness& loudness)
{
    GainTags gains;
    gains.trackGain = replayGain(loudness);
    gains.trackPeak = loudness.peak;
    return gains;
}

void JobMeter::add(const ChannelInfo& format, const void* pcm, std::size_t bytes)
{
    if (m_failed)
        return;
    if (!m_meter) {
        m_meter = std::make_unique<LoudnessMeter>(pcmFormatOf(format), m_peakKind);
        if (!m_meter->valid()) {
            m_meter.reset();
            m_failed = true;
            return;
        }
    }
    m_meter->add(pcm, bytes);
}

std::optional<TrackLoudness> JobMeter::result() const
{
    if (!m_meter)
        return std::nullopt;
    return m_meter->result();
}

void RunLoudness::completed(std::size_t index, const std::string& source, const SourceTags& tags,
                            const TrackLoudness& loudness, const std::string& output, OutputTagFormat format,
                            const std::optional<std::pair<FileStamp, std::string>>& origin)
{
    const std::lock_guard lock(m_mutex);
    Job& job = m_jobs.at(index);
    job = {true, false, source, tags.album, tags.albumArtist, loudness, output, format, origin, std::nullopt};
}

void RunLoudness::measuredAsBefore(std::size_t index)
{
    const std::lock_guard lock(m_mutex);
    m_jobs.at(index).asBefore = true;
}

void RunLoudness::leftUnmeasured(std::size_t index, const std::string& source, const SourceTags& tags)
{
    const std::lock_guard lock(m_mutex);
    Job& job = m_jobs.at(index);
    job = {true,         false,       source, tags.album, tags.albumArtist, std::nullopt, {}, OutputTagFormat::Mp3,
           std::nullopt, std::nullopt};
}

bool RunLoudness::told(std::size_t index) const
{
    const std::lock_guard lock(m_mutex);
    return m_jobs.at(index).told;
}

void RunLoudness::addKept(const std::string& source, const SourceTags& tags,
                          const std::optional<TrackLoudness>& loudness, const std::string& output,
                          OutputTagFormat format, const std::optional<std::pair<FileStamp, std::string>>& origin)
{
    const std::lock_guard lock(m_mutex);
    m_jobs.push_back(
        {true, false, source, tags.album, tags.albumArtist, loudness, output, format, origin, std::nullopt});
}

std::vector<AlbumKey> RunLoudness::albumKeys() const
{
    std::vector<AlbumKey> keys;
    for (const Job& job : m_jobs)
        keys.push_back({job.source, job.album, job.albumArtist});
    return keys;
}

std::vector<RunLoudness::SettledAlbum> RunLoudness::settle(const std::vector<std::size_t>& held) const
{
    const std::lock_guard lock(m_mutex);
    std::size_t ended = 0; // every run job before this one has ended
    while (ended < m_runJobs && m_jobs[ended].told)
        ++ended;
    const bool runEnded = ended == m_runJobs;
    std::vector<std::size_t> told;
    std::vector<AlbumKey> keys;
    const std::vector<AlbumKey> all = albumKeys();
    for (std::size_t i = 0; i < m_runJobs; ++i)
        if (m_jobs[i].told) {
            told.push_back(i);
            keys.push_back(all[i]);
        }
    std::vector<std::vector<std::size_t>> groups;
    std::vector<char> inAlbum(m_runJobs);
    for (const std::vector<std::size_t>& album : groupAlbums(keys)) {
        std::vector<std::size_t>& jobs = groups.emplace_back();
        for (const std::size_t n : album) {
            jobs.push_back(told[n]);
            inAlbum[told[n]] = true;
        }
    }
    for (const std::size_t i : held)
        if (!inAlbum.at(i))
            groups.push_back({i});

    std::vector<SettledAlbum> settled;
    for (const std::vector<std::size_t>& group : groups) {
        SettledAlbum album;
        for (const std::size_t i : group)
            if (std::find(held.begin(), held.end(), i) != held.end())
                album.held.push_back(i);
        if (album.held.empty() || (!runEnded && group.back() + 1 >= ended))
            continue;
        const bool measured =
            std::all_of(group.begin(), group.end(), [this](std::size_t i) { return m_jobs[i].loudness.has_value(); });
        if (inAlbum[group.front()] && measured) {
            std::vector<TrackLoudness> tracks;
            for (const std::size_t i : group)
                tracks.push_back(*m_jobs[i].loudness);
            album.gains = albumGainTags(tracks);
        }
        settled.push_back(std::move(album));
    }
    return settled;
}

void RunLoudness::albumGainsWritten(std::size_t index, const GainTags& gains)
{
    const std::lock_guard lock(m_mutex);
    m_jobs.at(index).albumWritten = gains;
}

void RunLoudness::placed(std::size_t index, const std::optional<std::string>& output)
{
    const std::lock_guard lock(m_mutex);
    Job& job = m_jobs.at(index);
    if (output) {
        job.output = *output;
        return;
    }
    job.loudness.reset();
    job.albumWritten.reset();
    job.output.clear();
}

std::vector<std::size_t> RunLoudness::writeAlbumGains(ErrorLog& log, const MeasureKept& measure, unsigned workers)
{
    const std::lock_guard lock(m_mutex);
    struct Retag {
        std::size_t job;
        GainTags gains;
        OtherGains others = OtherGains::Kept;
    };
    std::vector<Retag> retags;
    std::vector<char> albumRight(m_jobs.size()); // holds the album gains it should
    const auto isKept = [this](std::size_t i) { return i >= m_runJobs; };
    for (const std::vector<std::size_t>& album : groupAlbums(albumKeys())) {
        const bool ofTheRun = std::any_of(album.begin(), album.end(), [&](std::size_t i) { return !isKept(i); });
        const bool runJobsMeasured = std::all_of(album.begin(), album.end(), [&](std::size_t i) {
            return isKept(i) || (m_jobs[i].told && m_jobs[i].loudness);
        });
        if (!ofTheRun || !runJobsMeasured)
            continue;
        // The kept outputs are decoded only now that nothing else holds the album back.
        std::vector<std::size_t> unknown;
        for (const std::size_t i : album)
            if (!m_jobs[i].loudness)
                unknown.push_back(i - m_runJobs);
        if (!unknown.empty()) {
            if (!measure)
                continue;
            const std::vector<std::optional<TrackLoudness>> measured = measure(unknown);
            for (std::size_t n = 0; n < unknown.size(); ++n)
                m_jobs[m_runJobs + unknown[n]].loudness = measured.at(n);
        }
        if (!std::all_of(album.begin(), album.end(), [this](std::size_t i) { return m_jobs[i].loudness.has_value(); }))
            continue;
        const bool changed =
            std::any_of(album.begin(), album.end(), [&](std::size_t i) { return !isKept(i) && !m_jobs[i].asBefore; });
        std::vector<TrackLoudness> tracks;
        for (const std::size_t i : album)
            tracks.push_back(*m_jobs[i].loudness);
        const GainTags gains = albumGainTags(tracks);
        for (const std::size_t i : album) {
            const bool written = m_jobs[i].albumWritten == gains;
            if (m_jobs[i].format != OutputTagFormat::Wav && (!isKept(i) || changed) && !written)
                retags.push_back({i, gains}); // else no gain tags, or the album gain it has
            albumRight[i] = true;
        }
    }
    // An album gain written before a track of its album turned up, or before the run was stopped
    // short of the album's end, goes again.
    for (std::size_t i = 0; i < m_runJobs; ++i)
        if (m_jobs[i].albumWritten && !albumRight[i] && m_jobs[i].loudness)
            retags.push_back({i, trackGainTags(*m_jobs[i].loudness), OtherGains::Dropped});

    // Each retag copies its output and writes the copy to disk: several at once.
    std::vector<char> done(retags.size()); // not vector<bool>: each worker sets its own element
    std::atomic<std::size_t> next = 0;
    const auto retag = [&] {
        for (std::size_t n; (n = next++) < retags.size();) {
            const Job& job = m_jobs[retags[n].job];
            const std::optional<FileStamp> stamp = job.origin ? std::optional(job.origin->first) : std::nullopt;
            std::string error;
            done[n] = regainOutput(job.output, job.format, retags[n].gains, stamp, job.origin ? job.origin->second : "",
                                   error, retags[n].others);
            if (!done[n])
                log.append(EngineCode::TagsNotWritten, job.source,
                           "album gain not written to " + job.output + ": " + error);
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (unsigned w = 1; w < std::min<std::size_t>(workers, retags.size()); ++w)
            helpers.emplace_back(retag);
        retag();
    }
    std::vector<std::size_t> regained;
    for (std::size_t n = 0; n < retags.size(); ++n)
        if (done[n] && isKept(retags[n].job))
            regained.push_back(retags[n].job - m_runJobs);
    return regained;
}

} // namespace tunevale
