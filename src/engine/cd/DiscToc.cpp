#include "DiscToc.h"

#include "Sha1.h"

#include <cstdio>

namespace tunevale
{

namespace
{

constexpr std::int32_t LeadInFrames = 150;
// Between the audio session of an Enhanced CD and its data session.
constexpr std::int32_t SessionGapFrames = 11400;

std::string hex(std::uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

std::string base64(const std::array<std::uint8_t, 20>& bytes)
{
    static constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t chunk = std::uint32_t(bytes[i]) << 16 |
                                    (i + 1 < bytes.size() ? std::uint32_t(bytes[i + 1]) << 8 : 0) |
                                    (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        out += Alphabet[(chunk >> 18) & 63];
        out += Alphabet[(chunk >> 12) & 63];
        out += i + 1 < bytes.size() ? Alphabet[(chunk >> 6) & 63] : '-';
        out += i + 2 < bytes.size() ? Alphabet[chunk & 63] : '-';
    }
    return out;
}

int digitSum(std::int32_t value)
{
    int sum = 0;
    for (; value > 0; value /= 10)
        sum += value % 10;
    return sum;
}

} // namespace

std::int32_t DiscToc::trackFrames(int number) const
{
    if (!hasTrack(number))
        return 0;
    const std::size_t i = static_cast<std::size_t>(number - firstTrack);
    const std::int32_t end = i + 1 < offsets.size() ? offsets[i + 1] : leadout;
    return end - offsets[i];
}

std::string musicBrainzDiscId(const DiscToc& toc)
{
    std::size_t count = toc.offsets.size();
    std::int32_t leadout = toc.leadout;
    if (count > 1 && !toc.audio[count - 1] && toc.audio[count - 2]) {
        --count;
        leadout = toc.offsets[count] - SessionGapFrames;
    }
    std::string text = hex(static_cast<std::uint32_t>(toc.firstTrack), 2) +
                       hex(static_cast<std::uint32_t>(toc.firstTrack + static_cast<int>(count) - 1), 2) +
                       hex(static_cast<std::uint32_t>(leadout + LeadInFrames), 8);
    // One place per track number from 1 to 99, whichever tracks the disc has.
    for (int number = 1; number <= 99; ++number) {
        const int i = number - toc.firstTrack;
        const bool present = i >= 0 && static_cast<std::size_t>(i) < count;
        text +=
            hex(present ? static_cast<std::uint32_t>(toc.offsets[static_cast<std::size_t>(i)] + LeadInFrames) : 0, 8);
    }
    return base64(sha1(text));
}

std::uint32_t cddbDiscId(const DiscToc& toc)
{
    int sum = 0;
    for (const std::int32_t offset : toc.offsets)
        sum += digitSum((offset + LeadInFrames) / 75);
    const std::int32_t first = toc.offsets.empty() ? 0 : toc.offsets.front();
    const std::int32_t seconds = (toc.leadout + LeadInFrames) / 75 - (first + LeadInFrames) / 75;
    return static_cast<std::uint32_t>(sum % 255) << 24 | static_cast<std::uint32_t>(seconds) << 8 |
           static_cast<std::uint32_t>(toc.offsets.size());
}

AccurateRipDiscIds accurateRipDiscIds(const DiscToc& toc)
{
    AccurateRipDiscIds ids;
    for (std::size_t i = 0; i < toc.offsets.size(); ++i) {
        if (!toc.audio[i])
            continue;
        const auto offset = static_cast<std::uint32_t>(toc.offsets[i]);
        const auto number = static_cast<std::uint32_t>(toc.firstTrack) + static_cast<std::uint32_t>(i);
        ++ids.audioTracks;
        ids.id1 += offset;
        ids.id2 += (offset > 0 ? offset : 1) * number;
    }
    const auto leadout = static_cast<std::uint32_t>(toc.leadout);
    ids.id1 += leadout;
    ids.id2 += leadout * static_cast<std::uint32_t>(toc.lastTrack() + 1);
    ids.cddb = cddbDiscId(toc);
    return ids;
}

std::string accurateRipUrl(const AccurateRipDiscIds& ids)
{
    char url[128];
    std::snprintf(url, sizeof url, "http://www.accuraterip.com/accuraterip/%x/%x/%x/dBAR-%03d-%08x-%08x-%08x.bin",
                  ids.id1 & 0xF, (ids.id1 >> 4) & 0xF, (ids.id1 >> 8) & 0xF, ids.audioTracks, ids.id1, ids.id2,
                  ids.cddb);
    return url;
}

} // namespace tunevale
