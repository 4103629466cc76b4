#include "OutputTagFormats.h"

#include "OutputTagFields.h"

#include <taglib/aifffile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

namespace tunevale
{

namespace
{

bool mp3Gains(const std::string& path, const GainChange& gains, std::string& error)
{
    return editMp3Tag(
        path, [&](TagLib::ID3v2::Tag& tag) { setId3Gains(tag, gains); }, error);
}

// Opens the file as the TagLib type, applies the change to the tag its layout reads and saves it.
template <typename File, typename Apply>
bool changeGains(const std::string& path, bool readAudio, Apply&& apply, std::string& error)
{
    File file(path.c_str(), readAudio);
    if (!tagFileOpened(file, error))
        return false;
    apply(file);
    return tagFileSaved(file.save(), error);
}

bool mp4IsLossy(const TagLib::MP4::File& file)
{
    return !file.audioProperties() || file.audioProperties()->codec() != TagLib::MP4::Properties::ALAC;
}

bool wavPackIsLossy(const TagLib::WavPack::File& file)
{
    return !file.audioProperties() || !file.audioProperties()->isLossless();
}

} // namespace

bool writeGainsOnly(const std::string& path, OutputTagFormat format, const GainChange& gains, std::string& error)
{
    switch (format) {
    case OutputTagFormat::Mp3:
        return mp3Gains(path, gains, error);
    case OutputTagFormat::Ogg:
        return changeGains<TagLib::Ogg::Vorbis::File>(
            path, false, [&](auto& file) { setVorbisGains(*file.tag(), gains); }, error);
    case OutputTagFormat::Wma:
        return changeGains<TagLib::ASF::File>(
            path, false, [&](auto& file) { setAsfGains(*file.tag(), gains); }, error);
    case OutputTagFormat::Flac:
        return changeGains<TagLib::FLAC::File>(
            path, false, [&](auto& file) { setVorbisGains(*file.xiphComment(true), gains); }, error);
    case OutputTagFormat::OggOpus:
        return changeGains<TagLib::Ogg::Opus::File>(
            path, false, [&](auto& file) { setOpusGains(*file.tag(), gains); }, error);
    case OutputTagFormat::Mp4:
        return changeGains<TagLib::MP4::File>(
            path, false, [&](auto& file) { setMp4Gains(*file.tag(), gains); }, error);
    case OutputTagFormat::WavPack: {
        TagLib::WavPack::File file(path.c_str(), true);
        if (!tagFileOpened(file, error))
            return false;
        if (!tagFileHasAudio(file, "WavPack", error))
            return false;
        setApeGains(*file.APETag(true), gains);
        return tagFileSaved(file.save(), error);
    }
    case OutputTagFormat::Aiff: {
        TagLib::RIFF::AIFF::File file(path.c_str(), true);
        if (!tagFileOpened(file, error))
            return false;
        if (!tagFileHasAudio(file, "AIFF", error))
            return false;
        setId3Gains(*file.tag(), gains);
        return tagFileSaved(file.save(TagLib::ID3v2::v3), error);
    }
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
    case OutputTagFormat::OggOpus: {
        TagLib::Ogg::Opus::File file(path.c_str(), false);
        return file.isValid() && hasGainTags(*file.tag());
    }
    case OutputTagFormat::Mp4: {
        TagLib::MP4::File file(path.c_str(), true);
        return file.isValid() && mp4IsLossy(file) && hasGainTags(*file.tag());
    }
    case OutputTagFormat::WavPack: {
        TagLib::WavPack::File file(path.c_str(), true);
        return file.isValid() && wavPackIsLossy(file) && file.hasAPETag() && hasGainTags(*file.APETag());
    }
    case OutputTagFormat::Wav:
    case OutputTagFormat::Flac:
    case OutputTagFormat::Aiff:
        break;
    }
    return false;
}

} // namespace tunevale
