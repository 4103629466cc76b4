#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tunevale
{

// What decides which album a job belongs to.
struct AlbumKey {
    std::string sourcePath; // the source file
    std::string album;      // the source's album tag, "" when it has none
    std::string albumArtist;
};

// The albums among jobs, each the indexes of its jobs in order, albums in the order of their first
// job. Jobs that share the album and album artist tags form an album. A job without an album tag
// belongs with the others of its source folder that have none. Where the album tag is set but
// the album artist tag is not, the source folder decides too, so two "Greatest Hits" of different
// artists stay apart. A lone job forms an album only when its album tag says it belongs to one.
std::vector<std::vector<std::size_t>> groupAlbums(const std::vector<AlbumKey>& jobs);

} // namespace tunevale
