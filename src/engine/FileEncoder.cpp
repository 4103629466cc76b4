#include "FileEncoder.h"

#include "EncoderPcm.h"
#include "FileInput.h"
#include "FlacReadBack.h"
#include "OutputFile.h"
#include "OutputVerifier.h"
#include "PacketReadBack.h"
#include "WaveChannelLayout.h"
#include "WrittenExtent.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <vector>

namespace tunevale
{

namespace
{

constexpr std::uint32_t MaxChannels = 8;
constexpr std::uint32_t LowestRate = 1000;
constexpr std::uint32_t OpusRate = 48000;
// Frames of PCM per encoder call for codecs that take any number (PCM).
constexpr int VariableFrameSize = 4096;
// The packet EncoderFault::FlipPacketByte damages: past the first, which holds stream headers for some codecs.
constexpr std::int64_t DamagedPacket = 2;

struct ContainerInfo {
    const char* muxer;
    const char* extension; // lends the decoder of the verification its probing hint
};

ContainerInfo containerInfo(OutputContainer container)
{
    switch (container) {
    case OutputContainer::Flac:
        return {"flac", ".flac"};
    case OutputContainer::OggOpus:
        return {"opus", ".opus"};
    case OutputContainer::M4a:
        return {"ipod", ".m4a"};
    case OutputContainer::Aiff:
        return {"aiff", ".aiff"};
    case OutputContainer::WavPack:
        return {"wv", ".wv"};
    }
    return {"flac", ".flac"};
}

// FFmpeg's encoder for a codec storing PCM of stored (sample flags), and the sample format it takes.
struct CodecChoice {
    const char* encoder;
    AVSampleFormat sampleFormat;
};

CodecChoice codecChoice(OutputCodec codec, std::uint32_t stored)
{
    const bool wide = stored != 0;
    const bool floats = stored & StreamFlag::SampleFloat;
    switch (codec) {
    case OutputCodec::Flac:
        return {"flac", wide ? AV_SAMPLE_FMT_S32 : AV_SAMPLE_FMT_S16};
    case OutputCodec::Alac:
        return {"alac", wide ? AV_SAMPLE_FMT_S32P : AV_SAMPLE_FMT_S16P};
    case OutputCodec::WavPack:
        return {"wavpack", floats ? AV_SAMPLE_FMT_FLTP : (wide ? AV_SAMPLE_FMT_S32P : AV_SAMPLE_FMT_S16P)};
    case OutputCodec::AiffPcm:
        if (floats)
            return {"pcm_f32be", AV_SAMPLE_FMT_FLT};
        if (stored & StreamFlag::Sample32Bits)
            return {"pcm_s32be", AV_SAMPLE_FMT_S32};
        return {wide ? "pcm_s24be" : "pcm_s16be", wide ? AV_SAMPLE_FMT_S32 : AV_SAMPLE_FMT_S16};
    case OutputCodec::Opus:
        return {"libopus", AV_SAMPLE_FMT_FLT};
    case OutputCodec::Aac:
        return {"aac", AV_SAMPLE_FMT_FLTP};
    }
    return {"flac", AV_SAMPLE_FMT_S16};
}

bool isSupportedPair(OutputCodec codec, OutputContainer container)
{
    return container == defaultContainer(codec);
}

// The sample rate a lossy codec encodes a source rate at: Opus always at 48 kHz; AAC at the
// source's rate where it supports it, above 48 kHz at 44.1 or 48 kHz, else at the next rate it has.
int encoderRate(const AVCodec& codec, OutputCodec kind, std::uint32_t freq)
{
    if (kind == OutputCodec::Opus)
        return static_cast<int>(OpusRate);
    const int wanted = freq > 48000 ? (freq % 44100 == 0 ? 44100 : 48000) : static_cast<int>(freq);
    if (!codec.supported_samplerates)
        return wanted;
    int best = 0;
    for (const int* rate = codec.supported_samplerates; *rate; ++rate) {
        if (*rate == wanted)
            return wanted;
        if (*rate > wanted && (best == 0 || *rate < best))
            best = *rate;
    }
    return best > 0 ? best : wanted;
}

// The codec's own layout for the channel count when it lists any, else the WAV order's. The
// PCM's channels are taken in the order they come, whatever the layout's names.
AVChannelLayout encoderLayout(const AVCodec& codec, std::uint32_t chans)
{
    AVChannelLayout layout{};
    for (const AVChannelLayout* listed = codec.ch_layouts; listed && listed->nb_channels; ++listed)
        if (listed->nb_channels == static_cast<int>(chans) && av_channel_layout_copy(&layout, listed) == 0)
            return layout;
    return waveChannelLayout(chans);
}

AVSampleFormat avSampleFormat(std::uint32_t flags)
{
    if (flags & StreamFlag::Sample8Bits)
        return AV_SAMPLE_FMT_U8;
    if (flags & StreamFlag::SampleFloat)
        return AV_SAMPLE_FMT_FLT;
    if (flags & (StreamFlag::Sample24Bits | StreamFlag::Sample32Bits))
        return AV_SAMPLE_FMT_S32;
    return AV_SAMPLE_FMT_S16;
}

bool validOptions(const EncodeSetup& setup)
{
    if (!isSupportedPair(setup.codec, setup.container) || (setup.verify && !isLosslessCodec(setup.codec)))
        return false;
    switch (setup.codec) {
    case OutputCodec::Flac:
        return setup.compressionLevel == -1 || (setup.compressionLevel >= EncodeLimits::FlacLevelMin &&
                                                setup.compressionLevel <= EncodeLimits::FlacLevelMax);
    case OutputCodec::Opus:
        return setup.kbps == 0 || (setup.kbps >= EncodeLimits::OpusKbpsMin && setup.kbps <= EncodeLimits::OpusKbpsMax);
    case OutputCodec::Aac:
        return setup.kbps == 0 || (setup.kbps >= EncodeLimits::AacKbpsMin && setup.kbps <= EncodeLimits::AacKbpsMax);
    default:
        return true;
    }
}

struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};

struct FormatContextDeleter {
    void operator()(AVFormatContext* context) const { avformat_free_context(context); }
};

} // namespace

