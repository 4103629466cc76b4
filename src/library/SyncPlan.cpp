#include "SyncPlan.h"

#include "AsciiCase.h"
#include "SafeFileName.h"

#include <fnmatch.h>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace tunevale
{

namespace
{

std::string extensionOf(const std::string& path)
{
    const auto name = path.substr(path.rfind('/') + 1);
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string() : asciiLower(name.substr(dot + 1));
}

bool matchesCopyPattern(const std::string& source, const std::vector<std::string>& patterns)
{
    const auto name = source.substr(source.rfind('/') + 1);
    for (const auto& pattern : patterns)
        if (::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0)
            return true;
    return false;
}

// The paths that outputs hold or that lie in the mirror, and the choice of a free one for a new
// output. Paths are held without regard to ASCII letter case: FAT and NTFS would make "Intro.mp3"
// and "intro.mp3" one file.
class OutputPaths
{
public:
    explicit OutputPaths(const StampInMirror& stampInMirror) : m_stampInMirror(stampInMirror) {}

    void hold(const std::string& path) { m_held.insert(asciiLower(path)); }
    bool held(const std::string& path) const { return m_held.contains(asciiLower(path)); }
    void release(const std::string& path) { m_held.erase(asciiLower(path)); }

    // wanted when it is free, else the first free "stem (N).ext"; the result is held from then on.
    std::string claim(const std::string& wanted)
    {
        std::string path = wanted;
        const auto folder = relativeFolder(wanted);
        const auto stem = relativeBaseName(wanted);
        const auto extension = extensionOf(wanted);
        for (int n = 2; !isFree(path); ++n) {
            const auto suffix = " (" + std::to_string(n) + ")" + (extension.empty() ? "" : "." + extension);
            path = (folder.empty() ? "" : folder + '/') + cutAtCharacter(stem, MaxNameBytes - suffix.size()) + suffix;
        }
        hold(path);
        return path;
    }

private:
    bool isFree(const std::string& path) const { return !m_held.contains(asciiLower(path)) && !m_stampInMirror(path); }

    const StampInMirror& m_stampInMirror;
    std::unordered_set<std::string> m_held;
};

// The state of a row's output in the mirror.
enum class OutputState { Missing, AsMade, Changed };

OutputState outputState(const std::string& output, const FileStamp& made, const StampInMirror& stampInMirror)
{
    const auto stamp = stampInMirror(output);
    return !stamp ? OutputState::Missing : *stamp == made ? OutputState::AsMade : OutputState::Changed;
}

class Planner
{
public:
    Planner(const SyncOptions& options, const InspectSource& inspect, const StampInMirror& stampInMirror)
        : m_options(options), m_inspect(inspect), m_stampInMirror(stampInMirror), m_paths(stampInMirror)
    {
    }

    SyncPlan plan(const std::vector<ScannedFile>& scan, const std::vector<OutputRecord>& outputs,
                  const std::vector<CopyRecord>& copies)
    {
        std::unordered_map<std::string, const OutputRecord*> rows;
        for (const auto& row : outputs) {
            rows.emplace(row.source, &row);
            m_paths.hold(row.output);
        }
        std::unordered_map<std::string, const CopyRecord*> copyRows;
        for (const auto& row : copies) {
            copyRows.emplace(row.source, &row);
            m_paths.hold(row.output);
        }

        std::vector<const ScannedFile*> audio;
        std::vector<const ScannedFile*> extras;
        std::unordered_set<std::string> present;
        const auto isAudio = m_options.isAudio ? m_options.isAudio : isMirroredAudio;
        for (const auto& file : scan) {
            if (isAudio(file.path)) {
                audio.push_back(&file);
                present.insert(file.path);
            } else if (matchesCopyPattern(file.path, m_options.copyPatterns)) {
                extras.push_back(&file);
            }
        }

        // The rows whose source is gone, by audio identity: a new source with the same audio is
        // the same track moved or renamed.
        std::multimap<std::string, const OutputRecord*> goneByIdentity;
        for (const auto& row : outputs)
            if (!present.contains(row.source))
                goneByIdentity.emplace(row.audioIdentity, &row);
        std::set<std::string> moved;

        SyncPlan plan;
        for (const auto* file : audio) {
            const auto row = rows.find(file->path);
            plan.outputs.push_back(row != rows.end() ? planKnown(*file, *row->second)
                                                     : planNew(*file, goneByIdentity, moved));
        }
        for (const auto& row : outputs)
            if (!present.contains(row.source) && !moved.contains(row.source))
                plan.outputs.push_back(planGone(row));

        std::map<std::string, std::string> outputFolders; // source folder -> the folder its audio went to
        for (const auto& planned : plan.outputs)
            if (planned.action != SyncAction::Gone && !planned.output.empty())
                outputFolders.emplace(relativeFolder(planned.source), relativeFolder(planned.output));
        std::unordered_set<std::string> presentExtras;
        for (const auto* file : extras)
            presentExtras.insert(file->path);
        // The rows of copies whose source is gone, by name and stamp: a new file with both is the
        // same file moved (a copy keeps its source's stamp).
        std::multimap<std::string, const CopyRecord*> goneCopies;
        for (const auto& row : copies)
            if (!presentExtras.contains(row.source))
                goneCopies.emplace(copyKey(row.source, row.sourceStamp), &row);
        std::set<std::string> movedCopies;
        for (const auto* file : extras) {
            const auto row = copyRows.find(file->path);
            plan.copies.push_back(row != copyRows.end() ? planKnownCopy(*file, *row->second)
                                                        : planNewCopy(*file, outputFolders, goneCopies, movedCopies));
        }
        for (const auto& row : copies)
            if (!presentExtras.contains(row.source) && !movedCopies.contains(row.source))
                plan.copies.push_back(planGoneFile(row.source, row.sourceStamp, row.output, row.outputStamp));
        return plan;
    }

private:
    // Where a gone source's output can be moved from: where it lies as it was made, or nothing to
    // move because a sync that stopped before storing its rows moved it to wanted already.
    enum class MoveFrom { Nothing, Recorded, Wanted };
    MoveFrom moveFrom(const std::string& output, const FileStamp& made, const std::string& wanted) const
    {
        const auto state = outputState(output, made, m_stampInMirror);
        if (state == OutputState::AsMade)
            return MoveFrom::Recorded;
        if (state == OutputState::Missing && !m_paths.held(wanted) && m_stampInMirror(wanted) == made)
            return MoveFrom::Wanted;
        return MoveFrom::Nothing;
    }

    static PlannedOutput start(SyncAction action, const ScannedFile& file)
    {
        PlannedOutput planned;
        planned.action = action;
        planned.source = file.path;
        planned.sourceStamp = file.stamp;
        return planned;
    }

    PlannedOutput convert(PlannedOutput planned, ConvertReason reason)
    {
        planned.action = SyncAction::Convert;
        planned.reason = reason;
        return planned;
    }

    PlannedOutput planKnown(const ScannedFile& file, const OutputRecord& row)
    {
        auto planned = start(SyncAction::Unchanged, file);
        planned.output = row.output;
        planned.facts.audioIdentity = row.audioIdentity;
        planned.facts.tagsHash = row.tagsHash;
        auto state = outputState(row.output, row.outputStamp, m_stampInMirror);
        const bool sourceChanged = file.stamp != row.sourceStamp;
        if (state == OutputState::Changed && madeFrom(row.output, file.stamp)) {
            // Converted or retagged again by a sync that stopped before storing its row.
            if (sourceChanged && !takeFacts(planned))
                return planned;
            planned.refreshRecord = true;
            return planned;
        }
        if (state == OutputState::Changed && !m_options.force) {
            planned.action = SyncAction::UserChanged;
            return planned;
        }
        if (sourceChanged) {
            auto facts = m_inspect(file.path);
            if (!facts) {
                planned.action = SyncAction::Unreadable;
                return planned;
            }
            planned.facts = std::move(*facts);
        }
        const bool settingsChanged = row.settings != m_options.settings;
        if (settingsChanged) {
            // New settings may bring a new extension or layout; the old output goes once the new one
            // is made. Names from tags need the tags.
            if (m_options.layout.usesTags() && !sourceChanged) {
                auto facts = m_inspect(file.path);
                if (!facts) {
                    planned.action = SyncAction::Unreadable;
                    return planned;
                }
                planned.facts = std::move(*facts);
            }
            const auto wanted = m_options.layout.outputPath(file.path, planned.facts.tags, m_options.extension);
            if (wanted != row.output) {
                planned.previousOutput = row.output;
                m_paths.release(row.output);
                planned.output = m_paths.claim(wanted);
            }
        }
        if (state == OutputState::Missing)
            return convert(std::move(planned), ConvertReason::OutputDeleted);
        if (state == OutputState::Changed)
            return convert(std::move(planned), ConvertReason::Forced);
        if (planned.facts.audioIdentity != row.audioIdentity)
            return convert(std::move(planned), ConvertReason::AudioChanged);
        if (settingsChanged)
            return convert(std::move(planned), ConvertReason::SettingsChanged);
        if (planned.facts.tagsHash != row.tagsHash) {
            planned.action = SyncAction::Retag;
            // Names made from tags follow the new tags.
            if (m_options.layout.usesTags()) {
                const auto wanted = m_options.layout.outputPath(file.path, planned.facts.tags, m_options.extension);
                if (wanted != row.output) {
                    planned.previousOutput = row.output;
                    m_paths.release(row.output);
                    planned.output = m_paths.claim(wanted);
                }
            }
            return planned;
        }
        planned.refreshRecord = sourceChanged;
        return planned;
    }

    PlannedOutput planNew(const ScannedFile& file, std::multimap<std::string, const OutputRecord*>& goneByIdentity,
                          std::set<std::string>& moved)
    {
        auto planned = start(SyncAction::Convert, file);
        auto facts = m_inspect(file.path);
        if (!facts) {
            planned.action = SyncAction::Unreadable;
            return planned;
        }
        planned.facts = std::move(*facts);
        const auto wanted = m_options.layout.outputPath(file.path, planned.facts.tags, m_options.extension);
        const auto [first, last] = goneByIdentity.equal_range(planned.facts.audioIdentity);
        for (auto it = first; it != last; ++it) {
            const OutputRecord& row = *it->second;
            if (row.settings != m_options.settings)
                continue;
            const MoveFrom from = moveFrom(row.output, row.outputStamp, wanted);
            if (from == MoveFrom::Nothing)
                continue;
            const bool movedAlready = from == MoveFrom::Wanted;
            planned.action = SyncAction::Move;
            planned.previousSource = row.source;
            planned.previousOutput = row.output;
            planned.retag = planned.facts.tagsHash != row.tagsHash;
            m_paths.release(row.output);
            if (movedAlready) {
                planned.output = wanted;
                m_paths.hold(wanted);
            } else {
                planned.output = m_paths.claim(wanted);
            }
            moved.insert(row.source);
            goneByIdentity.erase(it);
            return planned;
        }
        if (!m_paths.held(wanted) && m_stampInMirror(wanted) && madeFrom(wanted, file.stamp)) {
            // Converted by a sync that stopped before storing its row.
            planned.action = SyncAction::Unchanged;
            planned.refreshRecord = true;
            planned.output = wanted;
            m_paths.hold(wanted);
            return planned;
        }
        planned.reason = ConvertReason::New;
        planned.output = m_paths.claim(wanted);
        return planned;
    }

    bool madeFrom(const std::string& output, const FileStamp& source) const
    {
        return m_options.madeFrom && m_options.madeFrom(output, source);
    }

    // Opens the source for its facts; false (and the action Unreadable) when it cannot be read.
    bool takeFacts(PlannedOutput& planned)
    {
        auto facts = m_inspect(planned.source);
        if (!facts) {
            planned.action = SyncAction::Unreadable;
            return false;
        }
        planned.facts = std::move(*facts);
        return true;
    }

    PlannedOutput planGone(const OutputRecord& row)
    {
        auto planned = planGoneFile(row.source, row.sourceStamp, row.output, row.outputStamp);
        planned.facts.audioIdentity = row.audioIdentity;
        planned.facts.tagsHash = row.tagsHash;
        return planned;
    }

    PlannedOutput planGoneFile(const std::string& source, const FileStamp& sourceStamp, const std::string& output,
                               const FileStamp& outputStamp)
    {
        PlannedOutput planned;
        planned.action = SyncAction::Gone;
        planned.source = source;
        planned.sourceStamp = sourceStamp;
        planned.output = output;
        const auto state = outputState(output, outputStamp, m_stampInMirror);
        // Only a file as the mirror made it is removed; one the user changed stays.
        planned.deleteOutput = m_options.deleteGone && state == OutputState::AsMade;
        planned.forgetRecord = m_options.deleteGone && state != OutputState::Changed;
        return planned;
    }

    PlannedOutput planKnownCopy(const ScannedFile& file, const CopyRecord& row)
    {
        auto planned = start(SyncAction::Unchanged, file);
        planned.output = row.output;
        const auto state = outputState(row.output, row.outputStamp, m_stampInMirror);
        if (state == OutputState::Changed && m_stampInMirror(row.output) == file.stamp)
            planned.refreshRecord = true; // copied again by a sync that stopped before storing its row
        else if (state == OutputState::Changed && !m_options.force)
            planned.action = SyncAction::UserChanged;
        else if (state != OutputState::AsMade || file.stamp != row.sourceStamp)
            planned.action = SyncAction::Copy;
        return planned;
    }

    static std::string copyKey(const std::string& source, const FileStamp& stamp)
    {
        return source.substr(source.rfind('/') + 1) + '\n' + std::to_string(stamp.size) + ' ' +
               std::to_string(stamp.mtimeNs);
    }

    PlannedOutput planNewCopy(const ScannedFile& file, const std::map<std::string, std::string>& outputFolders,
                              std::multimap<std::string, const CopyRecord*>& goneCopies,
                              std::set<std::string>& movedCopies)
    {
        auto planned = start(SyncAction::Copy, file);
        // Beside the outputs of the audio of its folder (a cover beside its album), else where the
        // kept sub-folders would put it.
        const auto folder = outputFolders.find(relativeFolder(file.path));
        const auto kept = OutputLayout().outputPath(file.path, {}, extensionOf(file.path));
        const auto name = kept.substr(kept.rfind('/') + 1);
        const auto wanted =
            folder == outputFolders.end() ? kept : (folder->second.empty() ? "" : folder->second + '/') + name;
        const auto [first, last] = goneCopies.equal_range(copyKey(file.path, file.stamp));
        for (auto it = first; it != last; ++it) {
            const CopyRecord& row = *it->second;
            const MoveFrom from = moveFrom(row.output, row.outputStamp, wanted);
            if (from == MoveFrom::Nothing)
                continue;
            const bool movedAlready = from == MoveFrom::Wanted;
            planned.action = SyncAction::Move;
            planned.previousSource = row.source;
            planned.previousOutput = row.output;
            m_paths.release(row.output);
            planned.output = movedAlready ? wanted : m_paths.claim(wanted);
            m_paths.hold(planned.output);
            movedCopies.insert(row.source);
            goneCopies.erase(it);
            return planned;
        }
        if (!m_paths.held(wanted) && m_stampInMirror(wanted) == file.stamp) {
            // Copied by a sync that stopped before storing its row.
            planned.action = SyncAction::Unchanged;
            planned.refreshRecord = true;
            planned.output = wanted;
            m_paths.hold(wanted);
            return planned;
        }
        planned.output = m_paths.claim(wanted);
        return planned;
    }

    const SyncOptions& m_options;
    const InspectSource& m_inspect;
    const StampInMirror& m_stampInMirror;
    OutputPaths m_paths;
};

} // namespace

bool isMirroredAudio(const std::string& source)
{
    static const std::unordered_set<std::string> Extensions = {
        "wav", "wma", "mp1", "mp2", "mp3", "mp4", "m4a", "ogg", "oga",  "opus", "aac",  "alac", "flac",
        "ac3", "spx", "mpc", "tta", "ape", "ofr", "wv",  "aif", "aiff", "mid",  "midi", "adx"};
    return Extensions.contains(extensionOf(source));
}

SyncPlan planSync(const std::vector<ScannedFile>& scan, const std::vector<OutputRecord>& outputs,
                  const std::vector<CopyRecord>& copies, const SyncOptions& options, const InspectSource& inspect,
                  const StampInMirror& stampInMirror)
{
    return Planner(options, inspect, stampInMirror).plan(scan, outputs, copies);
}

} // namespace tunevale
