#include "NamePattern.h"

#include "SafeFileName.h"

#include <charconv>
#include <map>

namespace tunevale
{

namespace
{

std::string numberText(unsigned number, int width)
{
    if (number == 0)
        return {};
    auto text = std::to_string(number);
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
    return text;
}

std::string orDefault(const std::string& value, const std::string& fallback)
{
    return value.empty() ? fallback : value;
}

} // namespace

std::optional<NamePattern> NamePattern::parse(const std::string& text, std::string& error)
{
    static const std::map<std::string, Field> Fields = {{"artist", Field::Artist}, {"albumartist", Field::AlbumArtist},
                                                        {"album", Field::Album},   {"title", Field::Title},
                                                        {"track", Field::Track},   {"disc", Field::Disc},
                                                        {"year", Field::Year},     {"genre", Field::Genre},
                                                        {"name", Field::Name},     {"folder", Field::Folder}};

    NamePattern pattern;
    std::string literal;
    const auto flushLiteral = [&] {
        if (!literal.empty())
            pattern.m_pieces.push_back({Field::Text, std::move(literal), 0});
        literal.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c == '{' || c == '}') && i + 1 < text.size() && text[i + 1] == c) {
            literal += c;
            ++i;
        } else if (c == '}') {
            error = "The name pattern has a \"}\" without its \"{\" at character " + std::to_string(i + 1) + ".";
            return std::nullopt;
        } else if (c == '{') {
            const auto close = text.find_first_of("{}", i + 1);
            if (close == std::string::npos || text[close] != '}') {
                error = "The name pattern has a \"{\" without its \"}\" at character " + std::to_string(i + 1) + ".";
                return std::nullopt;
            }
            const std::string inside = text.substr(i + 1, close - i - 1);
            const auto colon = inside.find(':');
            const std::string name = inside.substr(0, colon);
            const auto field = Fields.find(name);
            if (field == Fields.end()) {
                error = "The name pattern names an unknown field {" + name +
                        "}; known are artist, albumartist, album, title, track, disc, year, genre, name and folder.";
                return std::nullopt;
            }
            Piece piece{field->second, {}, 0};
            if (colon != std::string::npos) {
                const std::string width = inside.substr(colon + 1);
                const auto [end, status] = std::from_chars(width.data(), width.data() + width.size(), piece.width);
                const bool isNumber = field->second == Field::Track || field->second == Field::Disc;
                if (!isNumber || width.empty() || status != std::errc() || end != width.data() + width.size() ||
                    piece.width < 0 || piece.width > 9) {
                    error = "The name pattern's field {" + inside +
                            "} has a bad width: only track and disc take one, a number from 0 to 9.";
                    return std::nullopt;
                }
            }
            flushLiteral();
            pattern.m_pieces.push_back(std::move(piece));
            i = close;
        } else if (c == '/') {
            flushLiteral();
            pattern.m_pieces.push_back({Field::Separator, {}, 0});
        } else {
            literal += c;
        }
    }
    flushLiteral();
    if (pattern.m_pieces.empty()) {
        error = "The name pattern is empty.";
        return std::nullopt;
    }
    return pattern;
}

std::string NamePattern::render(const PatternSource& source, const std::string& extension) const
{
    const auto& tags = source.tags;
    const std::string artist = orDefault(tags.artist, "Unknown Artist");
    std::vector<std::string> levels(1);
    // A "/" inside a tag is part of the name ("AC/DC"); only the pattern and {folder} make levels.
    const auto append = [&](const std::string& value) {
        for (const char c : value)
            levels.back() += c == '/' ? '_' : c;
    };
    for (const auto& piece : m_pieces) {
        switch (piece.field) {
        case Field::Text:
            append(piece.text);
            break;
        case Field::Separator:
            levels.emplace_back();
            break;
        case Field::Artist:
            append(artist);
            break;
        case Field::AlbumArtist:
            append(orDefault(tags.albumArtist, artist));
            break;
        case Field::Album:
            append(orDefault(tags.album, "Unknown Album"));
            break;
        case Field::Title:
            append(orDefault(tags.title, source.baseName));
            break;
        case Field::Track:
            append(numberText(tags.track, piece.width));
            break;
        case Field::Disc:
            append(numberText(tags.disc, piece.width));
            break;
        case Field::Year:
            append(tags.date.substr(0, 4));
            break;
        case Field::Genre:
            append(tags.genre);
            break;
        case Field::Name:
            append(source.baseName);
            break;
        case Field::Folder:
            for (const char c : source.folder) {
                if (c == '/')
                    levels.emplace_back();
                else
                    levels.back() += c;
            }
            break;
        }
    }
    std::string path;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const bool last = i + 1 == levels.size();
        // Levels left empty (an empty {folder}, "//") are dropped rather than named "_".
        if (levels[i].empty() && !last)
            continue;
        if (!path.empty())
            path += '/';
        path += last ? safeFileName(levels[i], extension) : safeFileName(levels[i]);
    }
    return path;
}

} // namespace tunevale
