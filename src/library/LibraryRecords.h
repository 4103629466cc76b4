#pragma once

#include <cstdint>
#include <string>

namespace tunevale
{

// A file's size and modification time (nanoseconds since the epoch), which together decide
// whether it changed without opening it.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// What the mirror knows of one output it made. Paths are relative ("/" between levels): the
// source's to the source root, the output's to the mirror.
struct OutputRecord {
    std::string source;
    FileStamp sourceStamp;
    std::string audioIdentity; // the engine's AudioIdentity of the source
    std::string tagsHash;      // tagsHash() of the source's tags and cover
    std::string settings;      // fingerprint of the output settings the output was made with
    std::string output;
    FileStamp outputStamp;
    std::string loudness;   // the source's measured loudness (TrackLoudness::serialise()); empty when not measured
    double appliedGain = 0; // dB, the normalising gain the output's audio was made with
    bool operator==(const OutputRecord&) const = default;
};

// A file other than audio (a cover, a booklet) copied into the mirror as it is.
struct CopyRecord {
    std::string source;
    FileStamp sourceStamp;
    std::string output;
    FileStamp outputStamp;
    bool operator==(const CopyRecord&) const = default;
};

} // namespace tunevale
