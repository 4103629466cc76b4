#pragma once

#include "SourceTags.h"

#include <optional>
#include <string>
#include <vector>

namespace tunevale
{

// What a name pattern is filled in from: the source's tags, its base name and its folder
// relative to its root ("" for the root itself, parts separated by "/").
struct PatternSource {
    SourceTags tags;
    std::string baseName;
    std::string folder;
};

// A parsed name pattern such as "{albumartist}/{album}/{track:02} {title}": text with fields in
// braces, "/" between folder levels, "{{" and "}}" for literal braces. Fields: artist, albumartist
// (the artist when absent), album, title (the base name when absent), track, disc, year, genre,
// name (the base name) and folder (its relative folder, whose levels become folder levels). A
// missing artist gives "Unknown Artist", a missing album "Unknown Album"; other missing fields are
// empty. track and disc take a width, "{track:02}" pads with zeros to two digits.
class NamePattern
{
public:
    // The pattern, or nullopt with error set to a message naming the fault (an unknown field, a
    // brace without its partner, a bad width).
    static std::optional<NamePattern> parse(const std::string& text, std::string& error);

    // The output path relative to the output folder, each level made safe by safeFileName, the
    // last one given the extension (without a dot).
    std::string render(const PatternSource& source, const std::string& extension) const;

private:
    enum class Field { Text, Separator, Artist, AlbumArtist, Album, Title, Track, Disc, Year, Genre, Name, Folder };
    struct Piece {
        Field field = Field::Text;
        std::string text; // the literal text of a Text piece
        int width = 0;    // zero-padded width of a number
    };

    std::vector<Piece> m_pieces;
};

} // namespace tunevale
