#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace tunevale
{

// Loudness blocks counted in bins of 0.1 LU from -70 LUFS (the absolute gate) up to +30 LUFS, as
// libebur128 keeps them in its histogram mode, each bin with the energy of its blocks summed so
// that a mean is exact rather than rounded to bin centres. A track's histograms are all that is
// needed to gate its loudness again together with other tracks, so an album's loudness is the
// gating of its tracks' histograms added up: a few kilobytes per track whatever its length.
class BlockHistogram
{
public:
    static constexpr int kBins = 1000;
    static constexpr double kLowestLufs = -70.0;
    static constexpr double kBinWidth = 0.1;

    using Bins = std::array<std::uint32_t, kBins>;
    using Energies = std::array<double, kBins>;

    // Counts one block of this loudness; blocks below -70 LUFS (silence included) are not counted.
    void add(double lufs);
    void add(const BlockHistogram& other);
    // Counts blocks of this summed energy (10^(LUFS/10) each) into a bin, for reading a stored
    // histogram back; false, and nothing counted, when they cannot lie in that bin.
    bool addToBin(int bin, std::uint32_t count, double energy);

    // The blocks as they measure after a gain: each bin's blocks move together to the bin of their
    // new mean, those that fall below -70 LUFS are no longer counted.
    BlockHistogram amplified(double gainDb) const;

    const Bins& bins() const { return m_bins; }
    const Energies& energies() const { return m_energies; }
    std::uint64_t count() const;
    bool operator==(const BlockHistogram&) const = default;

    // Integrated loudness of 400 ms blocks (ITU-R BS.1770-4): the mean of the blocks no more than
    // 10 LU below the mean of all counted blocks. None when no block was counted.
    std::optional<double> integratedLoudness() const;
    // Loudness range of 3 s blocks (EBU Tech 3342): from the 10th to the 95th percentile of the
    // blocks no more than 20 LU below their mean; 0 when there are none.
    double loudnessRange() const;

private:
    Bins m_bins{};
    Energies m_energies{};
};

} // namespace tunevale
