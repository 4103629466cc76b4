#include "FfmpegDecoder.h"

#include "AllowedDemuxers.h"
#include "FfmpegTagReader.h"
#include "NativeSamples.h"
#include "StatedLength.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/samplefmt.h>
}

namespace tunevale
{

namespace
{

// m_reachedFrames after a seek, until the first frame there says where the demuxer landed.
constexpr std::int64_t UnknownPosition = -1;

// Scales and rounds to nearest (even on ties, as lrintf does) with the float-mantissa trick, in a
// form the compiler can vectorise: lossy decoders deliver floats, and this is their hot path.
std::int16_t floatToInt16(float value)
{
    float scaled = value * 32768.0f;
    scaled = scaled < -32768.0f ? -32768.0f : (scaled > 32767.0f ? 32767.0f : scaled);
    return static_cast<std::int16_t>(std::bit_cast<std::int32_t>(scaled + 12582912.0f) - 0x4B400000);
}

// Walks the samples of a frame in interleaved order, planar or packed, handing each to store.
template <typename Sample, typename Store>
void forEachSample(const AVFrame* frame, bool planar, int channels, int offset, int frames, Store store)
{
    if (planar) {
        for (int channel = 0; channel < channels; ++channel) {
            const auto* source = reinterpret_cast<const Sample*>(frame->extended_data[channel]) + offset;
            for (int i = 0; i < frames; ++i)
                store(static_cast<std::size_t>(i) * channels + channel, source[i]);
        }
    } else {
        const auto* source = reinterpret_cast<const Sample*>(frame->extended_data[0]) + std::size_t(offset) * channels;
        const std::size_t count = static_cast<std::size_t>(frames) * channels;
        for (std::size_t i = 0; i < count; ++i)
            store(i, source[i]);
    }
}

bool isMpegAudio(AVCodecID codec)
{
    return codec == AV_CODEC_ID_MP1 || codec == AV_CODEC_ID_MP2 || codec == AV_CODEC_ID_MP3;
}

// Demuxers whose header states the exact number of samples and whose timestamps count samples, so
// that audio ending earlier means the file was cut short, and a jump in the timestamps that frames
// were lost. Others estimate their length or state it elsewhere (an MP3 in its Xing header; its
// timestamps only add up the frames decoded).
bool statesSampleCount(const char* demuxer)
{
    for (const char* name : {"flac", "aiff", "tta", "ape", "wv"})
        if (std::strcmp(demuxer, name) == 0)
            return true;
    return false;
}

} // namespace

std::unique_ptr<FfmpegDecoder> FfmpegDecoder::open(const std::string& path, const FormatFamilies& enabled,
                                                   int& errorCode, DecodeOptions options)
{
    auto input = FileInput::open(path, errorCode);
    if (!input)
        return nullptr;
    return open(std::move(input), path, enabled, errorCode, options);
}

std::unique_ptr<FfmpegDecoder> FfmpegDecoder::open(std::unique_ptr<FileInput> input, const std::string& name,
                                                   const FormatFamilies& enabled, int& errorCode, DecodeOptions options)
{
    std::unique_ptr<FfmpegDecoder> decoder(new FfmpegDecoder);
    decoder->m_input = std::move(input);
    errorCode = decoder->openFile(name, enabled, options);
    if (errorCode != EngineCode::Ok)
        return nullptr;
    return decoder;
}

FfmpegDecoder::~FfmpegDecoder()
{
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_codec);
    avformat_close_input(&m_format);
}

