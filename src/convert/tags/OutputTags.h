#pragma once

#include "OutputSettings.h"
#include "OutputTagFormat.h"
#include "SourceTags.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tunevale
{

// The name of the working copy that tags are written into, beside the output, before it replaces it.
inline constexpr const char* TagCopyPrefix = ".tunevale-tags-";

// The tag layout an output file gets: ID3v2.3 (MP3, and AIFF's ID3 chunk), Vorbis comments (OGG;
// FLAC with a PICTURE block; Opus), ASF attributes (WMA), MP4 atoms (AAC and ALAC in M4A), APEv2
// (WavPack), a RIFF INFO list (WAV, no picture).

enum class TagField {
    Title,
    Artist,
    Album,
    AlbumArtist,
    Track,
    TrackTotal,
    Disc,
    DiscTotal,
    Date,
    Genre,
    Comment,
    Composer,
    FrontCover
};

// The eight tags typed for WMA outputs when "Set WMA File ID Tags" is ticked: their Windows Media
// names and the texts of the boxes. For these names the typed text replaces the source's value,
// and an emptied box means the output carries no tag of that name.
struct TypedWmaTags {
    std::array<std::string, 8> names;
    std::array<std::string, 8> values;
};

// Loudness values for the ReplayGain 2.0 tags (reference -18 LUFS) and, in Opus outputs, the R128
// gains (relative to -23 LUFS, so 5 dB lower). An empty value writes no tag of its own; any given
// value means the source's own gain tags are not carried over.
struct GainTags {
    std::optional<double> trackGain; // dB
    std::optional<double> trackPeak; // linear, 1.0 for full scale
    std::optional<double> albumGain;
    std::optional<double> albumPeak;

    bool empty() const { return !trackGain && !trackPeak && !albumGain && !albumPeak; }
    bool operator==(const GainTags&) const = default;
};

// What a rewrite of an output's gains does to the loudness tags it carries that are not given.
enum class OtherGains {
    Kept,
    Dropped // an album gain written too soon goes, leaving the track's
};

enum class TagWriteStatus {
    Written,        // the output now carries the tags (apart from the fields left out)
    NothingToWrite, // the source has no tags: the output was not touched
    Failed          // the output was not changed; error says why
};

struct TagWriteResult {
    TagWriteStatus status = TagWriteStatus::NothingToWrite;
    std::vector<TagField> leftOut; // source fields the output's format has no room for
    // Source fields the format has room for but whose value was left out (too large, a picture of
    // no known type), each named with why: "Cover (17.0 MB, more than the 16.0 MB a cover may have)".
    std::vector<std::string> dropped;
    std::string error;

    bool failed() const { return status == TagWriteStatus::Failed; }
};

// Writes the source's tags and front cover into a finished output file, with the given gains as
// ReplayGain 2.0 tags (R128 gains in Opus; WAV carries none). Loudness tags the output carries
// already (an encoder copies them from the source) are removed when gains are given or when the
// output's audio is lossy: they describe the source's audio. The file is tagged as a copy beside
// it, with room for the tags reserved on the disk first, that replaces it only once saved, so a
// failure (a full disk included) leaves the audio as it was. Text that is not valid UTF-8 is
// repaired; values too large for the format are left out and named in dropped.
TagWriteResult WriteOutputTags(const std::string& outFile, OutputTagFormat format, const SourceTags& tags,
                               const std::optional<TypedWmaTags>& typedWma = std::nullopt, const GainTags& gains = {});

// As WriteOutputTags, for a private file that no one else sees (a copy about to replace an
// output): tagged where it lies, room reserved first, without a copy. After a failure the file may
// be damaged and is to be discarded.
TagWriteResult WritePrivateFileTags(const std::string& file, OutputTagFormat format, const SourceTags& tags,
                                    const std::optional<TypedWmaTags>& typedWma = std::nullopt,
                                    const GainTags& gains = {});

// Sets the gain tags of a private copy of a finished output (an album's gain once its last track
// has ended), leaving its other tags as they are, in place as WritePrivateFileTags does: after a
// failure the copy is to be discarded. A gain without a value keeps what the file has, unless others
// are dropped. True without a change for empty gains and for WAV, which has no gain tags; false
// with error set, and untouched (when given) set when the file is as it was (no room for the edit).
bool WritePrivateFileGainTags(const std::string& file, OutputTagFormat format, const GainTags& gains,
                              std::string& error, OtherGains others = OtherGains::Kept, bool* untouched = nullptr);

// The tag layout of an output format; the iPod default format is an MP3.
OutputTagFormat tagFormatOf(FileFormat format);

// The typed WMA tags when "Set WMA File ID Tags" is ticked, none otherwise. names: WMATagNames.
std::optional<TypedWmaTags> typedWmaTags(const OutputSettings& settings, const std::array<std::string, 8>& names);

// The fields the source carries, in TagField order.
std::vector<TagField> tagFieldsOf(const SourceTags& tags);

// The field's name as shown to the user ("Title", "Album Artist", "Cover" ...).
const char* tagFieldName(TagField field);

} // namespace tunevale
