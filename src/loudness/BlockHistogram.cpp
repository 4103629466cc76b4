#include "BlockHistogram.h"

#include <cmath>
#include <numeric>

namespace tunevale
{

namespace
{

// Loudness and energy of a bin's centre, the value every block counted in it stands for.
double binLoudness(int bin)
{
    return BlockHistogram::kLowestLufs + (bin + 0.5) * BlockHistogram::kBinWidth;
}

double binEnergy(int bin)
{
    return std::pow(10.0, binLoudness(bin) / 10.0);
}

int binOf(double lufs)
{
    const int bin = static_cast<int>(std::floor((lufs - BlockHistogram::kLowestLufs) / BlockHistogram::kBinWidth));
    return std::min(bin, BlockHistogram::kBins - 1);
}

// The first bin whose centre is not below the gate: the blocks that pass it.
int firstBinFrom(double gateLufs)
{
    if (gateLufs < BlockHistogram::kLowestLufs)
        return 0;
    const int bin = binOf(gateLufs);
    return gateLufs > binLoudness(bin) ? bin + 1 : bin;
}

// Mean energy (as loudness) of the blocks from the bin on; the number of blocks it covers.
std::pair<double, std::uint64_t> meanFrom(const BlockHistogram::Bins& bins, int first)
{
    double energy = 0;
    std::uint64_t count = 0;
    for (int bin = first; bin < BlockHistogram::kBins; ++bin) {
        energy += bins[bin] * binEnergy(bin);
        count += bins[bin];
    }
    return {count ? 10.0 * std::log10(energy / static_cast<double>(count)) : -HUGE_VAL, count};
}

} // namespace

void BlockHistogram::add(double lufs)
{
    // NaN and -inf fail this test too.
    if (!(lufs >= kLowestLufs))
        return;
    ++m_bins[binOf(lufs)];
}

void BlockHistogram::add(const BlockHistogram& other)
{
    for (int bin = 0; bin < kBins; ++bin)
        m_bins[bin] += other.m_bins[bin];
}

void BlockHistogram::addToBin(int bin, std::uint32_t count)
{
    if (bin >= 0 && bin < kBins)
        m_bins[bin] += count;
}

std::uint64_t BlockHistogram::count() const
{
    return std::accumulate(m_bins.begin(), m_bins.end(), std::uint64_t{0});
}

std::optional<double> BlockHistogram::integratedLoudness() const
{
    const auto [ungated, all] = meanFrom(m_bins, 0);
    if (all == 0)
        return std::nullopt;
    const auto [gated, passed] = meanFrom(m_bins, firstBinFrom(ungated - 10.0));
    if (passed == 0)
        return std::nullopt;
    return gated;
}

double BlockHistogram::loudnessRange() const
{
    const auto [ungated, all] = meanFrom(m_bins, 0);
    if (all == 0)
        return 0;
    const int first = firstBinFrom(ungated - 20.0);
    const std::uint64_t passed = meanFrom(m_bins, first).second;
    if (passed == 0)
        return 0;
    // The blocks at the two percentiles, counted from the quietest that passed the gate.
    const auto low = static_cast<std::uint64_t>(static_cast<double>(passed - 1) * 0.10 + 0.5);
    const auto high = static_cast<std::uint64_t>(static_cast<double>(passed - 1) * 0.95 + 0.5);
    std::uint64_t seen = 0;
    int bin = first;
    while (seen <= low)
        seen += m_bins[bin++];
    const double lowLufs = binLoudness(bin - 1);
    while (seen <= high)
        seen += m_bins[bin++];
    return binLoudness(bin - 1) - lowLufs;
}

} // namespace tunevale
