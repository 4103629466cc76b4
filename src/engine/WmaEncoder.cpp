#include "WmaEncoder.h"

#include "Engine.h"
#include "WaveChannelLayout.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace tunevale
{

namespace
{

constexpr std::uint32_t MaxEncoderRate = 48000;
constexpr std::uint32_t MaxEncoderChannels = 2;
// Windows-Media-like steps; wmav2 refuses less than 24 kbit/s.
constexpr std::array<std::uint32_t, 12> BitrateSteps{320000, 256000, 192000, 160000, 128000, 96000,
                                                     80000,  64000,  48000,  40000,  32000,  24000};
// ASF framing in FFmpeg's muxer: each encoded frame is a payload with its own header, and each packet
// has a header of its own. Audio frames are never split over packets.
constexpr int PayloadHeaderBytes = 17;
constexpr int PacketHeaderBytes = 12;
constexpr int TargetPacketBytes = 1600;
// PCM that write() may hold for the encoding thread (about 6 s of CD audio) before it waits.
constexpr std::size_t MaxQueuedBytes = 1 << 20;
// A bitrate is offered only when the file it gives stays this close to it, framing included.
constexpr double MaxFramingShare = 0.08;

struct EncoderFormat {
    std::uint32_t rate;
    std::uint32_t channels;
};

EncoderFormat encoderFormat(std::uint32_t freq, std::uint32_t chans)
{
    EncoderFormat format{freq, std::min(chans, MaxEncoderChannels)};
    if (freq > MaxEncoderRate)
        format.rate = freq % 44100 == 0 ? 44100 : MaxEncoderRate;
    return format;
}

struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;

CodecContextPtr openCodec(EncoderFormat format, std::uint32_t bitrate)
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    if (!codec)
        return nullptr;
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context)
        return nullptr;
    context->sample_rate = static_cast<int>(format.rate);
    av_channel_layout_default(&context->ch_layout, static_cast<int>(format.channels));
    context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    context->bit_rate = bitrate;
    context->time_base = AVRational{1, static_cast<int>(format.rate)};
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return nullptr;
    return context;
}

int framesPerPacket(int blockAlign)
{
    return std::max(1, TargetPacketBytes / (blockAlign + PayloadHeaderBytes));
}

int packetSize(int blockAlign)
{
    return framesPerPacket(blockAlign) * (blockAlign + PayloadHeaderBytes) + PacketHeaderBytes;
}

// The bitrate of the file that an opened encoder gives, ASF framing included.
double fileBitrate(const AVCodecContext& context)
{
    const double bytesPerFrame = context.block_align + PayloadHeaderBytes +
                                 static_cast<double>(PacketHeaderBytes) / framesPerPacket(context.block_align);
    return bytesPerFrame * 8 * context.sample_rate / context.frame_size;
}

std::vector<std::uint32_t> computeRates(EncoderFormat format)
{
    std::vector<std::uint32_t> usable; // highest first, like the steps
    for (const std::uint32_t bitrate : BitrateSteps) {
        const auto context = openCodec(format, bitrate);
        if (context && context->frame_size > 0 &&
            std::abs(fileBitrate(*context) - bitrate) <= MaxFramingShare * bitrate)
            usable.push_back(bitrate);
    }
    // About four bits per sample is the most that a transparent WMA needs; more only wastes space.
    // Small formats, whose low steps drown in framing, keep at least their two lowest usable steps.
    const std::uint64_t ceiling = std::uint64_t{format.rate} * format.channels * 4;
    const auto firstBelow =
        std::find_if(usable.begin(), usable.end(), [&](auto bitrate) { return bitrate <= ceiling; });
    std::vector<std::uint32_t> list(firstBelow, usable.end());
    if (list.size() < 2)
        list.assign(usable.end() - std::min<std::ptrdiff_t>(2, std::ssize(usable)), usable.end());
    if (!list.empty())
        list.push_back(0);
    return list;
}

struct FormatContextDeleter {
    void operator()(AVFormatContext* context) const
    {
        if (context->pb)
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};

} // namespace

struct WmaEncoder::State {
    std::unique_ptr<AVFormatContext, FormatContextDeleter> format;
    CodecContextPtr codec;
    SwrContext* resampler = nullptr;
    AVAudioFifo* fifo = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    std::string path;
    std::size_t sourceFrameBytes = 0; // bytes of one sample frame of the PCM written
    std::int64_t nextPts = 0;
    std::vector<std::uint8_t> partialSample; // bytes of an incomplete sample frame held for the next write
    std::vector<float> converted;            // planar output of the resampler
    bool headerWritten = false;
    bool closed = false;

