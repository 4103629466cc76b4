#include "OutputTagFields.h"
#include "OutputTagFormats.h"

#include <taglib/flacfile.h>
#include <taglib/opusfile.h>
#include <taglib/xiphcomment.h>

namespace tunevale
{

bool writeFlacTags(const std::string& path, const SourceTags& tags, const GainChange& gains, std::string& error)
{
    TagLib::FLAC::File file(path.c_str(), false);
    if (!tagFileOpened(file, error))
        return false;
    TagLib::Ogg::XiphComment& comment = *file.xiphComment(true);
    setVorbisFields(comment, tags);
    setVorbisGains(comment, gains);
    // The cover goes in a PICTURE block of its own, where FLAC readers look; none stays in the comment.
    comment.removeAllPictures();
    file.removePictures();
    if (!tags.frontCover.empty())
        file.addPicture(frontCoverBlock(tags.frontCover).release());
    return tagFileSaved(file.save(), error);
}

bool writeOpusTags(const std::string& path, const SourceTags& tags, const GainChange& gains, std::string& error)
{
    TagLib::Ogg::Opus::File file(path.c_str(), false);
    if (!tagFileOpened(file, error))
        return false;
    TagLib::Ogg::XiphComment& comment = *file.tag();
    setVorbisFields(comment, tags);
    setOpusGains(comment, gains);
    comment.removeAllPictures();
    if (!tags.frontCover.empty())
        comment.addPicture(frontCoverBlock(tags.frontCover).release());
    return tagFileSaved(file.save(), error);
}

} // namespace tunevale
