#include "SourceTagCollector.h"

#include "TagText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <utility>

namespace tunevale
{

namespace
{

enum class Field {
    Title,
    Artist,
    Album,
    AlbumArtist,
    Track,
    TrackTotal,
    Disc,
    DiscTotal,
    Date,
    Year,
    Genre,
    Comment,
    Composer
};

struct KeyField {
    std::string_view key; // lower case
    Field field;
};

constexpr std::array KnownKeys{
    KeyField{"title", Field::Title},
    KeyField{"artist", Field::Artist},
    KeyField{"author", Field::Artist},
    KeyField{"album", Field::Album},
    KeyField{"wm/albumtitle", Field::Album},
    KeyField{"album_artist", Field::AlbumArtist},
    KeyField{"albumartist", Field::AlbumArtist},
    KeyField{"album artist", Field::AlbumArtist},
    KeyField{"wm/albumartist", Field::AlbumArtist},
    KeyField{"track", Field::Track},
    KeyField{"tracknumber", Field::Track},
    KeyField{"wm/tracknumber", Field::Track},
    KeyField{"tracktotal", Field::TrackTotal},
    KeyField{"totaltracks", Field::TrackTotal},
    KeyField{"disc", Field::Disc},
    KeyField{"discnumber", Field::Disc},
    KeyField{"wm/partofset", Field::Disc},
    KeyField{"disctotal", Field::DiscTotal},
    KeyField{"totaldiscs", Field::DiscTotal},
    KeyField{"date", Field::Date},
    KeyField{"year", Field::Year},
    KeyField{"wm/year", Field::Year},
    KeyField{"genre", Field::Genre},
    KeyField{"wm/genre", Field::Genre},
    KeyField{"comment", Field::Comment},
    KeyField{"description", Field::Comment},
    KeyField{"composer", Field::Composer},
    KeyField{"wm/composer", Field::Composer},
};

bool equalNoCase(std::string_view a, std::string_view lowerB)
{
    return a.size() == lowerB.size() && std::equal(a.begin(), a.end(), lowerB.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == y;
           });
}

std::string_view trimmed(std::string_view text)
{
    const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

unsigned parseNumber(std::string_view text)
{
    text = trimmed(text);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

void setText(std::string& field, std::string_view value)
{
    if (field.empty())
        field = cleanTagText(trimmed(value));
}

void setNumber(unsigned& field, unsigned value)
{
    if (field == 0)
        field = value;
}

} // namespace

void parseNumberPair(std::string_view text, unsigned& number, unsigned& total)
{
    const std::size_t slash = text.find('/');
    number = parseNumber(text.substr(0, slash));
    total = slash == std::string_view::npos ? 0 : parseNumber(text.substr(slash + 1));
}

void SourceTagCollector::add(std::string_view key, std::string_view value)
{
    const auto known = std::find_if(KnownKeys.begin(), KnownKeys.end(),
                                    [key](const KeyField& entry) { return equalNoCase(key, entry.key); });
    if (known == KnownKeys.end())
        return;
    unsigned number = 0;
    unsigned total = 0;
    switch (known->field) {
    case Field::Title:
        return setText(m_tags.title, value);
    case Field::Artist:
        return setText(m_tags.artist, value);
    case Field::Album:
        return setText(m_tags.album, value);
    case Field::AlbumArtist:
        return setText(m_tags.albumArtist, value);
    case Field::Track:
        parseNumberPair(value, number, total);
        setNumber(m_tags.track, number);
        return setNumber(m_tags.trackTotal, total);
    case Field::TrackTotal:
        return setNumber(m_tags.trackTotal, parseNumber(value));
    case Field::Disc:
        parseNumberPair(value, number, total);
        setNumber(m_tags.disc, number);
        return setNumber(m_tags.discTotal, total);
    case Field::DiscTotal:
        return setNumber(m_tags.discTotal, parseNumber(value));
    case Field::Date:
        return setText(m_tags.date, value);
    case Field::Year:
        return setText(m_year, value);
    case Field::Genre:
        return setText(m_tags.genre, value);
    case Field::Comment:
        return setText(m_tags.comment, value);
    case Field::Composer:
        return setText(m_tags.composer, value);
    }
}

void SourceTagCollector::addPicture(TagPicture picture, bool frontCover)
{
    if (picture.empty() || m_haveFrontCover || (!frontCover && !m_tags.frontCover.empty()))
        return;
    m_tags.frontCover = std::move(picture);
    m_haveFrontCover = frontCover;
}

SourceTags SourceTagCollector::tags() const
{
    SourceTags tags = m_tags;
    if (tags.date.empty())
        tags.date = m_year;
    return tags;
}

} // namespace tunevale
