#include "OutputTagFields.h"
#include "OutputTagFormats.h"

#include <taglib/apeitem.h>
#include <taglib/apetag.h>
#include <taglib/wavpackfile.h>

namespace tunevale
{

namespace
{

// The cover item's value starts with a file name whose extension names the picture's type.
std::string coverFileName(const std::string& mimeType)
{
    if (mimeType == "image/jpeg")
        return "cover.jpg";
    if (mimeType == "image/png")
        return "cover.png";
    if (mimeType == "image/gif")
        return "cover.gif";
    if (mimeType == "image/bmp")
        return "cover.bmp";
    return "cover";
}

void setValues(TagLib::APE::Tag& tag, const char* key, const TagLib::StringList& values)
{
    tag.removeItem(key);
    if (!values.isEmpty())
        tag.setItem(key, TagLib::APE::Item(key, values));
}

TagLib::StringList single(const std::string& value)
{
    return value.empty() ? TagLib::StringList() : TagLib::StringList(tagText(value));
}

} // namespace

bool writeApeTags(const std::string& path, const SourceTags& tags, const GainChange& gains,
                  std::vector<TagField>& leftOut, std::string& error)
{
    TagLib::WavPack::File file(path.c_str(), true);
    if (!tagFileOpened(file, error))
        return false;
    if (!tagFileHasAudio(file, "WavPack", error))
        return false;
    TagLib::APE::Tag& tag = *file.APETag(true);
    // The keys TagLib, foobar2000 and Mp3tag read; APEv2 holds several values of an item.
    setValues(tag, "Title", single(tags.title));
    setValues(tag, "Artist", tagValues(tags.artist));
    setValues(tag, "Album", single(tags.album));
    setValues(tag, "Album Artist", tagValues(tags.albumArtist));
    setValues(tag, "Track", single(tagNumberPair(tags.track, tags.trackTotal)));
    leaveOutTotalWithoutNumber(tags.track, tags.trackTotal, TagField::TrackTotal, leftOut);
    setValues(tag, "Disc", single(tagNumberPair(tags.disc, tags.discTotal)));
    leaveOutTotalWithoutNumber(tags.disc, tags.discTotal, TagField::DiscTotal, leftOut);
    setValues(tag, "Year", single(tags.date));
    setValues(tag, "Genre", tagValues(tags.genre));
    setValues(tag, "Comment", single(tags.comment));
    setValues(tag, "Composer", tagValues(tags.composer));
    tag.removeItem("Cover Art (Front)");
    if (!tags.frontCover.empty()) {
        TagLib::ByteVector value = TagLib::ByteVector(coverFileName(tags.frontCover.mimeType).c_str());
        value.append('\0');
        value.append(tagBytes(tags.frontCover.bytes));
        tag.setItem("Cover Art (Front)", TagLib::APE::Item("Cover Art (Front)", value, true));
    }
    GainChange change = gains;
    change.dropOthers = change.dropOthers || !file.audioProperties()->isLossless();
    setApeGains(tag, change);
    return tagFileSaved(file.save(), error);
}

} // namespace tunevale
