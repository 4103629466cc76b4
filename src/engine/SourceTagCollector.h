#pragma once

#include "SourceTags.h"

#include <string_view>

namespace tunevale
{

// Builds SourceTags from a file's metadata entries, in the key spellings that ID3v2, Vorbis
// comments, ASF, MP4 atoms and RIFF INFO have once demuxed ("title", "TRACKNUMBER",
// "WM/AlbumTitle", "album_artist", "TOTALTRACKS" ...). Keys compare without regard to case. The
// first value of a field wins, so entries added earlier (the container's) take precedence.
class SourceTagCollector
{
public:
    void add(std::string_view key, std::string_view value);
    // The first front cover offered wins over any other picture; otherwise the first picture.
    void addPicture(TagPicture picture, bool frontCover);

    SourceTags tags() const;

private:
    SourceTags m_tags;
    std::string m_year; // used when no full date is given
    bool m_haveFrontCover = false;
};

// Reads "3", "03", "3/12" or " 3 / 12 ": the number before the slash and the one after it (0 when
// absent or not a number).
void parseNumberPair(std::string_view text, unsigned& number, unsigned& total);

} // namespace tunevale
