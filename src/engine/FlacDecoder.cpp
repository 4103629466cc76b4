#include "FlacDecoder.h"

#include "Engine.h"
#include "FfmpegTagReader.h"
#include "NativeSamples.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/samplefmt.h>
}

namespace tunevale
{

namespace
{

// m_reachedFrames after a seek, until the frame there says where it starts.
constexpr std::int64_t UnknownFlacPosition = -1;

FlacDecoder& decoderOf(void* client)
{
    return *static_cast<FlacDecoder*>(client);
}

FLAC__StreamDecoderReadStatus readCallback(const FLAC__StreamDecoder*, FLAC__byte buffer[], std::size_t* bytes,
                                           void* client)
{
    return decoderOf(client).readBytes(buffer, bytes);
}

FLAC__StreamDecoderSeekStatus seekCallback(const FLAC__StreamDecoder*, FLAC__uint64 offset, void* client)
{
    return decoderOf(client).seekTo(offset);
}

FLAC__StreamDecoderTellStatus tellCallback(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* client)
{
    *offset = decoderOf(client).position();
    return FLAC__STREAM_DECODER_TELL_STATUS_OK;
}

FLAC__StreamDecoderLengthStatus lengthCallback(const FLAC__StreamDecoder*, FLAC__uint64* length, void* client)
{
    *length = decoderOf(client).streamSize();
    return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
}

FLAC__bool eofCallback(const FLAC__StreamDecoder*, void* client)
{
    return decoderOf(client).atEnd();
}

FLAC__StreamDecoderWriteStatus writeCallback(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                             const FLAC__int32* const channels[], void* client)
{
    return decoderOf(client).takeFrame(frame, channels);
}

void metadataCallback(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* client)
{
    decoderOf(client).takeMetadata(metadata);
}

void errorCallback(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus status, void* client)
{
    decoderOf(client).noteError(status);
}

// The size of an ID3v2 tag at the start of bytes (header, syncsafe size, footer), 0 without one.
std::size_t id3v2Size(const std::string& bytes)
{
    if (bytes.size() < 10 || bytes.compare(0, 3, "ID3") != 0)
        return 0;
    std::size_t size = 0;
    for (int i = 6; i < 10; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
        if (byte & 0x80)
            return 0;
        size = size << 7 | byte;
    }
    const bool footer = static_cast<unsigned char>(bytes[5]) & 0x10;
    return 10 + size + (footer ? 10 : 0);
}

} // namespace

bool FlacDecoder::looksLikeFlac(const FileInput& input)
{
    const std::size_t start = id3v2Size(input.readAt(0, 10));
    return input.readAt(start, 4) == "fLaC";
}

std::unique_ptr<FlacDecoder> FlacDecoder::open(std::unique_ptr<FileInput>& input, DecodeOptions options)
{
    std::unique_ptr<FlacDecoder> decoder(new FlacDecoder);
    decoder->m_input = std::move(input);
    if (decoder->start(options))
        return decoder;
    input = std::move(decoder->m_input);
    avio_seek(input->io(), 0, SEEK_SET);
    return nullptr;
}

FlacDecoder::~FlacDecoder() = default;

bool FlacDecoder::start(DecodeOptions options)
{
    if (avio_seek(m_input->io(), 0, SEEK_SET) != 0)
        return false;
    m_decoder.reset(FLAC__stream_decoder_new());
    if (!m_decoder || FLAC__stream_decoder_init_stream(m_decoder.get(), readCallback, seekCallback, tellCallback,
                                                       lengthCallback, eofCallback, writeCallback, metadataCallback,
                                                       errorCallback, this) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
        return false;
    if (!FLAC__stream_decoder_process_until_end_of_metadata(m_decoder.get()) || !m_streamInfo)
        return false;
    const FLAC__StreamMetadata_StreamInfo& stream = *m_streamInfo;
    // Streams of unknown length are left to FFmpeg, which estimates it or counts it by decoding.
    if (stream.total_samples == 0 || stream.sample_rate < static_cast<unsigned>(LowestRecordingRate) ||
        stream.bits_per_sample < 4 || stream.bits_per_sample > 32)
        return false;
    m_bits = stream.bits_per_sample;
    m_info.freq = stream.sample_rate;
    m_info.chans = stream.channels;
    m_info.origres = m_bits;
    // FFmpeg hands FLAC over as 16-bit samples up to 16 bits and as 32-bit ones beyond.
    m_native = options.sourceResolution;
    if (m_native)
        m_info.flags = nativeSampleFlags(m_bits > 16 ? AV_SAMPLE_FMT_S32 : AV_SAMPLE_FMT_S16, static_cast<int>(m_bits));
    m_frameBytes = m_info.chans * bytesPerSample(m_info.flags);
    m_statedFrames = static_cast<std::int64_t>(stream.total_samples);
    m_length = stream.total_samples * m_frameBytes;
    // Decode the first frame now: a stream that decodes to nothing is finished from the start.
    if (options.prescan) {
        if (!reachesStatedEnd())
            return false;
    } else {
        m_frameReady = fetchFrame();
    }
    return !m_formatChanged;
}

bool FlacDecoder::reachesStatedEnd()
{
    m_seeking = true;
    const bool reached = FLAC__stream_decoder_seek_absolute(m_decoder.get(), m_streamInfo->total_samples - 1) &&
                         m_tookFrame && !m_formatChanged;
    m_seeking = false;
    return rewind() && reached;
}

FLAC__StreamDecoderReadStatus FlacDecoder::readBytes(FLAC__byte buffer[], std::size_t* bytes)
{
    if (*bytes == 0)
        return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    const int got = avio_read(m_input->io(), buffer, static_cast<int>(std::min<std::size_t>(*bytes, INT32_MAX)));
    if (got > 0) {
        *bytes = static_cast<std::size_t>(got);
        return FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    }
    *bytes = 0;
    return got == 0 || got == AVERROR_EOF ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                                          : FLAC__STREAM_DECODER_READ_STATUS_ABORT;
}

FLAC__StreamDecoderSeekStatus FlacDecoder::seekTo(FLAC__uint64 offset)
{
    return avio_seek(m_input->io(), static_cast<std::int64_t>(offset), SEEK_SET) < 0
               ? FLAC__STREAM_DECODER_SEEK_STATUS_ERROR
               : FLAC__STREAM_DECODER_SEEK_STATUS_OK;
}

FLAC__uint64 FlacDecoder::position() const
{
    return static_cast<FLAC__uint64>(std::max<std::int64_t>(avio_tell(m_input->io()), 0));
}

FLAC__uint64 FlacDecoder::streamSize() const
{
    return m_input->size();
}

bool FlacDecoder::atEnd() const
{
    return position() >= m_input->size();
}

void FlacDecoder::takeMetadata(const FLAC__StreamMetadata* metadata)
{
    if (metadata->type == FLAC__METADATA_TYPE_STREAMINFO)
        m_streamInfo = metadata->data.stream_info;
}

void FlacDecoder::noteError(FLAC__StreamDecoderErrorStatus status)
{
    if (status == FLAC__STREAM_DECODER_ERROR_STATUS_FRAME_CRC_MISMATCH)
        m_frameFailed = true;
    // Seeking reads from the middle of frames on its way; what it skips there is not the piece's.
    if (!m_seeking)
        noteFailure();
}

void FlacDecoder::noteFailure()
{
    // Bytes after the last sample the file states (a tag read as audio) take nothing from the piece.
    if (m_reachedFrames < m_statedFrames)
        ++m_failures;
}

FLAC__StreamDecoderWriteStatus FlacDecoder::takeFrame(const FLAC__Frame* frame, const FLAC__int32* const channels[])
{
    const FLAC__FrameHeader& header = frame->header;
    // A frame failing its checksum arrives as silence; FFmpeg drops it, and so does this decoder.
    if (m_frameFailed)
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    if (header.channels != m_info.chans || header.bits_per_sample != m_bits || header.sample_rate != m_info.freq) {
        m_formatChanged = true;
        noteFailure();
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }
    const auto first = static_cast<std::int64_t>(header.number_type == FLAC__FRAME_NUMBER_TYPE_SAMPLE_NUMBER
                                                     ? header.number.sample_number
                                                     : FLAC__uint64{header.number.frame_number} * header.blocksize);
    // Samples between the end of the frame before and this one's start were in frames lost to damage.
    if (m_reachedFrames != UnknownFlacPosition && first > m_reachedFrames)
        m_gap = true;
    m_reachedFrames = std::max(m_reachedFrames, first + static_cast<std::int64_t>(header.blocksize));
    convert(channels, header.blocksize);
    m_tookFrame = true;
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void FlacDecoder::convert(const FLAC__int32* const channels[], std::uint32_t frames)
{
    const std::size_t chans = m_info.chans;
    m_pcm.resize(std::size_t{frames} * m_frameBytes);
    m_pcmOffset = 0;
    // FFmpeg aligns the samples to the top of 16 bits up to 16 bits, else of 32; the delivered
    // samples are those, narrowed or dithered the way FfmpegDecoder does.
    if (m_info.flags & StreamFlag::Sample24Bits) {
        const std::uint32_t shift = 24 - m_bits;
        std::uint8_t* out = m_pcm.data();
        for (std::uint32_t i = 0; i < frames; ++i)
            for (std::size_t c = 0; c < chans; ++c) {
                const auto value = static_cast<std::uint32_t>(channels[c][i]) << shift;
                *out++ = static_cast<std::uint8_t>(value);
                *out++ = static_cast<std::uint8_t>(value >> 8);
                *out++ = static_cast<std::uint8_t>(value >> 16);
            }
    } else if (m_info.flags & StreamFlag::Sample32Bits) {
        const std::uint32_t shift = 32 - m_bits;
        auto* out = reinterpret_cast<std::int32_t*>(m_pcm.data());
        for (std::uint32_t i = 0; i < frames; ++i)
            for (std::size_t c = 0; c < chans; ++c)
                *out++ = static_cast<std::int32_t>(static_cast<std::uint32_t>(channels[c][i]) << shift);
    } else if (m_bits <= 16) {
        const std::uint32_t shift = 16 - m_bits;
        auto* out = reinterpret_cast<std::int16_t*>(m_pcm.data());
        for (std::uint32_t i = 0; i < frames; ++i)
            for (std::size_t c = 0; c < chans; ++c)
                *out++ = static_cast<std::int16_t>(channels[c][i] << shift);
    } else {
        const std::uint32_t shift = 32 - m_bits;
        auto* out = reinterpret_cast<std::int16_t*>(m_pcm.data());
        for (std::uint32_t i = 0; i < frames; ++i)
            for (std::size_t c = 0; c < chans; ++c)
                *out++ = m_noise.to16(static_cast<std::int32_t>(static_cast<std::uint32_t>(channels[c][i]) << shift));
    }
}

bool FlacDecoder::fetchFrame()
{
    m_pcm.clear();
    m_pcmOffset = 0;
    m_tookFrame = false;
    while (!m_tookFrame) {
        if (FLAC__stream_decoder_get_state(m_decoder.get()) == FLAC__STREAM_DECODER_END_OF_STREAM)
            return false;
        m_frameFailed = false;
        if (!FLAC__stream_decoder_process_single(m_decoder.get())) {
            // A stream cut inside a frame ends there; anything else is a read failure.
            if (FLAC__stream_decoder_get_state(m_decoder.get()) != FLAC__STREAM_DECODER_END_OF_STREAM)
                noteFailure();
            return m_tookFrame;
        }
    }
    return true;
}

std::size_t FlacDecoder::read(std::uint8_t* out, std::size_t size)
{
    std::size_t written = 0;
    while (m_frameReady && size - written >= m_frameBytes) {
        const std::size_t room = (size - written) / m_frameBytes * m_frameBytes;
        const std::size_t bytes = std::min(room, m_pcm.size() - m_pcmOffset);
        std::memcpy(out + written, m_pcm.data() + m_pcmOffset, bytes);
        written += bytes;
        m_pcmOffset += bytes;
        m_deliveredFrames += static_cast<std::int64_t>(bytes / m_frameBytes);
        if (m_pcmOffset >= m_pcm.size())
            m_frameReady = fetchFrame();
    }
    return written;
}

void FlacDecoder::resetProgress()
{
    m_failures = 0;
    m_gap = false;
    m_formatChanged = false;
    m_deliveredFrames = 0;
    m_reachedFrames = 0;
}

bool FlacDecoder::rewind()
{
    resetProgress();
    m_frameReady = false;
    if (!FLAC__stream_decoder_reset(m_decoder.get()) ||
        !FLAC__stream_decoder_process_until_end_of_metadata(m_decoder.get()))
        return false;
    m_frameReady = fetchFrame();
    return true;
}

bool FlacDecoder::seekFrame(std::uint64_t frame)
{
    resetProgress();
    m_frameReady = false;
    const auto target = static_cast<std::int64_t>(frame);
    if (target >= m_statedFrames) {
        m_deliveredFrames = target;
        m_reachedFrames = target;
        return target == m_statedFrames;
    }
    // Where the seek lands is not known yet: the frame there opens no gap.
    m_reachedFrames = UnknownFlacPosition;
    m_pcm.clear();
    m_tookFrame = false;
    m_seeking = true;
    const bool sought = FLAC__stream_decoder_seek_absolute(m_decoder.get(), frame);
    m_seeking = false;
    if (!sought) {
        FLAC__stream_decoder_flush(m_decoder.get());
        return false;
    }
    // libFLAC hands over the frame holding the target from the target on.
    m_frameReady = m_tookFrame || fetchFrame();
    m_deliveredFrames = target;
    return true;
}

SourceDamage FlacDecoder::damage() const
{
    if (!finished())
        return SourceDamage::None;
    // The file states its exact length, and a lossless source owes every sample of it.
    if (m_statedFrames > std::max(m_deliveredFrames, m_reachedFrames))
        return SourceDamage::EndedEarly;
    if (m_failures > 0 || m_gap)
        return SourceDamage::Corrupt;
    return SourceDamage::None;
}

SourceTags FlacDecoder::tags()
{
    if (m_tags)
        return *m_tags;
    AVIOContext* io = m_input->io();
    const std::int64_t resume = avio_tell(io);
    m_tags.emplace();
    AVFormatContext* format = avformat_alloc_context();
    if (format && avio_seek(io, 0, SEEK_SET) == 0) {
        format->pb = io;
        format->io_open = &FileInput::refuseNestedOpen;
        // avformat_open_input frees the context when it fails.
        if (avformat_open_input(&format, "", av_find_input_format("flac"), nullptr) >= 0) {
            *m_tags = readSourceTags(format, av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0));
            avformat_close_input(&format);
        }
        format = nullptr;
    }
    avformat_free_context(format);
    // libFLAC reads on from where it was.
    avio_seek(io, resume, SEEK_SET);
    return *m_tags;
}

} // namespace tunevale
