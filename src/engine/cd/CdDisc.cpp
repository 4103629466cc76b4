#include "CdDisc.h"

#include <cdio/cdio.h>
#include <cdio/cdtext.h>

namespace tunevale
{

namespace
{

std::string field(cdtext_t* text, cdtext_field_t name, int track)
{
    const char* value = text ? cdtext_get_const(text, name, static_cast<track_t>(track)) : nullptr;
    return value ? value : "";
}

} // namespace

std::unique_ptr<CdDisc> CdDisc::open(const std::string& drive, int& errorCode, std::string& message)
{
    DiscToc toc;
    CdioHandle cdio = openCdDevice(drive, toc, errorCode, message);
    if (!cdio)
        return nullptr;
    return std::unique_ptr<CdDisc>(new CdDisc(std::move(cdio), std::move(toc)));
}

SourceTags CdDisc::tags(int number) const
{
    cdtext_t* text = cdio_get_cdtext(m_cdio.get());
    SourceTags tags;
    tags.album = field(text, CDTEXT_FIELD_TITLE, 0);
    tags.albumArtist = field(text, CDTEXT_FIELD_PERFORMER, 0);
    tags.genre = field(text, CDTEXT_FIELD_GENRE, 0);
    tags.title = field(text, CDTEXT_FIELD_TITLE, number);
    tags.artist = field(text, CDTEXT_FIELD_PERFORMER, number);
    if (tags.artist.empty())
        tags.artist = tags.albumArtist;
    tags.composer = field(text, CDTEXT_FIELD_SONGWRITER, number);
    if (tags.composer.empty())
        tags.composer = field(text, CDTEXT_FIELD_SONGWRITER, 0);
    tags.track = static_cast<unsigned>(number);
    for (const bool audio : m_toc.audio)
        tags.trackTotal += audio ? 1 : 0;
    return tags;
}

} // namespace tunevale