int FfmpegDecoder::openFile(const std::string& path, const FormatFamilies& enabled, DecodeOptions options)
{
    if (m_input->size() == 0)
        return EngineCode::Format;

    // The name lends its extension to probing; the bytes come from this file alone.
    const AVInputFormat* input = nullptr;
    const int score = av_probe_input_buffer2(m_input->io(), &input, path.c_str(), nullptr, 0, 0);
    // A score below the retry level means only the file's extension spoke for the format: random
    // bytes or text named .mp3 must fail here instead of decoding into noise.
    if (score < AVPROBE_SCORE_RETRY || !input)
        return EngineCode::Format;
    // Tracker modules are refused so that callers fall back to MusicLoad; playlists and other
    // formats that would read further files are refused outright.
    if (!isAllowedDemuxer(input->name))
        return EngineCode::Format;

    m_format = avformat_alloc_context();
    if (!m_format)
        return EngineCode::Mem;
    m_format->pb = m_input->io();
    m_format->io_open = &FileInput::refuseNestedOpen;
    if (avformat_open_input(&m_format, path.c_str(), input, nullptr) < 0)
        return EngineCode::Format;
    if (avformat_find_stream_info(m_format, nullptr) < 0)
        return EngineCode::Format;
    m_streamIndex = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (m_streamIndex < 0)
        return EngineCode::Format;
    for (unsigned i = 0; i < m_format->nb_streams; ++i)
        if (static_cast<int>(i) != m_streamIndex)
            m_format->streams[i]->discard = AVDISCARD_ALL;
    AVStream* stream = m_format->streams[m_streamIndex];
    const AVCodecParameters* parameters = stream->codecpar;

    // A file whose family is not enabled fails as "Unsupported Format" (code 6), the same as a
    // file no plug-in could read.
    if (!enabled[static_cast<std::size_t>(familyOfCodec(parameters->codec_id))])
        return EngineCode::Format;
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    if (!codec)
        return EngineCode::Format;
    m_codec = avcodec_alloc_context3(codec);
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (!m_codec || !m_packet || !m_frame)
        return EngineCode::Mem;
    if (avcodec_parameters_to_context(m_codec, parameters) < 0)
        return EngineCode::Format;
    m_codec->pkt_timebase = stream->time_base;
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(parameters->codec_id);
    m_lossless = descriptor && (descriptor->props & AV_CODEC_PROP_LOSSLESS);
    // A lossless frame that fails its checksum decodes to something else than the source holds:
    // the decoder is to refuse it rather than play through it.
    if (m_lossless)
        m_codec->err_recognition |= AV_EF_CRCCHECK | AV_EF_EXPLODE;
    m_timestampsCountSamples = statesSampleCount(input->name);
    if (avcodec_open2(m_codec, codec, nullptr) < 0)
        return EngineCode::Format;

    // Decode the first frame now: its format is the one delivered, and a stream that decodes to
    // nothing is finished from the start.
    m_frameReady = fetchFrame();
    const int rate = m_frameReady ? m_frame->sample_rate : m_codec->sample_rate;
    const int channels = m_frameReady ? m_frame->ch_layout.nb_channels : m_codec->ch_layout.nb_channels;
    const auto sampleFormat = static_cast<AVSampleFormat>(m_frameReady ? m_frame->format : m_codec->sample_fmt);
    if (rate <= 0 || channels <= 0)
        return EngineCode::Format;
    if (rate < LowestRecordingRate)
        return EngineCode::Freq;

    m_info.freq = static_cast<std::uint32_t>(rate);
    m_info.chans = static_cast<std::uint32_t>(channels);
    m_info.flags = av_get_packed_sample_fmt(sampleFormat) == AV_SAMPLE_FMT_U8 ? StreamFlag::Sample8Bits : 0;
    int resolution = parameters->bits_per_raw_sample;
    if (resolution <= 0 && sampleFormat != AV_SAMPLE_FMT_NONE && !av_sample_fmt_is_planar(sampleFormat))
        resolution = parameters->bits_per_coded_sample;
    m_info.origres = static_cast<std::uint32_t>(std::max(resolution, 0));
    m_dither = m_lossless && av_get_bytes_per_sample(sampleFormat) > 2;
    m_native = options.sourceResolution && m_lossless;
    if (m_native)
        m_info.flags = nativeSampleFlags(sampleFormat, resolution);
    m_frameBytes = m_info.chans * bytesPerSample(m_info.flags);

    std::int64_t frames = -1;
    // Whether the stated length is what the file holds: its size reaches as far as the header says.
    bool backedBySize = false;
    if (isMpegAudio(parameters->codec_id) && std::strcmp(input->name, "mp3") == 0) {
        if (const auto tagged = mpegTaggedLength(*m_input)) {
            frames = tagged->samples;
            m_lengthStated = true;
            backedBySize = tagged->streamBytes > 0 && m_input->size() >= tagged->streamBytes;
        }
    }
    if (parameters->codec_id == AV_CODEC_ID_MUSEPACK8)
        frames = musepackSampleCount(*m_input).value_or(-1);
    // FFmpeg trusts a WAV's data size only while the file is that long; a cut file keeps it here.
    // (Other WAV payloads keep FFmpeg's count, which is only an estimate for cut files.)
    if (std::strcmp(input->name, "wav") == 0) {
        frames = wavStatedSampleCount(*m_input).value_or(-1);
        m_lengthStated = frames >= 0;
        backedBySize = m_lengthStated && wavStatedDataEnd(*m_input).value_or(UINT64_MAX) <= m_input->size();
    }
    if (frames < 0 && stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        frames = av_rescale_q(stream->duration, stream->time_base, AVRational{1, rate});
        const bool fromStream = m_format->duration_estimation_method == AVFMT_DURATION_FROM_STREAM;
        m_lengthStated = statesSampleCount(input->name) && fromStream;
        // An Ogg stream's length is the position of its last page, which FFmpeg reads at the end.
        backedBySize = std::strcmp(input->name, "ogg") == 0 && fromStream;
    }
    if (frames < 0 && m_format->duration != AV_NOPTS_VALUE && m_format->duration > 0)
        frames = av_rescale(m_format->duration, rate, AV_TIME_BASE);
    m_exactSeek = statesSampleCount(input->name) || std::strcmp(input->name, "wav") == 0;
    m_statedFrames = std::max<std::int64_t>(frames, 0);
    m_length = static_cast<std::uint64_t>(m_statedFrames) * m_frameBytes;
    // MP4 and QuickTime state the exact playing time (edit list), which ends before the codec's
    // last frame does: the padding after it is cut.
    if (frames > 0 && std::strstr(input->name, "mp4"))
        m_frameLimit = frames;
    if (options.prescan && !backedBySize && !countFrames())
        return EngineCode::Format;
    return EngineCode::Ok;
}

