#include "MusicBrainzRelease.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tunevale
{

namespace
{

// "Artist A & Artist B": each credited name with its join phrase.
std::string creditText(const QJsonArray& credits)
{
    QString text;
    for (const QJsonValue& credit : credits)
        text += credit.toObject().value("name").toString() + credit.toObject().value("joinphrase").toString();
    return text.trimmed().toStdString();
}

bool carriesDisc(const QJsonObject& medium, const QString& discId)
{
    for (const QJsonValue& disc : medium.value("discs").toArray())
        if (disc.toObject().value("id").toString() == discId)
            return true;
    return false;
}

DiscRelease releaseFrom(const QJsonObject& release, const QJsonObject& medium)
{
    DiscRelease found;
    found.id = release.value("id").toString().toStdString();
    found.album = release.value("title").toString().toStdString();
    found.date = release.value("date").toString().toStdString();
    found.artist = creditText(release.value("artist-credit").toArray());
    for (const QJsonValue& value : medium.value("tracks").toArray()) {
        const QJsonObject track = value.toObject();
        const int position = track.value("position").toInt();
        if (position <= 0)
            continue;
        QString title = track.value("title").toString();
        if (title.isEmpty())
            title = track.value("recording").toObject().value("title").toString();
        found.titles[position] = title.toStdString();
        const std::string artist = creditText(track.value("artist-credit").toArray());
        if (!artist.empty() && artist != found.artist)
            found.trackArtists[position] = artist;
    }
    return found;
}

} // namespace

std::optional<DiscRelease> parseDiscIdAnswer(const std::string& json, const std::string& discId, int trackCount)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonArray releases = document.object().value("releases").toArray();
    const QString wanted = QString::fromStdString(discId);
    for (const bool byDiscId : {true, false})
        for (const QJsonValue& release : releases)
            for (const QJsonValue& medium : release.toObject().value("media").toArray()) {
                const QJsonObject disc = medium.toObject();
                const bool matches =
                    byDiscId ? carriesDisc(disc, wanted) : disc.value("tracks").toArray().size() == trackCount;
                if (matches)
                    return releaseFrom(release.toObject(), disc);
            }
    return std::nullopt;
}

bool isDiscIdAnswer(const std::string& json)
{
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json));
    return document.isObject() && document.object().value("releases").isArray();
}

} // namespace tunevale