    // The encoding thread takes chunks from write() so that decoding and encoding overlap.
    std::thread worker;
    std::mutex queueMutex;
    std::condition_variable queueChanged;
    // Who sleeps on queueChanged: each side wakes the other only when it waits, and a full queue
    // wakes its writer once half of it is encoded, so that a chunk does not cost a wake-up.
    bool writerWaiting = false;
    bool workerWaiting = false;
    std::deque<std::vector<std::uint8_t>> queue;
    std::size_t queuedBytes = 0;
    bool ending = false;
    int workerError = EngineCode::Ok; // the first failure of the encoding thread

    ~State()
    {
        swr_free(&resampler);
        if (fifo)
            av_audio_fifo_free(fifo);
        av_frame_free(&frame);
        av_packet_free(&packet);
    }
};

std::vector<std::uint32_t> WmaEncoder::rates(std::uint32_t freq, std::uint32_t chans)
{
    if (freq == 0 || chans == 0)
        return {};
    const EncoderFormat format = encoderFormat(freq, chans);
    // Opening a codec per step takes a moment; the answer never changes within a run.
    static std::mutex mutex;
    static std::map<std::pair<std::uint32_t, std::uint32_t>, std::vector<std::uint32_t>> cache;
    const std::lock_guard lock(mutex);
    const auto key = std::make_pair(format.rate, format.channels);
    auto found = cache.find(key);
    if (found == cache.end())
        found = cache.emplace(key, computeRates(format)).first;
    return found->second;
}

std::unique_ptr<WmaEncoder> WmaEncoder::open(std::uint32_t freq, std::uint32_t chans, std::uint32_t bitrate,
                                             const std::string& path, int& errorCode, std::uint32_t flags)
{
    const auto list = rates(freq, chans);
    if (bitrate == 0 || std::find(list.begin(), list.end(), bitrate) == list.end()) {
        errorCode = EngineCode::IllegalParam;
        return nullptr;
    }
    const EncoderFormat target = encoderFormat(freq, chans);
    auto state = std::make_unique<State>();
    state->path = path;
    const bool eightBits = (flags & StreamFlag::Sample8Bits) != 0;
    state->sourceFrameBytes = std::size_t{chans} * (eightBits ? 1 : 2);

    AVFormatContext* format = nullptr;
    if (avformat_alloc_output_context2(&format, nullptr, "asf", nullptr) < 0 || !format) {
        errorCode = EngineCode::NotAvailable;
        return nullptr;
    }
    state->format.reset(format);
    state->codec = openCodec(target, bitrate);
    AVStream* stream = avformat_new_stream(format, nullptr);
    if (!state->codec || !stream || avcodec_parameters_from_context(stream->codecpar, state->codec.get()) < 0) {
        errorCode = EngineCode::NotAvailable;
        return nullptr;
    }
    stream->time_base = state->codec->time_base;

    AVChannelLayout inLayout = waveChannelLayout(chans);
    const int made = swr_alloc_set_opts2(
        &state->resampler, &state->codec->ch_layout, AV_SAMPLE_FMT_FLTP, state->codec->sample_rate, &inLayout,
        eightBits ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16, static_cast<int>(freq), 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    if (made < 0) {
        errorCode = EngineCode::Mem;
        return nullptr;
    }
    // Keep a downmix within full scale, as integer output would.
    av_opt_set_double(state->resampler, "rematrix_maxval", 1.0, 0);
    state->fifo =
        av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, static_cast<int>(target.channels), state->codec->frame_size * 4);
    state->frame = av_frame_alloc();
    state->packet = av_packet_alloc();
    if (swr_init(state->resampler) < 0 || !state->fifo || !state->frame || !state->packet) {
        errorCode = EngineCode::Mem;
        return nullptr;
    }

    // "file:" keeps a name such as "a:b.wma" from being taken for a protocol.
    if (avio_open(&format->pb, ("file:" + path).c_str(), AVIO_FLAG_WRITE) < 0) {
        errorCode = EngineCode::Create;
        return nullptr;
    }
    return std::unique_ptr<WmaEncoder>(new WmaEncoder(std::move(state)));
}

WmaEncoder::WmaEncoder(std::unique_ptr<State> state) : m_state(std::move(state)) {}

WmaEncoder::~WmaEncoder()
{
    int ignored = 0;
    close(ignored);
}

