#pragma once

#include "ConversionOptions.h"
#include "LibraryRecords.h"
#include "NamePattern.h"
#include "OutputNameBook.h"
#include "SourceTags.h"

#include <optional>
#include <string>

namespace tunevale
{

class Engine;
struct RunJob;

// Where one job's output goes and what becomes of a file that holds that name.
struct OutputTarget {
    std::string path; // the output's full path; empty when none could be claimed (failure says why)
    std::string failure;
    bool upToDate = false;                // the job is not converted: the file under path is kept as it is
    bool replace = false;                 // the finished output replaces the file that holds the name
    bool chosen = false;                  // the caller chose the path: no other name is taken instead
    std::optional<FileStamp> sourceStamp; // the source's stamp when the job began
    std::string folder;                   // the folder and base name the naming rule worked from
    std::string base;
};

// The names of a run's outputs: each in the output folder, below the source's folder relative to its
// root when folders are kept, named from the source's tags by the name pattern or after the source;
// a name that a file holds is handled by the run's choice for existing outputs: the next free name
// of the "_Converted" rule (Rename), kept (Skip), kept unless the source or the settings changed since
// it was made (Update) or replaced (Replace). Two jobs of the run never get one name. Not locked:
// the run claims names under the lock with which it hands out jobs, in record order.
class OutputNaming
{
public:
    OutputNaming(const ConversionOptions& options, std::string settingsFingerprint);

    // Whether claim() needs the source's tags.
    bool needsTags() const { return m_pattern.has_value(); }

    OutputTarget claim(const RunJob& job, const SourceTags& tags);
    // The next free name of the rule after something took target.path meanwhile; "" when none.
    std::string claimAgain(const OutputTarget& target);
    // Gives a name back: placed (the disk holds it now) or given up by a job that failed.
    void release(const std::string& path) { m_names.release(path); }

private:
    const ConversionOptions& m_options;
    const std::string m_fingerprint;
    const std::string m_extension;
    std::optional<NamePattern> m_pattern;
    std::string m_patternError;
    OutputNameBook m_names;
};

// The tags of the source a name pattern is filled in from; empty when they cannot be read.
SourceTags tagsForNaming(Engine& engine, const std::string& source);

// The path of the source relative to its root ("/" between levels): its file name alone when the
// root is empty or does not hold it.
std::string pathBelowRoot(const std::string& source, const std::string& root);

} // namespace tunevale
