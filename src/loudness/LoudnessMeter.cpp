#include "LoudnessMeter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace tunevale
{

namespace
{

// Blocks of 400 ms start every 100 ms; blocks of 3 s every second.
constexpr std::uint64_t kHopsPerMomentaryBlock = 4;
constexpr std::uint64_t kHopsBetweenShortTermBlocks = 10;
// Below this rate 100 ms rounds to no frame at all.
constexpr std::uint32_t kLowestRate = 5;
constexpr double kSurroundWeight = 1.41;

// How much each channel's energy counts, by the channel's number: L, R and C once, the LFE not at
// all, the surrounds 1.41 times; 4 channels are L, R, Ls, Rs and 5 are L, R, C, Ls, Rs. Channels
// beyond 5.1 are side surrounds.
std::vector<double> channelWeights(std::uint32_t channels)
{
    if (channels == 1)
        return {2.0};
    if (channels == 4)
        return {1.0, 1.0, kSurroundWeight, kSurroundWeight};
    if (channels == 5)
        return {1.0, 1.0, 1.0, kSurroundWeight, kSurroundWeight};
    std::vector<double> weights(channels, kSurroundWeight);
    std::fill_n(weights.begin(), std::min(channels, 3u), 1.0);
    if (channels > 3)
        weights[3] = 0.0;
    return weights;
}

template <typename Sample> Sample load(const std::uint8_t* bytes)
{
    Sample sample;
    std::memcpy(&sample, bytes, sizeof sample);
    return sample;
}

// Spreads interleaved samples into one plane per channel, each sample read by the function. The
// values are those libebur128 takes: integers divided by 2^(bits - 1).
template <typename Read>
void spread(const std::uint8_t* pcm, std::size_t frames, std::uint32_t channels, std::size_t sampleBytes, float* planes,
            std::size_t planeSize, Read read)
{
    const std::size_t frameBytes = channels * sampleBytes;
    for (std::uint32_t channel = 0; channel < channels; ++channel) {
        const std::uint8_t* in = pcm + channel * sampleBytes;
        float* plane = planes + channel * planeSize;
        for (std::size_t frame = 0; frame < frames; ++frame, in += frameBytes)
            plane[frame] = read(in);
    }
}

// 16-bit stereo, the commonest format by far (CD audio), split four frames at a time.
void spreadStereo16(const std::uint8_t* pcm, std::size_t frames, float* left, float* right)
{
    using Samples = std::int16_t __attribute__((vector_size(8 * sizeof(std::int16_t))));
    using Floats = float __attribute__((vector_size(4 * sizeof(float))));
    constexpr float kScale = 1.0f / 32768.0f;
    std::size_t frame = 0;
    for (; frame + 4 <= frames; frame += 4) {
        Samples both;
        std::memcpy(&both, pcm + frame * 4, sizeof both);
        const Floats l = __builtin_convertvector(__builtin_shufflevector(both, both, 0, 2, 4, 6), Floats) * kScale;
        const Floats r = __builtin_convertvector(__builtin_shufflevector(both, both, 1, 3, 5, 7), Floats) * kScale;
        std::memcpy(left + frame, &l, sizeof l);
        std::memcpy(right + frame, &r, sizeof r);
    }
    for (; frame < frames; ++frame) {
        left[frame] = static_cast<float>(load<std::int16_t>(pcm + frame * 4)) * kScale;
        right[frame] = static_cast<float>(load<std::int16_t>(pcm + frame * 4 + 2)) * kScale;
    }
}

} // namespace

LoudnessMeter::LoudnessMeter(const PcmFormat& format, PeakKind peakKind) : m_format(format), m_peakKind(peakKind)
{
    m_measured.peakKind = peakKind;
    if (format.channels == 0 || format.rate < kLowestRate)
        return;
    try {
        m_weights = channelWeights(format.channels);
        for (std::uint32_t channel = 0; channel < format.channels; ++channel) {
            if (m_weights[channel] > 0)
                m_counted.push_back(channel);
        }
        m_filters.assign((m_counted.size() + 1) / 2, KWeightingFilter(format.rate));
        // A silent plane after the channels' pairs the last counted channel when their number is odd.
        m_planar.resize(kChunkFrames * (format.channels + 1));
        m_peaks.emplace(peakKind, format.rate, format.channels);
    } catch (const std::bad_alloc&) {
        m_peaks.reset();
        return;
    }
    // libebur128's own 100 ms, rounded as it rounds it.
    m_framesPerHop = (format.rate + 5) / 10;
}

void LoudnessMeter::add(const void* pcm, std::size_t bytes)
{
    if (!valid() || bytes == 0)
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
    const std::size_t frameBytes = m_format.bytesPerFrame();
    for (std::size_t done = 0; done < frames;) {
        const std::size_t count = std::min(frames - done, kChunkFrames);
        toPlanar(pcm + done * frameBytes, count);
        measure(count);
        done += count;
    }
}

void LoudnessMeter::toPlanar(const std::uint8_t* pcm, std::size_t frames)
{
    // Little-endian samples, as on every machine this builds for; the bytes may be unaligned.
    const std::uint32_t channels = m_format.channels;
    const std::size_t sampleBytes = PcmFormat::bytesPerSample(m_format.type);
    float* planes = m_planar.data();
    switch (m_format.type) {
    case SampleType::UInt8:
        spread(pcm, frames, channels, sampleBytes, planes, kChunkFrames,
               [](const std::uint8_t* at) { return static_cast<float>(static_cast<int>(*at) - 128) / 128.0f; });
        return;
    case SampleType::Int16:
        if (channels == 2) {
            spreadStereo16(pcm, frames, planes, planes + kChunkFrames);
            return;
        }
        spread(pcm, frames, channels, sampleBytes, planes, kChunkFrames,
               [](const std::uint8_t* at) { return static_cast<float>(load<std::int16_t>(at)) / 32768.0f; });
        return;
    case SampleType::Int24:
        spread(pcm, frames, channels, sampleBytes, planes, kChunkFrames, [](const std::uint8_t* at) {
            const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(at[0]) << 8 |
                                                         static_cast<std::uint32_t>(at[1]) << 16 |
                                                         static_cast<std::uint32_t>(at[2]) << 24);
            return static_cast<float>(value / 2147483648.0);
        });
        return;
    case SampleType::Int32:
        spread(pcm, frames, channels, sampleBytes, planes, kChunkFrames,
               [](const std::uint8_t* at) { return static_cast<float>(load<std::int32_t>(at) / 2147483648.0); });
        return;
    case SampleType::Float32:
        spread(pcm, frames, channels, sampleBytes, planes, kChunkFrames,
               [](const std::uint8_t* at) { return load<float>(at); });
        return;
    }
}

