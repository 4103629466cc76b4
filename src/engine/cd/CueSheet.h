#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tunevale
{

// CD positions count frames (sectors) of 1/75 second: 588 samples at 44.1 kHz.
inline constexpr std::int64_t CdFramesPerSecond = 75;
inline constexpr std::int64_t CdSamplesPerFrame = 588;
inline constexpr std::int64_t CdBytesPerFrame = 2352;

enum class CueFileType {
    Decoded,  // WAVE, AIFF, MP3 or any other audio file: read through the decoder
    Binary,   // raw CD audio, 16-bit little-endian stereo
    Motorola, // raw CD audio, big-endian
};

struct CueFile {
    std::string name; // as the sheet writes it
    CueFileType type = CueFileType::Decoded;
};

struct CueIndex {
    int number = 0;
    std::size_t file = 0;   // into CueSheet::files
    std::int64_t frame = 0; // from the start of that file
};

struct CueTrack {
    int number = 0;
    bool audio = true;
    int sectorSize = 2352;          // bytes per sector of its mode in a binary file
    std::vector<CueIndex> indexes;  // in the sheet's order, INDEX 01 always among them
    std::int64_t pregapFrames = 0;  // PREGAP: silence on the disc that no file holds
    std::int64_t postgapFrames = 0; // POSTGAP, likewise
    std::string title;
    std::string performer;
    std::string songwriter;
    std::string isrc;

    const CueIndex& start() const; // INDEX 01
};

// A parsed cue sheet: the disc's text (CD-TEXT lines and the usual REM comments), its files and
// its tracks in order.
struct CueSheet {
    std::string title;
    std::string performer;
    std::string songwriter;
    std::string date;
    std::string genre;
    std::string comment;
    std::string catalog;
    unsigned discNumber = 0;
    unsigned discTotal = 0;
    std::vector<CueFile> files;
    std::vector<CueTrack> tracks;
};

// Parses the UTF-8 text of a cue sheet. False with a message naming the line when it is damaged:
// an unreadable time, a TRACK before any FILE, an INDEX outside a TRACK, track numbers that do not
// count up by one, indexes out of order, a track without INDEX 01, no track at all, or bytes that are no text.
bool parseCueSheet(std::string_view text, CueSheet& sheet, std::string& error);

} // namespace tunevale
