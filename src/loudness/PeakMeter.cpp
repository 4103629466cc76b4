#include "PeakMeter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace tunevale
{

namespace
{

// Outputs are bounded, and candidates filtered, this many inputs at a time: short enough that the
// bound follows the music's swings, long enough that computing it costs little beside the filter.
constexpr std::size_t kStretch = 32;
constexpr std::size_t kPrototypeTaps = 49;
// libebur128 leaves out the taps smaller than this (those where the sinc crosses zero).
constexpr double kNegligibleTap = 1e-6;
// Single precision sums of a phase's taps stray from the double precision ones by less than this
// share of the bound: 12 or 24 products, each rounded to 2^-24.
constexpr float kSingleError = 1e-5f;

// Four or eight outputs of a phase computed at once: SSE (or NEON) and AVX vectors.
using Lanes4 = float __attribute__((vector_size(4 * sizeof(float))));
using Lanes8 = float __attribute__((vector_size(8 * sizeof(float))));

// The loudest output of one phase over the stretch, whose inputs reach back as far as its taps do.
// Two vectors of outputs share each tap, which is loaded once for them. Inlined into the function
// for the processor's vectors.
template <typename Lanes>
[[gnu::always_inline]] inline float loudestOutputIn(const float* newest, std::size_t count, const float* taps,
                                                    std::size_t tapCount)
{
    constexpr std::size_t width = sizeof(Lanes) / sizeof(float);
    Lanes loudest{};
    std::size_t i = 0;
    for (; i + 2 * width <= count; i += 2 * width) {
        Lanes first{}, second{}, input;
        for (std::size_t t = 0; t < tapCount; ++t) {
            std::memcpy(&input, newest + i - t, sizeof input);
            first += taps[t] * input;
            std::memcpy(&input, newest + i + width - t, sizeof input);
            second += taps[t] * input;
        }
        first = first < Lanes{} ? -first : first;
        second = second < Lanes{} ? -second : second;
        loudest = first > loudest ? first : loudest;
        loudest = second > loudest ? second : loudest;
    }
    float peak = 0;
    for (std::size_t lane = 0; lane < width; ++lane)
        peak = std::max(peak, loudest[lane]);
    for (; i < count; ++i) {
        float sum = 0;
        for (std::size_t t = 0; t < tapCount; ++t)
            sum += taps[t] * newest[i - t];
        peak = std::max(peak, std::fabs(sum));
    }
    return peak;
}

template <typename Lanes> [[gnu::always_inline]] inline float loudestSampleIn(const float* samples, std::size_t count)
{
    constexpr std::size_t width = sizeof(Lanes) / sizeof(float);
    Lanes loudest{}, lanes;
    std::size_t i = 0;
    for (; i + width <= count; i += width) {
        std::memcpy(&lanes, samples + i, sizeof lanes);
        lanes = lanes < Lanes{} ? -lanes : lanes;
        loudest = lanes > loudest ? lanes : loudest;
    }
    float peak = 0;
    for (std::size_t lane = 0; lane < width; ++lane)
        peak = std::max(peak, loudest[lane]);
    for (; i < count; ++i)
        peak = std::max(peak, std::fabs(samples[i]));
    return peak;
}

#if defined(__x86_64__)
bool hasAvx2()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

__attribute__((target("avx2"))) float loudestOutputAvx2(const float* newest, std::size_t count, const float* taps,
                                                        std::size_t tapCount)
{
    return loudestOutputIn<Lanes8>(newest, count, taps, tapCount);
}

__attribute__((target("avx2"))) float loudestSampleAvx2(const float* samples, std::size_t count)
{
    return loudestSampleIn<Lanes8>(samples, count);
}
#endif

float loudestOutput(const float* newest, std::size_t count, const float* taps, std::size_t tapCount)
{
#if defined(__x86_64__)
    if (hasAvx2())
        return loudestOutputAvx2(newest, count, taps, tapCount);
#endif
    return loudestOutputIn<Lanes4>(newest, count, taps, tapCount);
}

float loudestOf(const float* samples, std::size_t count)
{
#if defined(__x86_64__)
    if (hasAvx2())
        return loudestSampleAvx2(samples, count);
#endif
    return loudestSampleIn<Lanes4>(samples, count);
}

std::uint32_t upsamplingOf(PeakKind kind, std::uint32_t rate)
{
    if (kind == PeakKind::Sample || rate >= 192000)
        return 1;
    return rate < 96000 ? 4 : 2;
}

} // namespace

PeakMeter::PeakMeter(PeakKind kind, std::uint32_t rate, std::uint32_t channels) : m_lines(channels)
{
    const std::uint32_t factor = upsamplingOf(kind, rate);
    if (factor == 1)
        return;
    // A sinc for the factor under a Hann window, split into one phase per output between two inputs.
    m_phases.resize(factor);
    for (std::size_t j = 0; j < kPrototypeTaps; ++j) {
        const double m = static_cast<double>(j) - static_cast<double>(kPrototypeTaps - 1) / 2.0;
        const double x = m * std::numbers::pi / factor;
        double tap = std::fabs(m) > kNegligibleTap ? std::sin(x) / x : 1.0;
        tap *= 0.5 * (1 - std::cos(2 * std::numbers::pi * static_cast<double>(j) / (kPrototypeTaps - 1)));
        if (std::fabs(tap) <= kNegligibleTap)
            continue;
        Phase& phase = m_phases[j % factor];
        phase.delays.push_back(static_cast<std::uint32_t>(j / factor));
        phase.taps.push_back(tap);
    }
    for (const Phase& phase : m_phases) {
        double sum = 0;
        for (const double tap : phase.taps)
            sum += std::fabs(tap);
        m_gain = std::max(m_gain, static_cast<float>(sum));
        m_history = std::max<std::size_t>(m_history, phase.delays.back());
        if (phase.taps.size() == 1 && phase.taps[0] == 1.0)
            continue;
        std::vector<float>& single = m_singlePhases.emplace_back(phase.delays.back() + 1, 0.0f);
        for (std::size_t t = 0; t < phase.taps.size(); ++t)
            single[phase.delays[t]] = static_cast<float>(phase.taps[t]);
    }
    for (auto& line : m_lines)
        line.assign(m_history, 0.0f);
}

void PeakMeter::add(std::uint32_t channel, const float* samples, std::size_t count)
{
    if (m_phases.empty()) {
        m_samplePeak = std::max(m_samplePeak, loudestOf(samples, count));
        return;
    }
    // The line holds the inputs that the first new output reads before the new samples.
    std::vector<float>& line = m_lines[channel];
    line.resize(m_history + count);
    std::copy(samples, samples + count, line.begin() + static_cast<std::ptrdiff_t>(m_history));
    for (std::size_t start = 0; start < count; start += kStretch) {
        const std::size_t length = std::min(kStretch, count - start);
        const float* newest = line.data() + m_history + start;
        const float loudest = loudestOf(newest, length);
        m_samplePeak = std::max(m_samplePeak, loudest);
        measureStretch(newest, length, std::max(loudest, loudestOf(newest - m_history, m_history)));
    }
    std::copy(line.begin() + static_cast<std::ptrdiff_t>(count),
              line.begin() + static_cast<std::ptrdiff_t>(count + m_history), line.begin());
}

void PeakMeter::measureStretch(const float* newest, std::size_t count, float reach)
{
    // The result is the higher of the two peaks, so either may rule a stretch out.
    const float found = std::max(m_truePeak, m_samplePeak);
    const float bound = m_gain * reach;
    if (bound * (1 + kSingleError) <= found)
        return;
    if (singlePrecisionPeak(newest, count) + bound * kSingleError > found)
        exactPeak(newest, count);
}

float PeakMeter::singlePrecisionPeak(const float* newest, std::size_t count) const
{
    float peak = 0;
    for (const auto& taps : m_singlePhases)
        peak = std::max(peak, loudestOutput(newest, count, taps.data(), taps.size()));
    return peak;
}

void PeakMeter::exactPeak(const float* newest, std::size_t count)
{
    // The order of the sums and the rounding of each output to single precision are libebur128's.
    for (std::size_t i = 0; i < count; ++i) {
        for (const Phase& phase : m_phases) {
            double sum = 0;
            for (std::size_t t = 0; t < phase.taps.size(); ++t)
                sum += newest[i - phase.delays[t]] * phase.taps[t];
            m_truePeak = std::max(m_truePeak, std::fabs(static_cast<float>(sum)));
        }
    }
}

double PeakMeter::peak() const
{
    return std::max(m_truePeak, m_samplePeak);
}

} // namespace tunevale