bool WmaEncoder::setTag(const std::string& name, const std::string& value, int& errorCode)
{
    if (m_state->closed || m_state->headerWritten) {
        errorCode = EngineCode::NotAvailable;
        return false;
    }
    if (name.empty())
        return writeHeader(errorCode);
    // The muxer writes every key as it stands, so the Windows Media names reach the file unchanged.
    if (av_dict_set(&m_state->format->metadata, name.c_str(), value.c_str(), 0) < 0) {
        errorCode = EngineCode::Mem;
        return false;
    }
    return true;
}

bool WmaEncoder::writeHeader(int& errorCode)
{
    if (m_state->headerWritten)
        return true;
    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "packet_size", packetSize(m_state->codec->block_align), 0);
    const int written = avformat_write_header(m_state->format.get(), &options);
    av_dict_free(&options);
    if (written < 0) {
        errorCode = EngineCode::Create;
        return false;
    }
    m_state->headerWritten = true;
    return true;
}

bool WmaEncoder::write(const void* pcm, std::size_t size, int& errorCode)
{
    State& s = *m_state;
    if (s.closed) {
        errorCode = EngineCode::Handle;
        return false;
    }
    if (!writeHeader(errorCode))
        return false;
    if (!s.worker.joinable())
        s.worker = std::thread([this] { runWorker(); });

    const auto* bytes = static_cast<const std::uint8_t*>(pcm);
    std::unique_lock lock(s.queueMutex);
    if (s.queuedBytes >= MaxQueuedBytes) {
        s.writerWaiting = true;
        s.queueChanged.wait(lock,
                            [&] { return s.queuedBytes <= MaxQueuedBytes / 2 || s.workerError != EngineCode::Ok; });
        s.writerWaiting = false;
    }
    if (s.workerError != EngineCode::Ok) {
        errorCode = s.workerError;
        return false;
    }
    s.queue.emplace_back(bytes, bytes + size);
    s.queuedBytes += size;
    if (s.workerWaiting)
        s.queueChanged.notify_all();
    return true;
}

void WmaEncoder::runWorker()
{
    State& s = *m_state;
    for (;;) {
        std::vector<std::uint8_t> chunk;
        {
            std::unique_lock lock(s.queueMutex);
            s.workerWaiting = true;
            s.queueChanged.wait(lock, [&] { return !s.queue.empty() || s.ending; });
            s.workerWaiting = false;
            if (s.queue.empty())
                return;
            chunk = std::move(s.queue.front());
            s.queue.pop_front();
            s.queuedBytes -= chunk.size();
            if (s.writerWaiting && s.queuedBytes <= MaxQueuedBytes / 2)
                s.queueChanged.notify_all();
        }
        int error = EngineCode::Ok;
        if (!encodePcm(chunk.data(), chunk.size(), error)) {
            const std::lock_guard lock(s.queueMutex);
            s.workerError = error;
            s.queue.clear();
            s.queuedBytes = 0;
            s.queueChanged.notify_all();
            return;
        }
    }
}

// Lets the encoding thread finish what is queued; its first failure, if any, in errorCode.
bool WmaEncoder::stopWorker(int& errorCode)
{
    State& s = *m_state;
    if (s.worker.joinable()) {
        {
            const std::lock_guard lock(s.queueMutex);
            s.ending = true;
            s.queueChanged.notify_all();
        }
        s.worker.join();
    }
    if (s.workerError == EngineCode::Ok)
        return true;
    errorCode = s.workerError;
    return false;
}

// Converts PCM to the encoder's format and encodes every whole frame; runs on the encoding thread.
bool WmaEncoder::encodePcm(const std::uint8_t* bytes, std::size_t size, int& errorCode)
{
    State& s = *m_state;
    const std::size_t frameBytes = s.sourceFrameBytes;
    std::vector<std::uint8_t> joined;
    if (!s.partialSample.empty()) {
        joined = s.partialSample;
        joined.insert(joined.end(), bytes, bytes + size);
        bytes = joined.data();
        size = joined.size();
    }
    const std::size_t whole = size / frameBytes;
    s.partialSample.assign(bytes + whole * frameBytes, bytes + size);
    if (whole == 0)
        return true;

    const int outChannels = s.codec->ch_layout.nb_channels;
    const int capacity = swr_get_out_samples(s.resampler, static_cast<int>(whole));
    s.converted.resize(static_cast<std::size_t>(capacity) * outChannels);
    std::array<std::uint8_t*, MaxEncoderChannels> planes{};
    for (int c = 0; c < outChannels; ++c)
        planes[c] = reinterpret_cast<std::uint8_t*>(s.converted.data() + static_cast<std::size_t>(c) * capacity);
    const std::uint8_t* input = bytes;
    const int got = swr_convert(s.resampler, planes.data(), capacity, &input, static_cast<int>(whole));
    if (got < 0 || (got > 0 && av_audio_fifo_write(s.fifo, reinterpret_cast<void**>(planes.data()), got) < got)) {
        errorCode = EngineCode::Unknown;
        return false;
    }
    return encodeBuffered(false, errorCode);
}