bool FfmpegDecoder::countFrames()
{
    std::int64_t frames = 0;
    while (!finished()) {
        frames += m_frame->nb_samples;
        m_frameReady = fetchFrame();
    }
    if (m_frameLimit >= 0)
        frames = std::min(frames, m_frameLimit);
    m_statedFrames = frames;
    m_length = static_cast<std::uint64_t>(frames) * m_frameBytes;
    m_lengthStated = true;
    return rewind();
}

void FfmpegDecoder::noteFailure()
{
    m_failedSinceFrame = true;
    // Bytes after the last sample the file states (half a sample, a tag read as audio) take
    // nothing from the piece.
    if (m_statedFrames == 0 || m_reachedFrames < m_statedFrames)
        ++m_failures;
}

bool FfmpegDecoder::fetchFrame()
{
    av_frame_unref(m_frame);
    m_frameOffset = 0;
    for (;;) {
        const int received = avcodec_receive_frame(m_codec, m_frame);
        if (received >= 0) {
            // Frames whose channel count differs from the stream's cannot be delivered in its format.
            if (m_frame->nb_samples > 0 &&
                (m_info.chans == 0 || m_frame->ch_layout.nb_channels == static_cast<int>(m_info.chans))) {
                m_failedSinceFrame = false;
                noteFrameEnd();
                return true;
            }
            av_frame_unref(m_frame);
            continue;
        }
        if (received != AVERROR(EAGAIN) && received != AVERROR_EOF)
            noteFailure();
        if (received == AVERROR_EOF || m_draining)
            return false;
        // Feed the next packet of the chosen stream; a damaged packet is skipped, like a player would.
        for (;;) {
            const int read = av_read_frame(m_format, m_packet);
            if (read < 0) {
                if (read != AVERROR_EOF)
                    noteFailure();
                avcodec_send_packet(m_codec, nullptr);
                m_draining = true;
                break;
            }
            const bool ours = m_packet->stream_index == m_streamIndex;
            if (ours && avcodec_send_packet(m_codec, m_packet) < 0)
                noteFailure();
            av_packet_unref(m_packet);
            if (ours)
                break;
        }
    }
}

