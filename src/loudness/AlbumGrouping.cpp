#include "AlbumGrouping.h"

#include <filesystem>
#include <map>
#include <tuple>

namespace tunevale
{

std::vector<std::vector<std::size_t>> groupAlbums(const std::vector<AlbumKey>& jobs)
{
    // album, album artist, folder (empty where the tags decide alone)
    using Key = std::tuple<std::string, std::string, std::string>;
    std::map<Key, std::size_t> albumOfKey;
    std::vector<std::vector<std::size_t>> albums;
    std::vector<bool> tagged;
    for (std::size_t job = 0; job < jobs.size(); ++job) {
        const AlbumKey& key = jobs[job];
        const bool tagsDecide = !key.album.empty() && !key.albumArtist.empty();
        const std::string folder =
            tagsDecide ? std::string()
                       : std::filesystem::path(key.sourcePath).lexically_normal().parent_path().string();
        const auto [found, added] = albumOfKey.try_emplace(Key{key.album, key.albumArtist, folder}, albums.size());
        if (added) {
            albums.emplace_back();
            tagged.push_back(!key.album.empty());
        }
        albums[found->second].push_back(job);
    }
    std::vector<std::vector<std::size_t>> formed;
    for (std::size_t album = 0; album < albums.size(); ++album)
        if (albums[album].size() > 1 || tagged[album])
            formed.push_back(std::move(albums[album]));
    return formed;
}

} // namespace tunevale
