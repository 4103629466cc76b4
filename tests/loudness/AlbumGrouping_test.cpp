#include "AlbumGrouping.h"

#include <gtest/gtest.h>

namespace tunevale::test
{
namespace
{

using Albums = std::vector<std::vector<std::size_t>>;

TEST(AlbumGrouping, SharedAlbumAndAlbumArtistTagsFormAnAlbumAcrossFolders)
{
    const std::vector<AlbumKey> jobs{
        {"/m/cd1/01.flac", "Blue", "Band"}, {"/m/cd2/01.flac", "Blue", "Band"}, {"/m/cd1/02.flac", "Blue", "Other"},
        {"/m/cd1/03.flac", "blue", "Band"}, {"/m/cd1/04.flac", "Blue", "Band"},
    };
    // Tags compare exactly; albums come in the order of their first job.
    EXPECT_EQ(groupAlbums(jobs), (Albums{{0, 1, 4}, {2}, {3}}));
}

TEST(AlbumGrouping, WithoutTagsTheSourceFolderDecides)
{
    const std::vector<AlbumKey> jobs{
        {"/m/a/1.wav", "", ""}, {"/m/b/1.wav", "", ""},   {"/m/a/2.wav", "", ""},
        {"/m/c/1.wav", "", ""}, {"/m/a/./3.wav", "", ""}, {"/m/b/2.wav", "", ""},
    };
    // The lone untagged file in /m/c belongs to no album.
    EXPECT_EQ(groupAlbums(jobs), (Albums{{0, 2, 4}, {1, 5}}));
}

TEST(AlbumGrouping, AnAlbumTagWithoutAlbumArtistStaysInItsFolder)
{
    const std::vector<AlbumKey> jobs{
        {"/m/queen/1.mp3", "Greatest Hits", ""},      {"/m/abba/1.mp3", "Greatest Hits", ""},
        {"/m/queen/2.mp3", "Greatest Hits", ""},      {"/m/queen/3.mp3", "", ""},
        {"/m/queen/4.mp3", "Greatest Hits", "Queen"},
    };
    // A tagged single is an album of one; the untagged file stays out of the tagged ones.
    EXPECT_EQ(groupAlbums(jobs), (Albums{{0, 2}, {1}, {4}}));
    EXPECT_TRUE(groupAlbums({}).empty());
}

} // namespace
} // namespace tunevale::test