void FfmpegDecoder::noteFrameEnd()
{
    const AVStream* stream = m_format->streams[m_streamIndex];
    const std::int64_t timestamp = m_frame->best_effort_timestamp;
    const bool checkGaps = m_lossless && m_timestampsCountSamples;
    if (timestamp == AV_NOPTS_VALUE || m_frame->sample_rate <= 0) {
        // Taken to follow the frame before, so that it opens no gap of its own.
        if (checkGaps && m_reachedFrames != UnknownPosition)
            m_reachedFrames += m_frame->nb_samples;
        return;
    }
    const std::int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    const std::int64_t at = av_rescale_q(timestamp - start, stream->time_base, AVRational{1, m_frame->sample_rate});
    // Samples between the end of the last frame and this one's start were in frames that were
    // lost without a decoding error (a parser that skipped over damage).
    if (checkGaps && m_reachedFrames != UnknownPosition && at > m_reachedFrames)
        m_gap = true;
    m_reachedFrames = std::max(m_reachedFrames, at + m_frame->nb_samples);
}

SourceDamage FfmpegDecoder::damage() const
{
    if (!finished())
        return SourceDamage::None;
    // How far into the piece the audio went: the samples delivered, or further where the
    // timestamps show that the decoder skipped damage and went on.
    const std::int64_t missing = m_statedFrames - std::max(m_deliveredFrames, m_reachedFrames);
    const auto rate = static_cast<std::int64_t>(m_info.freq);
    if (m_lengthStated) {
        // The file states its exact length. A lossless source owes every sample of it; a lossy one
        // may lose a few damaged frames: up to 1 % of the piece or half a second, whichever is less.
        const std::int64_t allowed = m_lossless ? 0 : std::min(m_statedFrames / 100, rate / 2);
        if (missing > allowed)
            return SourceDamage::EndedEarly;
    } else if (m_failedSinceFrame && missing > (m_lossless ? 0 : rate)) {
        // Damage at the end of a file whose length was only estimated from its bit rate: up to a
        // second short may be the estimate's error.
        return SourceDamage::EndedEarly;
    }
    if (m_lossless && (m_failures > 0 || m_gap))
        return SourceDamage::Corrupt;
    return SourceDamage::None;
}

std::size_t FfmpegDecoder::read(std::uint8_t* out, std::size_t size)
{
    std::size_t written = 0;
    while (!finished() && size - written >= m_frameBytes) {
        std::size_t available = static_cast<std::size_t>(m_frame->nb_samples - m_frameOffset);
        if (m_frameLimit >= 0)
            available = std::min<std::size_t>(available, static_cast<std::size_t>(m_frameLimit - m_deliveredFrames));
        const int frames = static_cast<int>(std::min(available, (size - written) / m_frameBytes));
        if (m_native)
            writeNativeSamples(m_frame, m_frameOffset, frames, m_info.flags, out + written);
        else
            convert(out + written, m_frameOffset, frames);
        written += static_cast<std::size_t>(frames) * m_frameBytes;
        m_frameOffset += frames;
        m_deliveredFrames += frames;
        if (m_frameOffset >= m_frame->nb_samples)
            m_frameReady = fetchFrame();
    }
    return written;
}

