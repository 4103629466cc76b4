#include "FfmpegTagReader.h"

#include "SourceTagCollector.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace tunevale
{

namespace
{

void addEntries(SourceTagCollector& collector, const AVDictionary* metadata)
{
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(metadata, "", entry, AV_DICT_IGNORE_SUFFIX)))
        collector.add(entry->key, entry->value);
}

std::string pictureMimeType(AVCodecID codec)
{
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec);
    if (!descriptor || descriptor->type != AVMEDIA_TYPE_VIDEO || !descriptor->mime_types)
        return {};
    return descriptor->mime_types[0];
}

void addPicture(SourceTagCollector& collector, const AVStream* stream)
{
    if (!(stream->disposition & AV_DISPOSITION_ATTACHED_PIC) || stream->attached_pic.size <= 0)
        return;
    TagPicture picture;
    picture.mimeType = pictureMimeType(stream->codecpar->codec_id);
    if (picture.mimeType.empty())
        return;
    const std::uint8_t* data = stream->attached_pic.data;
    picture.bytes.assign(data, data + stream->attached_pic.size);
    // Demuxers name the picture's role after ID3's picture types, which FLAC and ASF share.
    const AVDictionaryEntry* role = av_dict_get(stream->metadata, "comment", nullptr, 0);
    collector.addPicture(std::move(picture), role && std::strcmp(role->value, "Cover (front)") == 0);
}

} // namespace

SourceTags readSourceTags(const AVFormatContext* format, int audioStream)
{
    SourceTagCollector collector;
    addEntries(collector, format->metadata);
    if (audioStream >= 0 && static_cast<unsigned>(audioStream) < format->nb_streams)
        addEntries(collector, format->streams[audioStream]->metadata);
    for (unsigned i = 0; i < format->nb_streams; ++i)
        addPicture(collector, format->streams[i]);
    return collector.tags();
}

} // namespace tunevale