bool WmaEncoder::encodeBuffered(bool flush, int& errorCode)
{
    State& s = *m_state;
    const int frameSize = s.codec->frame_size;
    while (av_audio_fifo_size(s.fifo) >= frameSize || (flush && av_audio_fifo_size(s.fifo) > 0))
        if (!encodeFrame(false, errorCode))
            return false;
    return true;
}

// Encodes one frame from the FIFO (padded with silence at the end of the stream), or with last set
// drains the encoder, and hands the packets to the muxer.
bool WmaEncoder::encodeFrame(bool last, int& errorCode)
{
    State& s = *m_state;
    int sent = 0;
    if (last) {
        sent = avcodec_send_frame(s.codec.get(), nullptr);
    } else {
        AVFrame* frame = s.frame;
        av_frame_unref(frame);
        frame->nb_samples = s.codec->frame_size;
        frame->format = s.codec->sample_fmt;
        frame->sample_rate = s.codec->sample_rate;
        if (av_channel_layout_copy(&frame->ch_layout, &s.codec->ch_layout) < 0 || av_frame_get_buffer(frame, 0) < 0) {
            errorCode = EngineCode::Mem;
            return false;
        }
        const int read = av_audio_fifo_read(s.fifo, reinterpret_cast<void**>(frame->data), frame->nb_samples);
        if (read < 0) {
            errorCode = EngineCode::Unknown;
            return false;
        }
        if (read < frame->nb_samples)
            av_samples_set_silence(frame->data, read, frame->nb_samples - read, frame->ch_layout.nb_channels,
                                   s.codec->sample_fmt);
        frame->pts = s.nextPts;
        s.nextPts += frame->nb_samples;
        sent = avcodec_send_frame(s.codec.get(), frame);
    }
    if (sent < 0) {
        errorCode = EngineCode::Unknown;
        return false;
    }
    AVStream* stream = s.format->streams[0];
    for (;;) {
        const int received = avcodec_receive_packet(s.codec.get(), s.packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return true;
        if (received < 0) {
            errorCode = EngineCode::Unknown;
            return false;
        }
        av_packet_rescale_ts(s.packet, s.codec->time_base, stream->time_base);
        s.packet->stream_index = stream->index;
        const int written = av_write_frame(s.format.get(), s.packet);
        av_packet_unref(s.packet);
        if (written < 0) {
            errorCode = EngineCode::Create;
            return false;
        }
    }
}

bool WmaEncoder::close(int& errorCode)
{
    State& s = *m_state;
    if (s.closed)
        return true;
    bool ok = stopWorker(errorCode) && writeHeader(errorCode);
    if (ok) {
        // What the resampler still holds (its filter delay), then the last, padded frame.
        const int outChannels = s.codec->ch_layout.nb_channels;
        const int capacity = std::max(swr_get_out_samples(s.resampler, 0), 0) + s.codec->frame_size;
        s.converted.resize(static_cast<std::size_t>(capacity) * outChannels);
        std::array<std::uint8_t*, MaxEncoderChannels> planes{};
        for (int c = 0; c < outChannels; ++c)
            planes[c] = reinterpret_cast<std::uint8_t*>(s.converted.data() + static_cast<std::size_t>(c) * capacity);
        const int got = swr_convert(s.resampler, planes.data(), capacity, nullptr, 0);
        if (got > 0)
            av_audio_fifo_write(s.fifo, reinterpret_cast<void**>(planes.data()), got);
        ok = encodeBuffered(true, errorCode) && encodeFrame(true, errorCode);
    }
    if (ok && av_write_trailer(s.format.get()) < 0) {
        errorCode = EngineCode::Create;
        ok = false;
    }
    if (s.format->pb) {
        avio_flush(s.format->pb);
        if (s.format->pb->error < 0 && ok) {
            errorCode = EngineCode::Create;
            ok = false;
        }
        if (avio_closep(&s.format->pb) < 0 && ok) {
            errorCode = EngineCode::Create;
            ok = false;
        }
    }
    s.closed = true;
    return ok;
}

} // namespace tunevale
