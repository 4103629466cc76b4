#include "KWeightingFilter.h"

#include <cfloat>
#include <cmath>
#include <numbers>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tunevale
{

KWeightingFilter::KWeightingFilter(std::uint32_t rate)
{
    // The shelf: its centre, gain (dB) and quality, and the shape of its slope.
    double f0 = 1681.974450955533;
    const double gain = 3.999843853973347;
    double q = 0.7071752369554196;
    double k = std::tan(std::numbers::pi * f0 / rate);
    const double vh = std::pow(10.0, gain / 20.0);
    const double vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1.0 + k / q + k * k;
    const std::array<double, 3> shelfB{(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0,
                                       (vh - vb * k / q + k * k) / a0};
    const std::array<double, 3> shelfA{1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};

    // The high pass.
    f0 = 38.13547087602444;
    q = 0.5003270373238773;
    k = std::tan(std::numbers::pi * f0 / rate);
    const std::array<double, 3> passB{1.0, -2.0, 1.0};
    const std::array<double, 3> passA{1.0, 2.0 * (k * k - 1.0) / (1.0 + k / q + k * k),
                                      (1.0 - k / q + k * k) / (1.0 + k / q + k * k)};

    // One filter: the products of the two polynomials.
    for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t j = 0; j < 3; ++j) {
            m_b[i + j] += shelfB[i] * passB[j];
            m_a[i + j] += shelfA[i] * passA[j];
        }
    }
}

void KWeightingFilter::add(const float* first, const float* second, std::size_t count)
{
#if defined(__x86_64__)
    if (hasFusedMultiplyAdd())
        addFused(first, second, count);
    else
#endif
        addPlain(first, second, count);
    // Values that decayed below the normal range after the audio fell silent would slow every later
    // sum a hundredfold; they are silence.
    for (Pair& values : m_state) {
        for (int lane = 0; lane < 2; ++lane) {
            if (std::fabs(values[lane]) < DBL_MIN)
                values[lane] = 0;
        }
    }
}

void KWeightingFilter::addPlain(const float* first, const float* second, std::size_t count)
{
    // The coefficients in both lanes, held in registers through the loop.
    std::array<Pair, 5> a, b;
    for (std::size_t k = 0; k < 5; ++k) {
        a[k] = Pair{m_a[k], m_a[k]};
        b[k] = Pair{m_b[k], m_b[k]};
    }
    auto [v1, v2, v3, v4] = m_state;
    Pair sums = m_sumsOfSquares;
    for (std::size_t i = 0; i < count; ++i) {
        const Pair in{first[i], second[i]};
        // The newest value's term last, so that each sample waits on one product and one sum.
        const Pair v0 = in - a[4] * v4 - a[3] * v3 - a[2] * v2 - a[1] * v1;
        const Pair out = b[0] * v0 + b[1] * v1 + b[2] * v2 + b[3] * v3 + b[4] * v4;
        sums += out * out;
        v4 = v3;
        v3 = v2;
        v2 = v1;
        v1 = v0;
    }
    m_sumsOfSquares = sums;
    m_state = {v1, v2, v3, v4};
}

#if defined(__x86_64__)
bool KWeightingFilter::hasFusedMultiplyAdd()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("fma") != 0;
    }();
    return has;
}

// The same filter with each product fused into its sum: each sample then waits on one instruction
// instead of two, and the sums round once less.
__attribute__((target("fma"))) void KWeightingFilter::addFused(const float* first, const float* second,
                                                               std::size_t count)
{
    __m128d a[5], b[5];
    for (std::size_t k = 0; k < 5; ++k) {
        a[k] = _mm_set1_pd(m_a[k]);
        b[k] = _mm_set1_pd(m_b[k]);
    }
    __m128d v1 = m_state[0], v2 = m_state[1], v3 = m_state[2], v4 = m_state[3];
    __m128d sums = m_sumsOfSquares;
    for (std::size_t i = 0; i < count; ++i) {
        const __m128d in = _mm_set_pd(second[i], first[i]);
        __m128d v0 = _mm_fnmadd_pd(a[4], v4, in);
        v0 = _mm_fnmadd_pd(a[3], v3, v0);
        v0 = _mm_fnmadd_pd(a[2], v2, v0);
        v0 = _mm_fnmadd_pd(a[1], v1, v0);
        __m128d out = _mm_mul_pd(b[4], v4);
        out = _mm_fmadd_pd(b[3], v3, out);
        out = _mm_fmadd_pd(b[2], v2, out);
        out = _mm_fmadd_pd(b[1], v1, out);
        out = _mm_fmadd_pd(b[0], v0, out);
        sums = _mm_fmadd_pd(out, out, sums);
        v4 = v3;
        v3 = v2;
        v2 = v1;
        v1 = v0;
    }
    m_sumsOfSquares = sums;
    m_state = {v1, v2, v3, v4};
}
#endif

KWeightingFilter::Sums KWeightingFilter::takeSumsOfSquares()
{
    const Sums sums{m_sumsOfSquares[0], m_sumsOfSquares[1]};
    m_sumsOfSquares = Pair{};
    return sums;
}

} // namespace tunevale
