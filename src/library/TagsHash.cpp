#include "TagsHash.h"

#include <QCryptographicHash>

namespace tunevale
{

namespace
{

// Each field is preceded by its length, so that moving text from one field to the next changes
// the digest.
void addField(QCryptographicHash& hash, const void* bytes, std::size_t size)
{
    const auto length = static_cast<quint64>(size);
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(&length), sizeof length));
    hash.addData(QByteArrayView(static_cast<const char*>(bytes), static_cast<qsizetype>(size)));
}

void addText(QCryptographicHash& hash, const std::string& text)
{
    addField(hash, text.data(), text.size());
}

void addNumber(QCryptographicHash& hash, unsigned number)
{
    addField(hash, &number, sizeof number);
}

} // namespace

std::string tagsHash(const SourceTags& tags)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const auto* text : {&tags.title, &tags.artist, &tags.album, &tags.albumArtist, &tags.date, &tags.genre,
                             &tags.comment, &tags.composer, &tags.frontCover.mimeType})
        addText(hash, *text);
    for (const unsigned number : {tags.track, tags.trackTotal, tags.disc, tags.discTotal})
        addNumber(hash, number);
    addField(hash, tags.frontCover.bytes.data(), tags.frontCover.bytes.size());
    return hash.result().toHex().toStdString();
}

} // namespace tunevale
