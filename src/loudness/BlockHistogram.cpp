#include "BlockHistogram.h"

#include <cmath>
#include <numeric>

namespace tunevale
{

namespace
{

double energyOf(double lufs)
{
    return std::pow(10.0, lufs / 10.0);
}

double lufsOf(double energy)
{
    return 10.0 * std::log10(energy);
}

double lowerEdge(int bin)
{
    return BlockHistogram::kLowestLufs + bin * BlockHistogram::kBinWidth;
}

int binOf(double lufs)
{
    const int bin = static_cast<int>(std::floor((lufs - BlockHistogram::kLowestLufs) / BlockHistogram::kBinWidth));
    return std::min(bin, BlockHistogram::kBins - 1);
}

// Mean loudness of the blocks in a bin.
double binLoudness(const BlockHistogram& histogram, int bin)
{
    return lufsOf(histogram.energies()[bin] / histogram.bins()[bin]);
}

// The first bin of the blocks that pass the gate: the bin the gate falls in passes when the mean of
// its blocks does.
int firstBinFrom(const BlockHistogram& histogram, double gateLufs)
{
    if (gateLufs < BlockHistogram::kLowestLufs)
        return 0;
    const int bin = binOf(gateLufs);
    return histogram.bins()[bin] && binLoudness(histogram, bin) < gateLufs ? bin + 1 : bin;
}

// Mean loudness of the blocks from the bin on; the number of blocks it covers.
std::pair<double, std::uint64_t> meanFrom(const BlockHistogram& histogram, int first)
{
    double energy = 0;
    std::uint64_t count = 0;
    for (int bin = first; bin < BlockHistogram::kBins; ++bin) {
        energy += histogram.energies()[bin];
        count += histogram.bins()[bin];
    }
    return {count ? lufsOf(energy / static_cast<double>(count)) : -HUGE_VAL, count};
}

} // namespace

void BlockHistogram::add(double lufs)
{
    // NaN and -inf fail this test too.
    if (!(lufs >= kLowestLufs))
        return;
    const int bin = binOf(lufs);
    ++m_bins[bin];
    m_energies[bin] += energyOf(lufs);
}

void BlockHistogram::add(const BlockHistogram& other)
{
    for (int bin = 0; bin < kBins; ++bin) {
        m_bins[bin] += other.m_bins[bin];
        m_energies[bin] += other.m_energies[bin];
    }
}

bool BlockHistogram::addToBin(int bin, std::uint32_t count, double energy)
{
    if (bin < 0 || bin >= kBins || count == 0 || !std::isfinite(energy))
        return false;
    // The mean of the blocks lies in the bin (the top bin takes everything louder), give or take
    // the rounding of a sum.
    constexpr double kSlack = 1e-6;
    const double mean = lufsOf(energy / count);
    if (!(mean >= lowerEdge(bin) - kSlack) || (bin + 1 < kBins && mean > lowerEdge(bin + 1) + kSlack))
        return false;
    m_bins[bin] += count;
    m_energies[bin] += energy;
    return true;
}

BlockHistogram BlockHistogram::amplified(double gainDb) const
{
    BlockHistogram result;
    const double factor = energyOf(gainDb);
    for (int bin = 0; bin < kBins; ++bin) {
        if (m_bins[bin] == 0)
            continue;
        const double energy = m_energies[bin] * factor;
        const double mean = lufsOf(energy / m_bins[bin]);
        if (!(mean >= kLowestLufs))
            continue;
        const int to = binOf(mean);
        result.m_bins[to] += m_bins[bin];
        result.m_energies[to] += energy;
    }
    return result;
}

std::uint64_t BlockHistogram::count() const
{
    return std::accumulate(m_bins.begin(), m_bins.end(), std::uint64_t{0});
}

std::optional<double> BlockHistogram::integratedLoudness() const
{
    const auto [ungated, all] = meanFrom(*this, 0);
    if (all == 0)
        return std::nullopt;
    const auto [gated, passed] = meanFrom(*this, firstBinFrom(*this, ungated - 10.0));
    if (passed == 0)
        return std::nullopt;
    return gated;
}

double BlockHistogram::loudnessRange() const
{
    const auto [ungated, all] = meanFrom(*this, 0);
    if (all == 0)
        return 0;
    const int first = firstBinFrom(*this, ungated - 20.0);
    const std::uint64_t passed = meanFrom(*this, first).second;
    if (passed == 0)
        return 0;
    // The blocks at the two percentiles, counted from the quietest that passed the gate.
    const auto low = static_cast<std::uint64_t>(static_cast<double>(passed - 1) * 0.10 + 0.5);
    const auto high = static_cast<std::uint64_t>(static_cast<double>(passed - 1) * 0.95 + 0.5);
    std::uint64_t seen = 0;
    int bin = first;
    while (seen <= low)
        seen += m_bins[bin++];
    const double lowLufs = binLoudness(*this, bin - 1);
    while (seen <= high)
        seen += m_bins[bin++];
    return binLoudness(*this, bin - 1) - lowLufs;
}

} // namespace tunevale
