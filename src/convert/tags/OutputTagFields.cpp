#include "OutputTagFields.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/xiphcomment.h>

#include <utility>

namespace tunevale
{

namespace
{

void setId3Text(TagLib::ID3v2::Tag& tag, const char* frameId, const std::string& value)
{
    tag.removeFrames(frameId);
    if (value.empty())
        return;
    // Latin-1 where the text allows, otherwise TagLib writes UTF-16 (ID3v2.3 has no UTF-8).
    auto frame =
        std::make_unique<TagLib::ID3v2::TextIdentificationFrame>(TagLib::ByteVector(frameId), TagLib::String::Latin1);
    frame->setText(tagText(value));
    tag.addFrame(frame.release());
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

TagLib::String tagText(const std::string& utf8)
{
    return TagLib::String(utf8, TagLib::String::UTF8);
}

TagLib::ByteVector tagBytes(const std::vector<unsigned char>& data)
{
    return TagLib::ByteVector(reinterpret_cast<const char*>(data.data()), static_cast<unsigned>(data.size()));
}

std::string tagNumber(unsigned value)
{
    return value ? std::to_string(value) : std::string();
}

std::string tagNumberPair(unsigned value, unsigned total)
{
    return value ? std::to_string(value) + (total ? "/" + std::to_string(total) : std::string()) : std::string();
}

void leaveOutTotalWithoutNumber(unsigned value, unsigned total, TagField field, std::vector<TagField>& leftOut)
{
    if (!value && total)
        leftOut.push_back(field);
}

TagLib::StringList tagValues(const std::string& text)
{
    TagLib::StringList values;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find(';', start), text.size());
        if (std::string value = trimmed(text.substr(start, end - start)); !value.empty())
            values.append(tagText(value));
        start = end + 1;
    }
    return values;
}

bool tagFileOpened(const TagLib::File& file, std::string& error)
{
    if (!file.isValid())
        error = "TagLib cannot read the file";
    return file.isValid();
}

bool tagFileSaved(bool ok, std::string& error)
{
    if (!ok)
        error = "TagLib could not save the file";
    return ok;
}

void setId3Fields(TagLib::ID3v2::Tag& tag, const SourceTags& tags, std::vector<TagField>& leftOut)
{
    setId3Text(tag, "TIT2", tags.title);
    setId3Text(tag, "TPE1", tags.artist);
    setId3Text(tag, "TALB", tags.album);
    setId3Text(tag, "TPE2", tags.albumArtist);
    setId3Text(tag, "TRCK", tagNumberPair(tags.track, tags.trackTotal));
    leaveOutTotalWithoutNumber(tags.track, tags.trackTotal, TagField::TrackTotal, leftOut);
    setId3Text(tag, "TPOS", tagNumberPair(tags.disc, tags.discTotal));
    leaveOutTotalWithoutNumber(tags.disc, tags.discTotal, TagField::DiscTotal, leftOut);
    // Saved as ID3v2.3, TagLib turns the date into TYER and TDAT.
    setId3Text(tag, "TDRC", tags.date);
    setId3Text(tag, "TCON", tags.genre);
    setId3Text(tag, "TCOM", tags.composer);
    tag.removeFrames("COMM");
    if (!tags.comment.empty()) {
        auto comment = std::make_unique<TagLib::ID3v2::CommentsFrame>();
        comment->setLanguage("eng");
        comment->setText(tagText(tags.comment));
        tag.addFrame(comment.release());
    }
    tag.removeFrames("APIC");
    if (!tags.frontCover.empty()) {
        auto picture = std::make_unique<TagLib::ID3v2::AttachedPictureFrame>();
        picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        picture->setMimeType(tagText(tags.frontCover.mimeType));
        picture->setPicture(tagBytes(tags.frontCover.bytes));
        tag.addFrame(picture.release());
    }
}

void setVorbisFields(TagLib::Ogg::XiphComment& comment, const SourceTags& tags)
{
    const auto single = [](const std::string& value) {
        return value.empty() ? TagLib::StringList() : TagLib::StringList(tagText(value));
    };
    const std::pair<const char*, TagLib::StringList> fields[] = {
        {"TITLE", single(tags.title)},
        {"ARTIST", tagValues(tags.artist)},
        {"ALBUM", single(tags.album)},
        {"ALBUMARTIST", tagValues(tags.albumArtist)},
        {"TRACKNUMBER", single(tagNumber(tags.track))},
        {"TRACKTOTAL", single(tagNumber(tags.trackTotal))},
        {"DISCNUMBER", single(tagNumber(tags.disc))},
        {"DISCTOTAL", single(tagNumber(tags.discTotal))},
        {"DATE", single(tags.date)},
        {"GENRE", tagValues(tags.genre)},
        {"COMMENT", single(tags.comment)},
        {"COMPOSER", tagValues(tags.composer)},
    };
    for (const auto& [key, values] : fields) {
        comment.removeFields(key);
        for (const TagLib::String& value : values)
            comment.addField(key, value, false);
    }
}

std::unique_ptr<TagLib::FLAC::Picture> frontCoverBlock(const TagPicture& cover)
{
    auto picture = std::make_unique<TagLib::FLAC::Picture>();
    picture->setType(TagLib::FLAC::Picture::FrontCover);
    picture->setMimeType(tagText(cover.mimeType));
    picture->setData(tagBytes(cover.bytes));
    return picture;
}

} // namespace tunevale
