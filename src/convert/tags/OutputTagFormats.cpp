#include "OutputTagFormats.h"

#include "OutputTagFields.h"
#include "TagText.h"

#include <taglib/asffile.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <QString>

#include <utility>

namespace tunevale
{

namespace
{

using TagLib::String;

struct AsfValue {
    std::string name;
    std::string value;
};

// The content description object's fields that FFmpeg reads too; everything else (its rating
// included, which FFmpeg would not show) is an attribute.
enum class AsfSlot { Title, Author, Description, Copyright, Attribute };

AsfSlot asfSlot(const std::string& name)
{
    const QString key = QString::fromStdString(name);
    const std::pair<const char*, AsfSlot> contentFields[] = {{"Title", AsfSlot::Title},
                                                             {"Author", AsfSlot::Author},
                                                             {"Description", AsfSlot::Description},
                                                             {"Copyright", AsfSlot::Copyright}};
    for (const auto& [slotName, slot] : contentFields)
        if (key.compare(slotName, Qt::CaseInsensitive) == 0)
            return slot;
    return AsfSlot::Attribute;
}

bool sameAttributeName(const std::string& a, const std::string& b)
{
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

// Attributes of that name in any letter case: the encoder stores typed names such as "Title" as
// attributes, which would otherwise stand beside the content description's title.
void eraseAttributes(TagLib::ASF::Tag& tag, const std::string& name)
{
    std::vector<String> names;
    for (const auto& entry : tag.attributeListMap())
        if (sameAttributeName(entry.first.to8Bit(true), name))
            names.push_back(entry.first);
    for (const String& found : names)
        tag.removeItem(found);
}

// The content description object stores each text with a 16-bit byte count, terminator included.
constexpr std::size_t ContentDescriptionBytes = 0xFFFF - 2;

std::size_t contentDescriptionSize(const std::string& value)
{
    return tagText(value).data(String::UTF16LE).size();
}

const char* slotName(AsfSlot slot)
{
    switch (slot) {
    case AsfSlot::Title:
        return tagFieldName(TagField::Title);
    case AsfSlot::Author:
        return tagFieldName(TagField::Artist);
    case AsfSlot::Description:
        return tagFieldName(TagField::Comment);
    case AsfSlot::Copyright:
        return "Copyright";
    case AsfSlot::Attribute:
        break;
    }
    return "";
}

} // namespace

bool editMp3Tag(const std::string& path, const std::function<void(TagLib::ID3v2::Tag&)>& edit, std::string& error)
{
    TagLib::MPEG::File file(path.c_str(), false);
    if (!tagFileOpened(file, error))
        return false;
    if (file.firstFrameOffset() < 0) {
        error = "no MPEG audio in the file";
        return false;
    }
    edit(*file.ID3v2Tag(true));
    return tagFileSaved(file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3,
                                  TagLib::File::DoNotDuplicate),
                        error);
}

bool writeId3v2Tags(const std::string& path, const SourceTags& tags, const GainChange& gains,
                    std::vector<TagField>& leftOut, std::string& error)
{
    return editMp3Tag(
        path,
        [&](TagLib::ID3v2::Tag& tag) {
            setId3Fields(tag, tags, leftOut);
            setId3Gains(tag, gains);
        },
        error);
}

bool writeVorbisComments(const std::string& path, const SourceTags& tags, const GainChange& gains, std::string& error)
{
    TagLib::Ogg::Vorbis::File file(path.c_str(), false);
    if (!tagFileOpened(file, error))
        return false;
    TagLib::Ogg::XiphComment& comment = *file.tag();
    setVorbisFields(comment, tags);
    comment.removeAllPictures();
    if (!tags.frontCover.empty())
        comment.addPicture(frontCoverBlock(tags.frontCover).release());
    setVorbisGains(comment, gains);
    return tagFileSaved(file.save(), error);
}

bool writeAsfAttributes(const std::string& path, const SourceTags& tags, const std::optional<TypedWmaTags>& typed,
                        const GainChange& gains, std::vector<std::string>& dropped, std::string& error)
{
    TagLib::ASF::File file(path.c_str(), false);
    if (!tagFileOpened(file, error))
        return false;
    TagLib::ASF::Tag& tag = *file.tag();

    std::vector<AsfValue> values{
        {"Title", tags.title},
        {"Author", tags.artist},
        {"WM/AlbumTitle", tags.album},
        {"WM/AlbumArtist", tags.albumArtist},
        {"WM/TrackNumber", tagNumber(tags.track)},
        {"TotalTracks", tagNumber(tags.trackTotal)},
        {"WM/PartOfSet", tagNumber(tags.disc)},
        {"TotalDiscs", tagNumber(tags.discTotal)},
        {"WM/Year", tags.date},
        {"WM/Genre", tags.genre},
        {"Description", tags.comment},
        {"WM/Composer", tags.composer},
    };
    if (typed) {
        for (std::size_t i = 0; i < typed->names.size(); ++i) {
            const std::string& name = typed->names[i];
            std::erase_if(values, [&name](const AsfValue& value) { return sameAttributeName(value.name, name); });
            values.push_back({name, cleanTagText(typed->values[i])});
        }
    }
    for (const auto& [name, value] : values) {
        eraseAttributes(tag, name);
        const AsfSlot slot = asfSlot(name);
        if (slot == AsfSlot::Attribute) {
            if (!value.empty())
                tag.setAttribute(tagText(name), TagLib::ASF::Attribute(tagText(value)));
            continue;
        }
        const std::size_t size = contentDescriptionSize(value);
        const bool fits = size <= ContentDescriptionBytes;
        if (!fits)
            dropped.push_back(std::string(slotName(slot)) + " (" + std::to_string(size) + " bytes, more than the " +
                              std::to_string(ContentDescriptionBytes) + " a WMA text field holds)");
        const String shown = fits ? tagText(value) : String();
        switch (slot) {
        case AsfSlot::Title:
            tag.setTitle(shown);
            break;
        case AsfSlot::Author:
            tag.setArtist(shown);
            break;
        case AsfSlot::Description:
            tag.setComment(shown);
            break;
        case AsfSlot::Copyright:
            tag.setCopyright(shown);
            break;
        case AsfSlot::Attribute:
            break;
        }
    }
    eraseAttributes(tag, "WM/Picture");
    if (!tags.frontCover.empty()) {
        TagLib::ASF::Picture picture;
        picture.setType(TagLib::ASF::Picture::FrontCover);
        picture.setMimeType(tagText(tags.frontCover.mimeType));
        picture.setPicture(tagBytes(tags.frontCover.bytes));
        tag.setAttribute("WM/Picture", TagLib::ASF::Attribute(picture));
    }
    setAsfGains(tag, gains);
    return tagFileSaved(file.save(), error);
}

bool writeRiffInfo(const std::string& path, const SourceTags& tags, std::vector<TagField>& leftOut, std::string& error)
{
    TagLib::RIFF::WAV::File file(path.c_str(), false);
    if (!tagFileOpened(file, error))
        return false;
    TagLib::RIFF::Info::Tag& info = *file.InfoTag();
    // The INFO list's usual fields; its texts are read and written as UTF-8.
    const std::pair<const char*, std::string> fields[] = {
        {"INAM", tags.title},   {"IART", tags.artist},
        {"IPRD", tags.album},   {"IPRT", tagNumberPair(tags.track, tags.trackTotal)},
        {"ICRD", tags.date},    {"IGNR", tags.genre},
        {"ICMT", tags.comment}, {"IMUS", tags.composer},
    };
    for (const auto& [id, value] : fields) {
        if (value.empty())
            info.removeField(id);
        else
            info.setFieldText(id, tagText(value));
    }
    leaveOutTotalWithoutNumber(tags.track, tags.trackTotal, TagField::TrackTotal, leftOut);
    const std::pair<TagField, bool> missing[] = {{TagField::AlbumArtist, !tags.albumArtist.empty()},
                                                 {TagField::Disc, tags.disc != 0},
                                                 {TagField::DiscTotal, tags.discTotal != 0},
                                                 {TagField::FrontCover, !tags.frontCover.empty()}};
    for (const auto& [field, present] : missing)
        if (present)
            leftOut.push_back(field);
    return tagFileSaved(file.save(TagLib::RIFF::WAV::File::Info, TagLib::File::StripNone), error);
}

} // namespace tunevale
