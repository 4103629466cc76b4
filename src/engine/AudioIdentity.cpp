#include "AudioIdentity.h"

#include "AllowedDemuxers.h"
#include "Engine.h"
#include "FileInput.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/hash.h>
}

#include <algorithm>
#include <array>
#include <cstdint>

namespace tunevale
{

namespace
{

constexpr int StreamInfoSize = 34;
constexpr int StreamInfoMd5Offset = 18;
constexpr int Md5Size = 16;

std::string hexText(const std::uint8_t* bytes, std::size_t count)
{
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text += Digits[bytes[i] >> 4];
        text += Digits[bytes[i] & 15];
    }
    return text;
}

// The MD5 of the decoded samples that a FLAC encoder stores in STREAMINFO; empty when unset (zero).
std::string flacStreamInfoMd5(const AVCodecParameters* parameters)
{
    if (parameters->codec_id != AV_CODEC_ID_FLAC || parameters->extradata_size < StreamInfoSize)
        return {};
    const std::uint8_t* md5 = parameters->extradata + StreamInfoMd5Offset;
    if (std::all_of(md5, md5 + Md5Size, [](std::uint8_t b) { return b == 0; }))
        return {};
    return "flac-md5:" + hexText(md5, Md5Size);
}

struct FormatCloser {
    void operator()(AVFormatContext* format) const { avformat_close_input(&format); }
};

struct HashFreer {
    void operator()(AVHashContext* hash) const { av_hash_freep(&hash); }
};

} // namespace

std::string computeAudioIdentity(const std::string& path, int& errorCode)
{
    const auto input = FileInput::open(path, errorCode);
    if (!input)
        return {};
    errorCode = EngineCode::Format;
    const AVInputFormat* inputFormat = nullptr;
    if (input->size() == 0 ||
        av_probe_input_buffer2(input->io(), &inputFormat, path.c_str(), nullptr, 0, 0) < AVPROBE_SCORE_RETRY ||
        !inputFormat || !isAllowedDemuxer(inputFormat->name))
        return {};

    AVFormatContext* opened = avformat_alloc_context();
    if (!opened) {
        errorCode = EngineCode::Mem;
        return {};
    }
    opened->pb = input->io();
    opened->io_open = &FileInput::refuseNestedOpen;
    if (avformat_open_input(&opened, path.c_str(), inputFormat, nullptr) < 0)
        return {};
    const std::unique_ptr<AVFormatContext, FormatCloser> format(opened);
    // Most containers name their streams in the header; the others need packets read first.
    int streamIndex = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (streamIndex < 0 && avformat_find_stream_info(format.get(), nullptr) >= 0)
        streamIndex = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (streamIndex < 0)
        return {};
    const AVCodecParameters* parameters = format->streams[streamIndex]->codecpar;
    if (auto md5 = flacStreamInfoMd5(parameters); !md5.empty()) {
        errorCode = EngineCode::Ok;
        return md5;
    }
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (static_cast<int>(i) != streamIndex)
            format->streams[i]->discard = AVDISCARD_ALL;

    AVHashContext* created = nullptr;
    if (av_hash_alloc(&created, "murmur3") < 0) {
        errorCode = EngineCode::Mem;
        return {};
    }
    const std::unique_ptr<AVHashContext, HashFreer> hash(created);
    av_hash_init(hash.get());
    const auto codec = static_cast<std::uint32_t>(parameters->codec_id);
    av_hash_update(hash.get(), reinterpret_cast<const std::uint8_t*>(&codec), sizeof codec);
    AVPacket* packet = av_packet_alloc();
    if (!packet) {
        errorCode = EngineCode::Mem;
        return {};
    }
    std::size_t packets = 0;
    int status = 0;
    while ((status = av_read_frame(format.get(), packet)) >= 0) {
        if (packet->stream_index == streamIndex && packet->size > 0) {
            av_hash_update(hash.get(), packet->data, static_cast<std::size_t>(packet->size));
            ++packets;
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    // A read error before the end is a damaged file, whose identity would change once mended.
    if (status != AVERROR_EOF || packets == 0)
        return {};
    std::array<std::uint8_t, AV_HASH_MAX_SIZE> digest{};
    av_hash_final(hash.get(), digest.data());
    errorCode = EngineCode::Ok;
    return "packets:" + hexText(digest.data(), static_cast<std::size_t>(av_hash_get_size(hash.get())));
}

} // namespace tunevale
