#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tunevale
{

// The K-weighting of ITU-R BS.1770-4 for two channels at once: a high shelf of +4 dB above 1.7 kHz
// and a high pass at 38 Hz, joined into one fourth-order filter whose coefficients are computed for
// the rate as libebur128 computes them, so that loudness agrees with its. Double precision, as the
// high pass's poles lie too close to 1 for single precision; the two channels share each
// instruction (SSE2, with fused multiply-adds where the processor has them). Single thread.
class KWeightingFilter
{
public:
    using Sums = std::array<double, 2>;

    explicit KWeightingFilter(std::uint32_t rate);

    // Filters the next samples of both channels (full scale 1.0), adding the squares of the outputs
    // to each channel's sum. A filter for one channel is given silence as its second.
    void add(const float* first, const float* second, std::size_t count);
    // The sums since they were last taken; summed sample after sample, however the samples came.
    Sums takeSumsOfSquares();

private:
    using Pair = double __attribute__((vector_size(2 * sizeof(double))));

    void addPlain(const float* first, const float* second, std::size_t count);
#if defined(__x86_64__)
    static bool hasFusedMultiplyAdd();
    void addFused(const float* first, const float* second, std::size_t count);
#endif

    std::array<double, 5> m_b{};   // numerator
    std::array<double, 5> m_a{};   // denominator, m_a[0] = 1
    std::array<Pair, 4> m_state{}; // the last four values inside the filter, the newest first
    Pair m_sumsOfSquares{};
};

} // namespace tunevale