void FfmpegDecoder::convert(std::uint8_t* out, int offset, int frames)
{
    const auto format = static_cast<AVSampleFormat>(m_frame->format);
    const bool planar = av_sample_fmt_is_planar(format);
    const int channels = static_cast<int>(m_info.chans);
    const AVSampleFormat packed = av_get_packed_sample_fmt(format);

    if (m_info.flags & StreamFlag::Sample8Bits) {
        if (packed == AV_SAMPLE_FMT_U8 && !planar) {
            std::memcpy(out, m_frame->extended_data[0] + std::size_t(offset) * channels,
                        std::size_t(frames) * channels);
            return;
        }
        if (packed == AV_SAMPLE_FMT_U8) {
            forEachSample<std::uint8_t>(m_frame, planar, channels, offset, frames,
                                        [out](std::size_t i, std::uint8_t v) { out[i] = v; });
            return;
        }
        // An 8-bit stream whose decoder changed format mid-way: fall through to 16 bits, then narrow.
    }

    auto* samples = reinterpret_cast<std::int16_t*>(out);
    const bool narrow = m_info.flags & StreamFlag::Sample8Bits;
    auto put = [samples, out, narrow](std::size_t i, std::int16_t v) {
        if (narrow)
            out[i] = static_cast<std::uint8_t>((v >> 8) + 128);
        else
            samples[i] = v;
    };
    auto noise = [this]() { return m_noise.next(); };

    switch (packed) {
    case AV_SAMPLE_FMT_S16:
        if (!planar && !narrow) {
            std::memcpy(out, m_frame->extended_data[0] + std::size_t(offset) * channels * 2,
                        std::size_t(frames) * channels * 2);
            return;
        }
        forEachSample<std::int16_t>(m_frame, planar, channels, offset, frames, put);
        return;
    case AV_SAMPLE_FMT_U8:
        forEachSample<std::uint8_t>(m_frame, planar, channels, offset, frames, [&](std::size_t i, std::uint8_t v) {
            put(i, static_cast<std::int16_t>((v - 128) << 8));
        });
        return;
    case AV_SAMPLE_FMT_S32:
        forEachSample<std::int32_t>(m_frame, planar, channels, offset, frames, [&](std::size_t i, std::int32_t v) {
            put(i, m_dither ? m_noise.to16(v) : clamp16((std::int64_t(v) + 32768) >> 16));
        });
        return;
    case AV_SAMPLE_FMT_S64:
        forEachSample<std::int64_t>(m_frame, planar, channels, offset, frames, [&](std::size_t i, std::int64_t v) {
            const std::int64_t step = m_dither ? noise() : 0;
            put(i, clamp16(((v >> 32) + step + 32768) >> 16));
        });
        return;
    case AV_SAMPLE_FMT_FLT:
        if (!m_dither && !narrow) {
            forEachSample<float>(m_frame, planar, channels, offset, frames,
                                 [samples](std::size_t i, float v) { samples[i] = floatToInt16(v); });
            return;
        }
        forEachSample<float>(m_frame, planar, channels, offset, frames, [&](std::size_t i, float v) {
            const float step = m_dither ? static_cast<float>(noise()) * (1.0f / 65536.0f) : 0.0f;
            put(i, clamp16(std::lrintf(v * 32768.0f + step)));
        });
        return;
    case AV_SAMPLE_FMT_DBL:
        forEachSample<double>(m_frame, planar, channels, offset, frames, [&](std::size_t i, double v) {
            const double step = m_dither ? static_cast<double>(noise()) / 65536.0 : 0.0;
            put(i, clamp16(std::lrint(v * 32768.0 + step)));
        });
        return;
    default:
        std::memset(out, narrow ? 128 : 0, std::size_t(frames) * m_frameBytes);
        return;
    }
}

SourceTags FfmpegDecoder::tags()
{
    return readSourceTags(m_format, m_streamIndex);
}

bool FfmpegDecoder::rewind()
{
    const AVStream* stream = m_format->streams[m_streamIndex];
    const std::int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    if (av_seek_frame(m_format, m_streamIndex, start, AVSEEK_FLAG_BACKWARD) < 0 &&
        avformat_seek_file(m_format, -1, INT64_MIN, 0, INT64_MAX, 0) < 0)
        return false;
    avcodec_flush_buffers(m_codec);
    m_draining = false;
    m_failedSinceFrame = false;
    m_failures = 0;
    m_gap = false;
    m_deliveredFrames = 0;
    m_reachedFrames = 0;
    m_frameReady = fetchFrame();
    return true;
}

bool FfmpegDecoder::seekFrame(std::uint64_t frame)
{
    if (!m_exactSeek)
        return false;
    const AVStream* stream = m_format->streams[m_streamIndex];
    const std::int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    const AVRational samples{1, static_cast<int>(m_info.freq)};
    const auto target = static_cast<std::int64_t>(frame);
    if (av_seek_frame(m_format, m_streamIndex, start + av_rescale_q(target, samples, stream->time_base),
                      AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(m_codec);
    m_draining = false;
    m_failedSinceFrame = false;
    m_failures = 0;
    m_gap = false;
    // Where the demuxer lands is not known yet: the first frame after the seek opens no gap.
    m_reachedFrames = UnknownPosition;
    // The demuxer lands on a frame at or before the target; decode up to the frame that holds it.
    for (m_frameReady = fetchFrame(); m_frameReady; m_frameReady = fetchFrame()) {
        if (m_frame->best_effort_timestamp == AV_NOPTS_VALUE)
            return false;
        const std::int64_t at = av_rescale_q(m_frame->best_effort_timestamp - start, stream->time_base, samples);
        if (at > target)
            return false;
        if (at + m_frame->nb_samples > target) {
            m_frameOffset = static_cast<int>(target - at);
            break;
        }
    }
    m_deliveredFrames = target;
    return true;
}

} // namespace tunevale
