#include "Mp4Gapless.h"
#include "OutputTagFields.h"
#include "OutputTagFormats.h"

#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>

#include <optional>

namespace tunevale
{

namespace
{

constexpr const char* GaplessNoteAtom = "----:com.apple.iTunes:iTunSMPB";

std::optional<TagLib::MP4::CoverArt::Format> coverFormat(const std::string& mimeType)
{
    if (mimeType == "image/jpeg")
        return TagLib::MP4::CoverArt::JPEG;
    if (mimeType == "image/png")
        return TagLib::MP4::CoverArt::PNG;
    if (mimeType == "image/gif")
        return TagLib::MP4::CoverArt::GIF;
    if (mimeType == "image/bmp")
        return TagLib::MP4::CoverArt::BMP;
    return std::nullopt;
}

void setText(TagLib::MP4::Tag& tag, const char* atom, const std::string& value)
{
    if (value.empty())
        tag.removeItem(atom);
    else
        tag.setItem(atom, TagLib::StringList(tagText(value)));
}

void setPair(TagLib::MP4::Tag& tag, const char* atom, unsigned value, unsigned total)
{
    if (!value && !total)
        tag.removeItem(atom);
    else
        tag.setItem(atom, TagLib::MP4::Item(static_cast<int>(value), static_cast<int>(total)));
}

} // namespace

bool writeMp4Tags(const std::string& path, const SourceTags& tags, const GainChange& gains,
                  std::vector<std::string>& dropped, std::string& error)
{
    TagLib::MP4::File file(path.c_str(), true);
    if (!tagFileOpened(file, error))
        return false;
    TagLib::MP4::Tag& tag = *file.tag();
    // Atoms hold one text each as most players read them: several values stay joined.
    setText(tag, "\251nam", tags.title);
    setText(tag, "\251ART", tags.artist);
    setText(tag, "aART", tags.albumArtist);
    setText(tag, "\251alb", tags.album);
    setPair(tag, "trkn", tags.track, tags.trackTotal);
    setPair(tag, "disk", tags.disc, tags.discTotal);
    setText(tag, "\251day", tags.date);
    tag.removeItem("gnre"); // an ID3v1 genre number would stand beside the text
    setText(tag, "\251gen", tags.genre);
    setText(tag, "\251cmt", tags.comment);
    setText(tag, "\251wrt", tags.composer);
    tag.removeItem("covr");
    if (!tags.frontCover.empty()) {
        if (const auto format = coverFormat(tags.frontCover.mimeType)) {
            TagLib::MP4::CoverArtList covers;
            covers.append(TagLib::MP4::CoverArt(*format, tagBytes(tags.frontCover.bytes)));
            tag.setItem("covr", covers);
        } else {
            dropped.push_back(std::string(tagFieldName(TagField::FrontCover)) + " (" + tags.frontCover.mimeType +
                              ", a type M4A files have no place for)");
        }
    }
    GainChange change = gains;
    const auto* audio = file.audioProperties();
    change.dropOthers = change.dropOthers || !audio || audio->codec() != TagLib::MP4::Properties::ALAC;
    setMp4Gains(tag, change);
    // The encoder's delay and padding, for Apple's players; an AAC source's own note, if any came
    // along, would describe another encoding.
    tag.removeItem(GaplessNoteAtom);
    if (audio && audio->codec() == TagLib::MP4::Properties::AAC)
        if (const auto note = aacGaplessNote(path))
            tag.setItem(GaplessNoteAtom, TagLib::StringList(TagLib::String(*note)));
    return tagFileSaved(file.save(), error);
}

} // namespace tunevale