void LoudnessMeter::measure(std::size_t frames)
{
    for (std::uint32_t channel = 0; channel < m_format.channels; ++channel)
        m_peaks->add(channel, planar(channel), frames);
    // Cut at each 100 ms boundary, where the last 400 ms and 3 s are a whole block.
    for (std::size_t done = 0; done < frames;) {
        const std::size_t count = std::min(frames - done, m_framesPerHop - m_framesInHop);
        for (std::size_t pair = 0; pair < m_filters.size(); ++pair)
            m_filters[pair].add(planar(m_counted[2 * pair]) + done, planar(secondOfPair(pair)) + done, count);
        done += count;
        m_framesInHop += count;
        if (m_framesInHop == m_framesPerHop) {
            m_framesInHop = 0;
            hopEnded();
        }
    }
}

std::size_t LoudnessMeter::secondOfPair(std::size_t pair) const
{
    return 2 * pair + 1 < m_counted.size() ? m_counted[2 * pair + 1] : m_format.channels;
}

void LoudnessMeter::hopEnded()
{
    double energy = 0;
    for (std::size_t pair = 0; pair < m_filters.size(); ++pair) {
        const KWeightingFilter::Sums sums = m_filters[pair].takeSumsOfSquares();
        energy += m_weights[m_counted[2 * pair]] * sums[0];
        if (2 * pair + 1 < m_counted.size())
            energy += m_weights[m_counted[2 * pair + 1]] * sums[1];
    }
    m_recentHops[m_hops % kHopsPerShortTermBlock] = energy;
    ++m_hops;
    if (m_hops >= kHopsPerMomentaryBlock)
        m_measured.momentary.add(loudnessOfLastHops(kHopsPerMomentaryBlock));
    if (m_hops >= kHopsPerShortTermBlock && (m_hops - kHopsPerShortTermBlock) % kHopsBetweenShortTermBlocks == 0)
        m_measured.shortTerm.add(loudnessOfLastHops(kHopsPerShortTermBlock));
}

double LoudnessMeter::loudnessOfLastHops(std::size_t hops) const
{
    double energy = 0;
    for (std::size_t back = 1; back <= hops; ++back)
        energy += m_recentHops[(m_hops - back) % kHopsPerShortTermBlock];
    energy /= static_cast<double>(hops * m_framesPerHop);
    // BS.1770-4's -0.691 makes a 1 kHz sine read its peak level; silence is -inf and not counted.
    return energy > 0 ? 10.0 * std::log10(energy) - 0.691 : -HUGE_VAL;
}

TrackLoudness LoudnessMeter::result() const
{
    TrackLoudness result = m_measured;
    if (m_peaks)
        result.peak = m_peaks->peak();
    return result;
}

} // namespace tunevale
