#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tunevale
{

// The K-weighting of ITU-R BS.1770-4 for one channel: a high shelf of +4 dB above 1.7 kHz and a
// high pass at 38 Hz, joined into one fourth-order filter whose coefficients are computed for the
// rate as libebur128 computes them, so that loudness agrees with its. Double precision: the high
// pass's poles lie too close to 1 for single precision. Single thread.
class KWeightingFilter
{
public:
    explicit KWeightingFilter(std::uint32_t rate);

    // Filters the next samples (full scale 1.0), adding the squares of the output to a sum.
    void add(const float* samples, std::size_t count);
    // The sum since it was last taken; summed sample after sample, however the samples came.
    double takeSumOfSquares();

private:
    std::array<double, 5> m_b{};     // numerator
    std::array<double, 5> m_a{};     // denominator, m_a[0] = 1
    std::array<double, 4> m_state{}; // the last four values inside the filter, the newest first
    double m_sumOfSquares = 0;
};

} // namespace tunevale
