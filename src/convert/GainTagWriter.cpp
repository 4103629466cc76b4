#include "OutputTagFormats.h"

#include <taglib/asffile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/vorbisfile.h>

namespace tunevale
{

namespace
{

bool opened(const TagLib::File& file, std::string& error)
{
    if (!file.isValid())
        error = "TagLib cannot read the file";
    return file.isValid();
}

bool saved(bool ok, std::string& error)
{
    if (!ok)
        error = "TagLib could not save the file";
    return ok;
}

bool mp3Gains(const std::string& path, const GainChange& gains, std::string& error)
{
    TagLib::MPEG::File file(path.c_str(), false);
    if (!opened(file, error))
        return false;
    if (file.firstFrameOffset() < 0) {
        error = "no MPEG audio in the file";
        return false;
    }
    setId3Gains(*file.ID3v2Tag(true), gains);
    return saved(file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3,
                           TagLib::File::DoNotDuplicate),
                 error);
}

bool oggGains(const std::string& path, const GainChange& gains, std::string& error)
{
    TagLib::Ogg::Vorbis::File file(path.c_str(), false);
    if (!opened(file, error))
        return false;
    setVorbisGains(*file.tag(), gains);
    return saved(file.save(), error);
}

bool wmaGains(const std::string& path, const GainChange& gains, std::string& error)
{
    TagLib::ASF::File file(path.c_str(), false);
    if (!opened(file, error))
        return false;
    setAsfGains(*file.tag(), gains);
    return saved(file.save(), error);
}

} // namespace

bool writeGainsOnly(const std::string& path, OutputTagFormat format, const GainChange& gains, std::string& error)
{
    switch (format) {
    case OutputTagFormat::Mp3:
        return mp3Gains(path, gains, error);
    case OutputTagFormat::Ogg:
        return oggGains(path, gains, error);
    case OutputTagFormat::Wma:
        return wmaGains(path, gains, error);
    case OutputTagFormat::Wav:
        return true;
    }
    error = "unknown output format";
    return false;
}

bool carriesStaleGains(const std::string& path, OutputTagFormat format)
{
    switch (format) {
    case OutputTagFormat::Mp3: {
        TagLib::MPEG::File file(path.c_str(), false);
        return file.isValid() && file.hasID3v2Tag() && hasGainTags(*file.ID3v2Tag());
    }
    case OutputTagFormat::Ogg: {
        TagLib::Ogg::Vorbis::File file(path.c_str(), false);
        return file.isValid() && hasGainTags(*file.tag());
    }
    case OutputTagFormat::Wma: {
        TagLib::ASF::File file(path.c_str(), false);
        return file.isValid() && hasGainTags(*file.tag());
    }
    case OutputTagFormat::Wav:
        break;
    }
    return false;
}

} // namespace tunevale
