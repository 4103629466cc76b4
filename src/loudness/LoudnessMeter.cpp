#include "LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cstring>

namespace tunevale
{

namespace
{

// Blocks of 400 ms start every 100 ms; blocks of 3 s every second.
constexpr std::uint64_t kHopsPerMomentaryBlock = 4;
constexpr std::uint64_t kHopsPerShortTermBlock = 30;
constexpr std::uint64_t kHopsBetweenShortTermBlocks = 10;
// Chunks are widened this many frames at a time, so the scratch buffer stays small.
constexpr std::size_t kWidenFrames = 4096;

void mapChannels(ebur128_state* state, std::uint32_t channels)
{
    if (channels == 1) {
        ebur128_set_channel(state, 0, EBUR128_DUAL_MONO);
        return;
    }
    // libebur128 maps L, R, C, LFE (not counted), Ls, Rs; further channels are side surrounds.
    for (std::uint32_t channel = 6; channel < channels; ++channel)
        ebur128_set_channel(state, channel, channel % 2 == 0 ? EBUR128_Mp090 : EBUR128_Mm090);
}

// The only failure of adding frames, running out of memory, belongs to the gating that libebur128
// is not asked to do here: the blocks are counted by this meter.
void addToState(ebur128_state* state, const std::int16_t* samples, std::size_t frames)
{
    ebur128_add_frames_short(state, samples, frames);
}

void addToState(ebur128_state* state, const std::int32_t* samples, std::size_t frames)
{
    ebur128_add_frames_int(state, samples, frames);
}

void addToState(ebur128_state* state, const float* samples, std::size_t frames)
{
    ebur128_add_frames_float(state, samples, frames);
}

} // namespace

// libebur128's state, which C++ cannot declare ahead.
struct LoudnessMeter::State {
    explicit State(ebur128_state* state) : st(state) {}
    ~State() { ebur128_destroy(&st); }
    ebur128_state* st;
};

LoudnessMeter::LoudnessMeter(const PcmFormat& format, PeakKind peakKind) : m_format(format), m_peakKind(peakKind)
{
    m_measured.peakKind = peakKind;
    if (format.channels == 0 || format.rate == 0)
        return;
    const int peakMode = peakKind == PeakKind::True ? EBUR128_MODE_TRUE_PEAK : EBUR128_MODE_SAMPLE_PEAK;
    ebur128_state* state = ebur128_init(format.channels, format.rate, EBUR128_MODE_S | peakMode);
    if (!state)
        return;
    m_state = std::make_unique<State>(state);
    mapChannels(state, format.channels);
    // libebur128's own 100 ms, rounded as it rounds it, so that each hop ends where its block does.
    m_framesPerHop = (format.rate + 5) / 10;
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::add(const void* pcm, std::size_t bytes)
{
    if (!m_state || bytes == 0)
        return;
    const std::size_t frameBytes = m_format.bytesPerFrame();
    auto data = static_cast<const std::uint8_t*>(pcm);
    if (!m_partialFrame.empty()) {
        const std::size_t missing = std::min(frameBytes - m_partialFrame.size(), bytes);
        m_partialFrame.insert(m_partialFrame.end(), data, data + missing);
        data += missing;
        bytes -= missing;
        if (m_partialFrame.size() < frameBytes)
            return;
        addFrames(m_partialFrame.data(), 1);
        m_partialFrame.clear();
    }
    addFrames(data, bytes / frameBytes);
    const std::size_t rest = bytes % frameBytes;
    m_partialFrame.assign(data + bytes - rest, data + bytes);
}

void LoudnessMeter::addFrames(const std::uint8_t* pcm, std::size_t frames)
{
    const std::size_t channels = m_format.channels;
    switch (m_format.type) {
    case SampleType::Int16:
    case SampleType::Int32:
    case SampleType::Float32:
        // Little-endian samples, as on every machine this builds for; the bytes may be unaligned.
        for (std::size_t done = 0; done < frames;) {
            const std::size_t count = std::min(frames - done, kWidenFrames);
            const std::size_t bytes = count * m_format.bytesPerFrame();
            m_widened.resize((bytes + 3) / 4);
            std::memcpy(m_widened.data(), pcm + done * m_format.bytesPerFrame(), bytes);
            if (m_format.type == SampleType::Int16)
                feed(reinterpret_cast<const std::int16_t*>(m_widened.data()), count);
            else if (m_format.type == SampleType::Int32)
                feed(m_widened.data(), count);
            else
                feed(reinterpret_cast<const float*>(m_widened.data()), count);
            done += count;
        }
        return;
    case SampleType::UInt8:
    case SampleType::Int24:
        for (std::size_t done = 0; done < frames;) {
            const std::size_t count = std::min(frames - done, kWidenFrames);
            m_widened.resize(count * channels);
            if (m_format.type == SampleType::UInt8) {
                const std::uint8_t* in = pcm + done * channels;
                for (std::size_t i = 0; i < count * channels; ++i)
                    m_widened[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(in[i] ^ 0x80u) << 24);
            } else {
                const std::uint8_t* in = pcm + done * channels * 3;
                for (std::size_t i = 0; i < count * channels; ++i, in += 3)
                    m_widened[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(in[0]) << 8 |
                                                             static_cast<std::uint32_t>(in[1]) << 16 |
                                                             static_cast<std::uint32_t>(in[2]) << 24);
            }
            feed(m_widened.data(), count);
            done += count;
        }
        return;
    }
}

template <typename Sample> void LoudnessMeter::feed(const Sample* samples, std::size_t frames)
{
    // Cut at each 100 ms boundary: there libebur128's last 400 ms and 3 s are a whole block.
    while (frames > 0) {
        const std::size_t count = std::min(frames, m_framesPerHop - m_framesInHop);
        addToState(m_state->st, samples, count);
        samples += count * m_format.channels;
        frames -= count;
        m_framesInHop += count;
        if (m_framesInHop == m_framesPerHop) {
            m_framesInHop = 0;
            ++m_hops;
            blockEnded();
        }
    }
}

void LoudnessMeter::blockEnded()
{
    double lufs = 0;
    if (m_hops >= kHopsPerMomentaryBlock && ebur128_loudness_momentary(m_state->st, &lufs) == EBUR128_SUCCESS)
        m_measured.momentary.add(lufs);
    if (m_hops >= kHopsPerShortTermBlock && (m_hops - kHopsPerShortTermBlock) % kHopsBetweenShortTermBlocks == 0 &&
        ebur128_loudness_shortterm(m_state->st, &lufs) == EBUR128_SUCCESS)
        m_measured.shortTerm.add(lufs);
}

TrackLoudness LoudnessMeter::result() const
{
    TrackLoudness result = m_measured;
    if (!m_state)
        return result;
    for (std::uint32_t channel = 0; channel < m_format.channels; ++channel) {
        double peak = 0;
        const int status = m_peakKind == PeakKind::True ? ebur128_true_peak(m_state->st, channel, &peak)
                                                        : ebur128_sample_peak(m_state->st, channel, &peak);
        if (status == EBUR128_SUCCESS)
            result.peak = std::max(result.peak, peak);
    }
    return result;
}

} // namespace tunevale
