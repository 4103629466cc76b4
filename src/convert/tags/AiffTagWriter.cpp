#include "OutputTagFields.h"
#include "OutputTagFormats.h"

#include <taglib/aifffile.h>
#include <taglib/id3v2tag.h>

namespace tunevale
{

bool writeAiffTags(const std::string& path, const SourceTags& tags, const GainChange& gains,
                   std::vector<TagField>& leftOut, std::string& error)
{
    TagLib::RIFF::AIFF::File file(path.c_str(), true);
    if (!tagFileOpened(file, error))
        return false;
    if (!tagFileHasAudio(file, "AIFF", error))
        return false;
    TagLib::ID3v2::Tag& tag = *file.tag();
    setId3Fields(tag, tags, leftOut);
    setId3Gains(tag, gains);
    return tagFileSaved(file.save(TagLib::ID3v2::v3), error);
}

} // namespace tunevale