struct FileEncoder::State {
    EncodeSetup setup;
    ChannelInfo input;
    std::uint32_t stored = 0; // sample flags of what lossless codecs store
    std::unique_ptr<OutputFile> file;
    WrittenExtent extent;
    std::unique_ptr<FlacReadBack> readBack;         // verifies FLAC while it is written; gone before the file
    std::unique_ptr<PacketReadBack> packetReadBack; // verifies the other lossless outputs while written
    std::unique_ptr<AVFormatContext, FormatContextDeleter> format;
    std::unique_ptr<AVCodecContext, CodecContextDeleter> codec;
    SwrContext* resampler = nullptr; // lossy codecs
    AVAudioFifo* fifo = nullptr;     // PCM in the codec's format, waiting for a whole frame
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    int frameSize = 0;
    bool shortLastFrame = false; // the codec takes a last frame shorter than the others
    std::int64_t inputFrames = 0;
    std::int64_t sentFrames = 0; // at the codec's rate
    std::int64_t packets = 0;
    std::size_t inputFrameBytes = 0;
    std::vector<std::uint8_t> partial; // an incomplete sample frame held for the next write
    std::vector<std::uint8_t> converted;
    std::vector<std::vector<std::uint8_t>> planes;
    std::vector<std::uint8_t*> planePointers;
    PcmDigest digest;
    bool faultDone = false;
    bool closed = false;

    ~State()
    {
        swr_free(&resampler);
        if (fifo)
            av_audio_fifo_free(fifo);
        av_frame_free(&frame);
        av_packet_free(&packet);
    }

    bool lossy() const { return resampler != nullptr; }

