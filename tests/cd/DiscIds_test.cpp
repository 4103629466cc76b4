// Disc identifiers from a table of contents, against libdiscid (through its Python binding) and
// a reference computation of the AccurateRip identifiers written out here in Python.

#include "TestSupport.h"
#include "cd/DiscToc.h"
#include "cd/Sha1.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

std::string python(const std::string& program)
{
    const ProgramResult result = runProgram({"/usr/bin/python3", "-c", program});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    std::string out = result.output;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

std::string offsetList(const DiscToc& toc, int add)
{
    std::ostringstream list;
    for (const std::int32_t offset : toc.offsets)
        list << offset + add << ",";
    return list.str();
}

// libdiscid's disc ID and freedb ID for an audio-only table of contents (its binding reads the
// offsets from track 1 on, so a disc starting later gets zeros in front).
std::pair<std::string, std::string> libdiscid(const DiscToc& toc)
{
    std::string leadingZeros;
    for (int track = 1; track < toc.firstTrack; ++track)
        leadingZeros += "0,";
    const std::string answer = python("import libdiscid\nd = libdiscid.put(" + std::to_string(toc.firstTrack) + ", " +
                                      std::to_string(toc.lastTrack()) + ", " + std::to_string(toc.leadout + 150) +
                                      ", [" + leadingZeros + offsetList(toc, 150) + "])\nprint(d.id, d.freedb_id)");
    const std::size_t space = answer.find(' ');
    return {answer.substr(0, space), answer.substr(space + 1)};
}

const DiscToc& sampleToc()
{
    static const DiscToc toc{1,
                             {0, 21445, 34560, 50112, 71223, 98012, 120077, 150555, 171001, 199996, 222222},
                             std::vector<bool>(11, true),
                             250321};
    return toc;
}

} // namespace

TEST(DiscIds, Sha1OfKnownTexts)
{
    auto hex = [](const std::array<std::uint8_t, 20>& digest) {
        std::string text;
        char pair[3];
        for (const auto byte : digest) {
            std::snprintf(pair, sizeof pair, "%02x", byte);
            text += pair;
        }
        return text;
    };
    EXPECT_EQ(hex(sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(hex(sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    const std::string block(64 * 3 + 7, 'q');
    EXPECT_EQ(hex(sha1(block)), python("import hashlib; print(hashlib.sha1(b'q' * 199).hexdigest())"));
}

TEST(DiscIds, MusicBrainzAndFreedbIdsEqualLibdiscids)
{
    const DiscToc single{1, {0}, {true}, 18000};
    const DiscToc laterFirst{3, {182, 40000, 80000}, {true, true, true}, 99999};
    for (const DiscToc* toc : {&sampleToc(), &single, &laterFirst}) {
        const auto [id, freedb] = libdiscid(*toc);
        EXPECT_EQ(musicBrainzDiscId(*toc), id);
        // libdiscid counts tracks up to the last one's number; freedb counts the disc's tracks.
        char cddb[16];
        std::snprintf(cddb, sizeof cddb, "%08x", cddbDiscId(*toc));
        if (toc->firstTrack == 1) {
            EXPECT_EQ(cddb, freedb);
        }
    }
}

TEST(DiscIds, AnEnhancedCdsDataTrackIsLeftOutOfTheMusicBrainzId)
{
    DiscToc enhanced = sampleToc();
    enhanced.offsets.push_back(260000);
    enhanced.audio.push_back(false);
    enhanced.leadout = 290000;
    DiscToc audioSession = sampleToc();
    audioSession.leadout = 260000 - 11400;
    EXPECT_EQ(musicBrainzDiscId(enhanced), libdiscid(audioSession).first);
}

TEST(DiscIds, AccurateRipIdsAndUrlEqualAReferenceComputation)
{
    const DiscToc& toc = sampleToc();
    const AccurateRipDiscIds ids = accurateRipDiscIds(toc);
    const std::string reference = python(
        "offsets = [" + offsetList(toc, 0) + "]\nleadout = " + std::to_string(toc.leadout) +
        "\nid1 = (sum(offsets) + leadout) & 0xFFFFFFFF\n"
        "id2 = (sum(max(o, 1) * (i + 1) for i, o in enumerate(offsets)) + leadout * (len(offsets) + 1)) & 0xFFFFFFFF\n"
        "n = sum(sum(int(c) for c in str((o + 150) // 75)) for o in offsets)\n"
        "t = (leadout + 150) // 75 - (offsets[0] + 150) // 75\n"
        "cddb = ((n % 255) << 24) | (t << 8) | len(offsets)\n"
        "print('http://www.accuraterip.com/accuraterip/%x/%x/%x/dBAR-%03d-%08x-%08x-%08x.bin' % "
        "(id1 & 15, (id1 >> 4) & 15, (id1 >> 8) & 15, len(offsets), id1, id2, cddb))");
    EXPECT_EQ(accurateRipUrl(ids), reference);
    EXPECT_EQ(ids.audioTracks, 11);
}

TEST(DiscIds, TrackLengthsRunToTheNextTrackOrTheLeadOut)
{
    const DiscToc& toc = sampleToc();
    EXPECT_EQ(toc.trackFrames(1), 21445);
    EXPECT_EQ(toc.trackFrames(11), 250321 - 222222);
    EXPECT_EQ(toc.trackFrames(12), 0);
    EXPECT_EQ(toc.trackFrames(0), 0);
}
