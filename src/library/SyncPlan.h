#pragma once

#include "LibraryRecords.h"
#include "OutputLayout.h"
#include "SourceScan.h"
#include "SourceTags.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tunevale
{

// What opening a source tells: the identity of its audio and the tags (with cover) it carries.
struct SourceFacts {
    std::string audioIdentity;
    std::string tagsHash;
    SourceTags tags;
};

// Opens one source (path relative to the root); nullopt when it cannot be read as audio.
using InspectSource = std::function<std::optional<SourceFacts>(const std::string& source)>;
// The stamp of a file in the mirror (path relative to it); nullopt when there is none.
using StampInMirror = std::function<std::optional<FileStamp>(const std::string& output)>;

struct SyncOptions {
    OutputLayout layout;
    std::string extension;                 // of the outputs, without a dot
    std::string settings;                  // fingerprint of everything that shapes an output (format, options, layout)
    std::vector<std::string> copyPatterns; // shell patterns of other files to copy, such as "*.jpg"
    bool deleteGone = false;               // remove the outputs of sources that are gone
    bool force = false;                    // convert or copy again over outputs the user changed
    // Which files are audio to convert; by default isMirroredAudio.
    std::function<bool(const std::string& source)> isAudio;
    // Whether the file at output (in the mirror) is one this program finished from the source as it
    // is now (its stamp) with the current settings although no row says so: a sync stopped between
    // placing it and storing its row. Such a file is taken as made; by default none is.
    std::function<bool(const std::string& output, const FileStamp& source)> madeFrom;
};

enum class SyncAction {
    Convert,     // encode the source into output (replacing previousOutput when set)
    Retag,       // same audio: rewrite the output's tags (after moving previousOutput to output when set)
    Move,        // a source moved or renamed with the same audio: move previousOutput to output
    Unchanged,   // nothing to do (refreshRecord: store the row anew, with the stamps as they are now)
    Gone,        // the source is gone; deleteOutput says whether its output goes too
    UserChanged, // the output was changed by the user since it was made: left alone
    Unreadable,  // the source changed or is new but cannot be read as audio: left alone
    Copy,        // a file other than audio copied into the mirror as it is
};

enum class ConvertReason { None, New, AudioChanged, SettingsChanged, OutputDeleted, Forced };

struct PlannedOutput {
    SyncAction action = SyncAction::Unchanged;
    ConvertReason reason = ConvertReason::None;
    std::string source;
    FileStamp sourceStamp;
    std::string output;
    std::string previousOutput; // where the output is now, when it moves (empty otherwise)
    std::string previousSource; // a moved source's old path, whose row gives way to the new one
                                // (a Move whose previousOutput is gone found its output moved already)
    SourceFacts facts;          // known after opening the source (or kept from its row)
    bool retag = false;         // a moved output whose tags changed too
    bool refreshRecord = false;
    bool deleteOutput = false;
    bool forgetRecord = false; // the row of a gone source is dropped
};

struct SyncPlan {
    std::vector<PlannedOutput> outputs; // audio sources in scan order, then the gone ones
    std::vector<PlannedOutput> copies;  // Copy, Move, Unchanged, Gone or UserChanged
};

// Whether a file is audio the mirror converts, by its extension (letter case ignored).
bool isMirroredAudio(const std::string& source);

// Sorts every scanned file and every row of the mirror into actions. Copies keep their source's
// stamp, so a copy whose row was not stored is known by it. A source whose stamp equals
// its row's is decided without opening it (inspect is called only for new and changed sources, or
// to place an output whose path comes from tags); a new output never takes a path held by another
// output or by a file the mirror did not make (it gets " (2)", " (3)", ... instead).
SyncPlan planSync(const std::vector<ScannedFile>& scan, const std::vector<OutputRecord>& outputs,
                  const std::vector<CopyRecord>& copies, const SyncOptions& options, const InspectSource& inspect,
                  const StampInMirror& stampInMirror);

} // namespace tunevale
