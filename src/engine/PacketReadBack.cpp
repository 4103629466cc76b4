#include "PacketReadBack.h"

#include "BackgroundThread.h"

#include "Engine.h"
#include "FileInput.h"
#include "NativeSamples.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace tunevale
{

namespace
{

struct FormatDeleter {
    void operator()(AVFormatContext* format) const { avformat_close_input(&format); }
};

} // namespace

void PacketReadBack::ContextDeleter::operator()(AVCodecContext* context) const
{
    avcodec_free_context(&context);
}

void PacketReadBack::PacketDeleter::operator()(AVPacket* packet) const
{
    av_packet_free(&packet);
}

std::unique_ptr<PacketReadBack> PacketReadBack::start(const AVCodecParameters& stream, std::uint32_t storedFlags,
                                                      RewrittenBytes rewritten)
{
    const AVCodec* codec = avcodec_find_decoder(stream.codec_id);
    if (!codec)
        return nullptr;
    std::unique_ptr<PacketReadBack> readBack(new PacketReadBack);
    readBack->m_decoder.reset(avcodec_alloc_context3(codec));
    if (!readBack->m_decoder || avcodec_parameters_to_context(readBack->m_decoder.get(), &stream) < 0)
        return nullptr;
    readBack->m_decoder->thread_count = 1;
    if (avcodec_open2(readBack->m_decoder.get(), codec, nullptr) < 0)
        return nullptr;
    readBack->m_flags = storedFlags;
    readBack->m_rewritten = rewritten;
    readBack->m_codecId = stream.codec_id;
    readBack->m_extradata.assign(stream.extradata, stream.extradata + stream.extradata_size);
    readBack->m_thread = std::thread([raw = readBack.get()] { raw->run(); });
    return readBack;
}

PacketReadBack::~PacketReadBack()
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_ended = true;
        m_queue.clear();
    }
    m_changed.notify_all();
    m_thread.join();
}

bool PacketReadBack::add(const AVPacket& packet)
{
    Packet copy(av_packet_alloc());
    if (!copy || av_packet_ref(copy.get(), &packet) < 0)
        return false;
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_queue.size() < MostQueued; });
        m_queue.push_back(std::move(copy));
    }
    m_changed.notify_all();
    return true;
}

void PacketReadBack::addPayload(PcmDigest& digest, const AVPacket& packet, bool first) const
{
    const auto size = static_cast<std::size_t>(packet.size);
    if (!first || m_rewritten.size == 0 || size < m_rewritten.offset + m_rewritten.size) {
        digest.add(packet.data, size);
        return;
    }
    const std::size_t after = m_rewritten.offset + m_rewritten.size;
    digest.add(packet.data, m_rewritten.offset);
    digest.add(packet.data + after, size - after);
}

void PacketReadBack::run()
{
    yieldToTheJobsOtherThreads();
    for (bool first = true;; first = false) {
        Packet packet;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_ended || !m_queue.empty(); });
            if (m_queue.empty())
                break;
            packet = std::move(m_queue.front());
            m_queue.pop_front();
        }
        m_changed.notify_all();
        addPayload(m_payload, *packet, first);
        decode(packet.get());
    }
    decode(nullptr);
}

// Sends the packet (nullptr: the end) and digests every frame it gives.
void PacketReadBack::decode(AVPacket* packet)
{
    if (m_failed)
        return;
    AVCodecContext& decoder = *m_decoder;
    if (avcodec_send_packet(&decoder, packet) < 0) {
        m_failed = true;
        return;
    }
    AVFrame* frame = av_frame_alloc();
    if (!frame) {
        m_failed = true;
        return;
    }
    const std::size_t frameBytes = std::size_t{bytesPerSample(m_flags)} * decoder.ch_layout.nb_channels;
    for (int received; (received = avcodec_receive_frame(&decoder, frame)) != AVERROR(EAGAIN);) {
        if (received == AVERROR_EOF)
            break;
        if (received < 0 || frame->ch_layout.nb_channels != decoder.ch_layout.nb_channels) {
            m_failed = true;
            break;
        }
        m_bytes.resize(frameBytes * static_cast<std::size_t>(frame->nb_samples));
        writeNativeSamples(frame, 0, frame->nb_samples, m_flags, m_bytes.data());
        m_pcm.add(m_bytes.data(), m_bytes.size());
        av_frame_unref(frame);
    }
    av_frame_free(&frame);
}

int PacketReadBack::result(int fd, const EncodedPcm& expected)
{
    {
        const std::lock_guard lock(m_mutex);
        m_ended = true;
    }
    m_changed.notify_all();
    m_thread.join();
    const bool decoded = !m_failed && m_decoder->sample_rate == static_cast<int>(expected.freq) &&
                         m_decoder->ch_layout.nb_channels == static_cast<int>(expected.chans) &&
                         m_pcm.size() == expected.bytes && m_pcm.value() == expected.digest;
    return decoded && fileMatches(fd, expected) ? EngineCode::Ok : EngineCode::VerifyFailed;
}

// Reads the finished file as a player would find its packets, without decoding them.
bool PacketReadBack::fileMatches(int fd, const EncodedPcm& expected)
{
    int error = EngineCode::Ok;
    const auto input = FileInput::openDescriptor(fd, error);
    if (!input)
        return false;
    AVFormatContext* opened = avformat_alloc_context();
    if (!opened)
        return false;
    opened->pb = input->io();
    opened->io_open = &FileInput::refuseNestedOpen;
    if (avformat_open_input(&opened, nullptr, nullptr, nullptr) < 0)
        return false;
    const std::unique_ptr<AVFormatContext, FormatDeleter> format(opened);
    if (format->nb_streams != 1)
        return false;
    const AVStream& stream = *format->streams[0];
    const AVCodecParameters& found = *stream.codecpar;
    const std::vector<std::uint8_t> extradata(found.extradata, found.extradata + found.extradata_size);
    if (found.codec_id != m_codecId || found.sample_rate != static_cast<int>(expected.freq) ||
        found.ch_layout.nb_channels != static_cast<int>(expected.chans))
        return false;
    // The decoder's set-up where the codec has one (ALAC's); WavPack's demuxer makes its own.
    if (!m_extradata.empty() && extradata != m_extradata)
        return false;

    PcmDigest payload;
    std::int64_t duration = 0;
    AVPacket* packet = av_packet_alloc();
    if (!packet)
        return false;
    int read = 0;
    for (bool first = true; (read = av_read_frame(format.get(), packet)) >= 0; first = false) {
        addPayload(payload, *packet, first);
        duration += packet->duration;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    if (read != AVERROR_EOF || payload.size() != m_payload.size() || payload.value() != m_payload.value())
        return false;
    // The length the file states: the sum of its packets' lengths, or for PCM its bytes.
    const std::uint64_t frames = expected.bytes / (std::uint64_t{expected.chans} * bytesPerSample(expected.flags));
    const int pcmBits = av_get_bits_per_sample(found.codec_id);
    const auto toFrames = [&](std::int64_t value) {
        return av_rescale_q(value, stream.time_base, AVRational{1, static_cast<int>(expected.freq)});
    };
    const std::uint64_t stated = pcmBits > 0 ? payload.size() * 8 / (std::uint64_t(pcmBits) * expected.chans)
                                             : static_cast<std::uint64_t>(toFrames(duration));
    const bool statedLength = toFrames(stream.duration) == std::int64_t(frames) ||
                              (stream.duration == AV_NOPTS_VALUE && m_rewritten.size == 0);
    return stated == frames && statedLength;
}

} // namespace tunevale
