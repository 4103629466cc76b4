#include "CdFixtures.h"
#include "cd/AccurateRipChecksum.h"

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

std::uint32_t tool(const std::filesystem::path& wav, int track, int total, const std::string& version)
{
    const ProgramResult result = runProgram({"accuraterip-checksum", "--accuraterip-" + version, wav.string(),
                                             std::to_string(track), std::to_string(total)});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    return static_cast<std::uint32_t>(std::stoul(result.output, nullptr, 16));
}

// The checksums of pcm fed in pieces of chunk bytes.
std::pair<std::uint32_t, std::uint32_t> checksums(const std::string& pcm, bool first, bool last, std::size_t chunk)
{
    AccurateRipChecksum checksum(first, last, static_cast<std::int64_t>(pcm.size() / 4));
    for (std::size_t at = 0; at < pcm.size(); at += chunk)
        checksum.add(reinterpret_cast<const std::uint8_t*>(pcm.data()) + at, std::min(chunk, pcm.size() - at));
    return {checksum.v1(), checksum.v2()};
}

} // namespace

TEST(AccurateRip, ChecksumsOfFirstMiddleLastAndOnlyTracksEqualWhippersTool)
{
    TempDir dir;
    const std::string pcm = noisePcm(3 * 44100 * 1 + 588 * 7, 11);
    const auto wav = writeWav(dir / "t.wav", pcm);
    struct Place {
        int track;
        int total;
    };
    for (const Place place : {Place{1, 5}, Place{3, 5}, Place{5, 5}, Place{1, 1}}) {
        const auto [v1, v2] = checksums(pcm, place.track == 1, place.track == place.total, 4096);
        EXPECT_EQ(v1, tool(wav, place.track, place.total, "v1")) << place.track << "/" << place.total;
        EXPECT_EQ(v2, tool(wav, place.track, place.total, "v2")) << place.track << "/" << place.total;
    }
}

TEST(AccurateRip, ChecksumsDoNotDependOnHowTheAudioArrives)
{
    const std::string pcm = noisePcm(20000, 12);
    const auto whole = checksums(pcm, true, true, pcm.size());
    EXPECT_EQ(checksums(pcm, true, true, 4), whole);
    EXPECT_EQ(checksums(pcm, true, true, 588 * 4 + 4), whole);
    EXPECT_NE(checksums(pcm, false, false, 4096), whole);
}
