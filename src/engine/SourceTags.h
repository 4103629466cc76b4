#pragma once

#include <string>
#include <vector>

namespace tunevale
{

// An embedded picture as stored in the file: its MIME type and its encoded bytes.
struct TagPicture {
    std::string mimeType; // "image/png", "image/jpeg", ...
    std::vector<unsigned char> bytes;

    bool empty() const { return bytes.empty(); }
    bool operator==(const TagPicture&) const = default;
};

// The descriptive tags of a source file. Text is valid UTF-8; numbers are 0 when absent.
struct SourceTags {
    std::string title;
    std::string artist;
    std::string album;
    std::string albumArtist;
    unsigned track = 0;
    unsigned trackTotal = 0;
    unsigned disc = 0;
    unsigned discTotal = 0;
    std::string date; // as the file states it: "2021" or "2021-05-03"
    std::string genre;
    std::string comment;
    std::string composer;
    TagPicture frontCover;

    bool empty() const
    {
        return title.empty() && artist.empty() && album.empty() && albumArtist.empty() && track == 0 &&
               trackTotal == 0 && disc == 0 && discTotal == 0 && date.empty() && genre.empty() && comment.empty() &&
               composer.empty() && frontCover.empty();
    }
    bool operator==(const SourceTags&) const = default;
};

} // namespace tunevale