    // Room for frames sample frames in the codec's format; the pointers to its planes.
    std::uint8_t* const* reservePlanes(int frames)
    {
        const int channels = codec->ch_layout.nb_channels;
        const bool planar = av_sample_fmt_is_planar(codec->sample_fmt);
        const std::size_t bytes =
            static_cast<std::size_t>(frames) * av_get_bytes_per_sample(codec->sample_fmt) * (planar ? 1 : channels);
        planes.resize(planar ? channels : 1);
        planePointers.resize(planes.size());
        for (std::size_t i = 0; i < planes.size(); ++i) {
            if (planes[i].size() < bytes)
                planes[i].resize(bytes);
            planePointers[i] = planes[i].data();
        }
        return planePointers.data();
    }
};

std::unique_ptr<FileEncoder> FileEncoder::open(const EncodeSetup& setup, const ChannelInfo& pcm,
                                               const EncodeTarget& target, int& errorCode)
{
    if (!validOptions(setup)) {
        errorCode = EngineCode::IllegalParam;
        return nullptr;
    }
    if (pcm.chans == 0 || pcm.chans > MaxChannels || pcm.freq < LowestRate) {
        errorCode = EngineCode::Format;
        return nullptr;
    }
    auto state = std::make_unique<State>();
    State& s = *state;
    s.setup = setup;
    s.input = pcm;
    s.inputFrameBytes = std::size_t{pcm.chans} * bytesPerSample(pcm.flags);
    const bool lossless = isLosslessCodec(setup.codec);
    s.stored = lossless ? storedSampleFlags(setup.codec, pcm.flags) : 0;
    const CodecChoice choice = codecChoice(setup.codec, s.stored);
    const AVCodec* codec = avcodec_find_encoder_by_name(choice.encoder);
    const ContainerInfo container = containerInfo(setup.container);
    AVFormatContext* format = nullptr;
    if (!codec || avformat_alloc_output_context2(&format, nullptr, container.muxer, nullptr) < 0 || !format) {
        errorCode = EngineCode::NotAvailable;
        return nullptr;
    }
    s.format.reset(format);
    s.codec.reset(avcodec_alloc_context3(codec));
    s.frame = av_frame_alloc();
    s.packet = av_packet_alloc();
    if (!s.codec || !s.frame || !s.packet) {
        errorCode = EngineCode::Mem;
        return nullptr;
    }

    AVCodecContext& context = *s.codec;
    const int rate = lossless ? static_cast<int>(pcm.freq) : encoderRate(*codec, setup.codec, pcm.freq);
    context.sample_rate = rate;
    context.time_base = AVRational{1, rate};
    context.sample_fmt = choice.sampleFormat;
    context.ch_layout = encoderLayout(*codec, pcm.chans);
    if (s.stored & StreamFlag::Sample24Bits)
        context.bits_per_raw_sample = 24;
    // WavPack's normal mode, as its own program has it: FFmpeg's default is its fastest, which
    // leaves 24-bit files three quarters larger.
    if (setup.codec == OutputCodec::WavPack)
        context.compression_level = 1;
    if (setup.codec == OutputCodec::Flac)
        context.compression_level =
            setup.compressionLevel >= 0 ? setup.compressionLevel : EncodeLimits::FlacLevelDefault;
    if (setup.codec == OutputCodec::Opus)
        context.bit_rate = 1000LL * (setup.kbps > 0 ? setup.kbps : EncodeLimits::OpusKbpsDefault);
    if (setup.codec == OutputCodec::Aac)
        context.bit_rate = 1000LL * (setup.kbps > 0 ? setup.kbps : EncodeLimits::AacKbpsDefault);
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        context.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    if (setup.codec == OutputCodec::Opus)
        av_dict_set(&options, "vbr", "on", 0);
    const int opened = avcodec_open2(&context, codec, &options);
    av_dict_free(&options);
    if (opened < 0) {
        errorCode = EngineCode::Format;
        return nullptr;
    }
    s.shortLastFrame = codec->capabilities & (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
    s.frameSize = context.frame_size > 0 ? context.frame_size : VariableFrameSize;

    AVStream* stream = avformat_new_stream(format, nullptr);
    if (!stream || avcodec_parameters_from_context(stream->codecpar, &context) < 0) {
        errorCode = EngineCode::Mem;
        return nullptr;
    }
    stream->time_base = context.time_base;
    // The Opus header names the rate of the original input (RFC 7845), which is not the 48 kHz coded.
    if (setup.codec == OutputCodec::Opus && stream->codecpar->extradata_size >= 16)
        AV_WL32(stream->codecpar->extradata + 12, pcm.freq);

    if (!lossless) {
        const AVSampleFormat inFormat = avSampleFormat(pcm.flags);
        if (swr_alloc_set_opts2(&s.resampler, &context.ch_layout, context.sample_fmt, rate, &context.ch_layout,
                                inFormat, static_cast<int>(pcm.freq), 0, nullptr) < 0 ||
            swr_init(s.resampler) < 0) {
            errorCode = EngineCode::Mem;
            return nullptr;
        }
    }
    s.fifo = av_audio_fifo_alloc(context.sample_fmt, context.ch_layout.nb_channels, s.frameSize * 2);
    if (!s.fifo) {
        errorCode = EngineCode::Mem;
        return nullptr;
    }

    s.file = OutputFile::open(target, setup.verify, errorCode);
    if (!s.file)
        return nullptr;
    if (setup.verify && setup.codec == OutputCodec::Flac) {
        s.file->announceTo(s.extent);
        s.readBack = std::make_unique<FlacReadBack>(s.file->descriptor(), s.extent,
                                                    EncodedPcm{pcm.freq, pcm.chans, s.stored, 0, {}});
    }
    format->pb = s.file->io();
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    format->io_open = &FileInput::refuseNestedOpen;
    // The MP4 edit list that cuts the codec's delay and padding counts in the movie's time scale,
    // by default milliseconds: in samples, it cuts at the exact sample.
    AVDictionary* muxerOptions = nullptr;
    if (setup.container == OutputContainer::M4a)
        av_dict_set_int(&muxerOptions, "movie_timescale", rate, 0);
    const int headerWritten = avformat_write_header(format, &muxerOptions);
    av_dict_free(&muxerOptions);
    if (headerWritten < 0) {
        errorCode = EngineCode::Create;
        return nullptr;
    }
    if (setup.verify && setup.codec != OutputCodec::Flac) {
        // WavPack's muxer writes the length into the first block's header when it finishes.
        const RewrittenBytes rewritten = setup.codec == OutputCodec::WavPack ? RewrittenBytes{12, 4} : RewrittenBytes{};
        s.packetReadBack = PacketReadBack::start(*format->streams[0]->codecpar, s.stored, rewritten);
    }
    errorCode = EngineCode::Ok;
    return std::unique_ptr<FileEncoder>(new FileEncoder(std::move(state)));
}

FileEncoder::FileEncoder(std::unique_ptr<State> state) : m_state(std::move(state)) {}

FileEncoder::~FileEncoder()
{
    int ignored = EngineCode::Ok;
    close(ignored);
}

bool FileEncoder::write(const void* pcm, std::size_t size, int& errorCode)
{
    State& s = *m_state;
    if (s.closed) {
        errorCode = EngineCode::Handle;
        return false;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(pcm);
    std::vector<std::uint8_t> joined;
    if (!s.partial.empty()) {
        joined = std::move(s.partial);
        joined.insert(joined.end(), bytes, bytes + size);
        bytes = joined.data();
        size = joined.size();
    }
    const std::size_t frames = size / s.inputFrameBytes;
    s.partial.assign(bytes + frames * s.inputFrameBytes, bytes + size);
    if (frames == 0)
        return true;
    s.inputFrames += static_cast<std::int64_t>(frames);
    const bool stored = s.lossy() ? resamplePcm(bytes, static_cast<int>(frames), errorCode)
                                  : storePcm(bytes, static_cast<int>(frames), errorCode);
    return stored && encodeFrames(-1, errorCode);
}

// Lossless codecs: the PCM as stored, into the digest and the codec's FIFO.
bool FileEncoder::storePcm(const std::uint8_t* bytes, int frames, int& errorCode)
{
    State& s = *m_state;
    const std::size_t samples = static_cast<std::size_t>(frames) * s.input.chans;
    const std::uint8_t* stored = bytes;
    if (s.stored != s.input.flags) {
        s.converted.resize(samples * bytesPerSample(s.stored));
        convertSamples(bytes, samples, s.input.flags, s.stored, s.converted.data());
        stored = s.converted.data();
    }
    s.digest.add(stored, samples * bytesPerSample(s.stored));
    if (s.setup.fault == EncoderFault::FlipSampleBit && !s.faultDone) {
        if (stored == bytes)
            s.converted.assign(bytes, bytes + samples * bytesPerSample(s.stored));
        s.converted[samples / 2 * bytesPerSample(s.stored)] ^= 1;
        stored = s.converted.data();
        s.faultDone = true;
    }
    auto* const* planes = s.reservePlanes(frames);
    unpackSamples(stored, frames, static_cast<int>(s.input.chans), s.stored, s.codec->sample_fmt, planes);
    if (av_audio_fifo_write(s.fifo, reinterpret_cast<void**>(const_cast<std::uint8_t**>(planes)), frames) < frames) {
        errorCode = EngineCode::Mem;
        return false;
    }
    return true;
}

// Lossy codecs: the PCM through the resampler (format, and rate where it changes) into the FIFO;
// no bytes or null input drains what the resampler holds.
bool FileEncoder::resamplePcm(const std::uint8_t* bytes, int frames, int& errorCode)
{
    State& s = *m_state;
    const std::uint8_t* input = bytes;
    if (bytes && (s.input.flags & StreamFlag::Sample24Bits)) {
        // The resampler has no packed 24-bit format: widen to 32 bits first.
        s.converted.resize(static_cast<std::size_t>(frames) * s.input.chans * 4);
        std::uint8_t* wide = s.converted.data();
        unpackSamples(bytes, frames, static_cast<int>(s.input.chans), s.input.flags, AV_SAMPLE_FMT_S32, &wide);
        input = wide;
    }
    const int capacity = swr_get_out_samples(s.resampler, bytes ? frames : 0);
    if (capacity <= 0)
        return true;
    auto* const* planes = s.reservePlanes(capacity);
    const int got = swr_convert(s.resampler, const_cast<std::uint8_t**>(planes), capacity, bytes ? &input : nullptr,
                                bytes ? frames : 0);
    if (got < 0 || (got > 0 && av_audio_fifo_write(s.fifo, reinterpret_cast<void**>(const_cast<std::uint8_t**>(planes)),
                                                   got) < got)) {
        errorCode = EngineCode::Unknown;
        return false;
    }
    return true;
}

// Encodes whole frames from the FIFO; with upTo >= 0 the end of the stream: frames until upTo
// sample frames have gone to the codec, the last one short (or padded with silence), then the drain.
bool FileEncoder::encodeFrames(std::int64_t upTo, int& errorCode)
{
    State& s = *m_state;
    AVCodecContext& context = *s.codec;
    for (;;) {
        int frames = s.frameSize;
        if (upTo >= 0)
            frames = static_cast<int>(std::min<std::int64_t>(frames, upTo - s.sentFrames));
        else if (av_audio_fifo_size(s.fifo) < frames)
            return true;
        if (frames <= 0)
            break;
        AVFrame* frame = s.frame;
        av_frame_unref(frame);
        frame->nb_samples = s.shortLastFrame ? frames : s.frameSize;
        frame->format = context.sample_fmt;
        frame->sample_rate = context.sample_rate;
        if (av_channel_layout_copy(&frame->ch_layout, &context.ch_layout) < 0 || av_frame_get_buffer(frame, 0) < 0) {
            errorCode = EngineCode::Mem;
            return false;
        }
        const int read = av_audio_fifo_read(s.fifo, reinterpret_cast<void**>(frame->data), frames);
        if (read < 0) {
            errorCode = EngineCode::Unknown;
            return false;
        }
        if (read < frame->nb_samples)
            av_samples_set_silence(frame->data, read, frame->nb_samples - read, frame->ch_layout.nb_channels,
                                   context.sample_fmt);
        frame->pts = s.sentFrames;
        s.sentFrames += frames;
        if (!sendFrame(frame, errorCode))
            return false;
    }
    return sendFrame(nullptr, errorCode);
}

bool FileEncoder::sendFrame(AVFrame* frame, int& errorCode)
{
    State& s = *m_state;
    if (avcodec_send_frame(s.codec.get(), frame) < 0) {
        errorCode = EngineCode::Unknown;
        return false;
    }
    for (;;) {
        const int received = avcodec_receive_packet(s.codec.get(), s.packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return true;
        if (received < 0) {
            errorCode = EngineCode::Unknown;
            return false;
        }
        if (!writePacket(s.packet, errorCode))
            return false;
    }
}

bool FileEncoder::writePacket(AVPacket* packet, int& errorCode)
{
    State& s = *m_state;
    if (s.setup.fault == EncoderFault::FlipPacketByte && s.packets == DamagedPacket && packet->size > 0 &&
        av_packet_make_writable(packet) == 0)
        packet->data[packet->size / 2] ^= 0x10;
    ++s.packets;
    AVStream* stream = s.format->streams[0];
    av_packet_rescale_ts(packet, s.codec->time_base, stream->time_base);
    packet->stream_index = stream->index;
    if (s.packetReadBack && !s.packetReadBack->add(*packet)) {
        av_packet_unref(packet);
        errorCode = EngineCode::Mem;
        return false;
    }
    const int written = av_write_frame(s.format.get(), packet);
    av_packet_unref(packet);
    if (written < 0) {
        errorCode = EngineCode::Create;
        return false;
    }
    return true;
}

bool FileEncoder::close(int& errorCode)
{
    State& s = *m_state;
    if (s.closed)
        return true;
    s.closed = true;
    if (!finish(errorCode))
        return false;
    if (!s.setup.verify)
        return true;
    const EncodedPcm expected{s.input.freq, s.input.chans, s.stored, s.digest.size(), s.digest.value()};
    if (s.readBack) {
        s.extent.finish();
        errorCode = s.readBack->result(expected);
        return errorCode == EngineCode::Ok;
    }
    if (s.packetReadBack) {
        errorCode = s.packetReadBack->result(s.file->descriptor(), expected);
        return errorCode == EngineCode::Ok;
    }
    errorCode = verifyOutput(s.file->descriptor(), std::string("output") + containerInfo(s.setup.container).extension,
                             expected);
    return errorCode == EngineCode::Ok;
}

// Encodes the rest and writes the trailer: exactly as many sample frames as came in, at the
// codec's rate, rounded to the nearest frame.
bool FileEncoder::finish(int& errorCode)
{
    State& s = *m_state;
    if (s.lossy() && !resamplePcm(nullptr, 0, errorCode))
        return false;
    const std::int64_t total = av_rescale_rnd(s.inputFrames, s.codec->sample_rate, s.input.freq, AV_ROUND_NEAR_INF);
    if (!encodeFrames(total, errorCode))
        return false;
    if (av_write_trailer(s.format.get()) < 0 || !s.file->finish()) {
        errorCode = EngineCode::Create;
        return false;
    }
    return true;
}

} // namespace tunevale
