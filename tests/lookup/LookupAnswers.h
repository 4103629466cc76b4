#pragma once

#include "AccurateRipDatabase.h"
#include "cd/DiscToc.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tunevale::test
{

// A three-track audio disc.
inline DiscToc threeTrackToc()
{
    DiscToc toc;
    toc.offsets = {0, 150, 320};
    toc.audio = {true, true, true};
    toc.leadout = 510;
    return toc;
}

// A discid answer as MusicBrainz gives it: a single of another disc first, then the album whose
// medium carries discId.
inline std::string discIdAnswer(const std::string& discId)
{
    return R"({"id":")" + discId + R"(","sectors":660,"releases":[
  {"id":"11111111-0000-0000-0000-000000000000","title":"Other Single","date":"1999",
   "artist-credit":[{"name":"Somebody","joinphrase":""}],
   "media":[{"position":1,"discs":[{"id":"notThisDisc"}],"tracks":[
     {"position":1,"number":"1","title":"B-Side","artist-credit":[{"name":"Somebody"}]}]}]},
  {"id":"5b7f4a7e-2c3e-4e6a-9f0b-7d1a2e3c4b5a","title":"Späte Lieder","date":"2004-05-17",
   "artist-credit":[{"name":"Anna Lind","joinphrase":" & "},{"name":"The Fjords","joinphrase":""}],
   "media":[{"position":1,"discs":[{"id":")" +
           discId + R"("}],"tracks":[
     {"position":1,"number":"1","title":"Erstes Licht","artist-credit":[{"name":"Anna Lind","joinphrase":" & "},{"name":"The Fjords"}]},
     {"position":2,"number":"2","title":"","recording":{"title":"Mittag"},"artist-credit":[{"name":"Anna Lind","joinphrase":" & "},{"name":"The Fjords"}]},
     {"position":3,"number":"3","title":"Nacht","artist-credit":[{"name":"Guest Singer"}]}]}]}]})";
}

inline std::string littleEndianBytes(std::uint32_t value)
{
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

// One entry of a dBAR file: per track its confidence and checksum.
inline std::string dbarEntry(const AccurateRipDiscIds& ids, const std::vector<std::pair<int, std::uint32_t>>& tracks)
{
    std::string bytes(1, static_cast<char>(tracks.size()));
    bytes += littleEndianBytes(ids.id1) + littleEndianBytes(ids.id2) + littleEndianBytes(ids.cddb);
    for (const auto& [confidence, checksum] : tracks)
        bytes += std::string(1, static_cast<char>(confidence)) + littleEndianBytes(checksum) + littleEndianBytes(0);
    return bytes;
}

} // namespace tunevale::test
