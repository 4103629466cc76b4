// CD tracks opened through the engine by their track paths, as the run, the writers and the
// preview player open any file.

#include "CdFixtures.h"
#include "DecodingEngine.h"
#include "EngineChannel.h"
#include "cd/CdTrackReader.h"
#include "cd/DiscListing.h"

#include <gtest/gtest.h>

#include <cdio/paranoia/paranoia.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

constexpr std::int64_t Second = 44100;

// Everything a decode-only stream delivers; the engine's error code when it breaks off.
std::string pullAll(Engine& engine, EngineHandle stream, int& failure)
{
    std::string pcm;
    std::string buffer(50000, '\0');
    failure = EngineCode::Ok;
    while (engine.ChannelIsActive(stream) != ChannelState::Stopped) {
        const std::int32_t got =
            engine.ChannelGetData(stream, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
        if (got < 0) {
            failure = engine.ErrorGetCode();
            break;
        }
        pcm.append(buffer, 0, static_cast<std::size_t>(got));
    }
    return pcm;
}

// 20 s of noise in a FLAC file with a sheet of three tracks and a data track.
class CueTracks : public ::testing::Test
{
protected:
    void SetUp() override
    {
        pcm = noisePcm(20 * Second + 77, 3);
        writeWav(dir / "a.wav", pcm);
        ASSERT_EQ(runProgram({"flac", "-s", "-o", (dir / "Album.flac").string(), (dir / "a.wav").string()}).exitCode,
                  0);
        std::filesystem::remove(dir / "a.wav");
        writeFile(dir / "Album.cue", "PERFORMER \"Band\"\nTITLE \"Record\"\nFILE \"Album.flac\" WAVE\n"
                                     "  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
                                     "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 01 00:06:00\n"
                                     "  TRACK 03 AUDIO\n    TITLE \"Three\"\n    INDEX 01 00:13:40\n"
                                     "  TRACK 04 MODE1/2352\n    INDEX 01 00:18:00\n");
        cue = (dir / "Album.cue").string();
    }

    std::string slice(std::int64_t fromFrame, std::int64_t toFrame) const
    {
        return pcm.substr(static_cast<std::size_t>(fromFrame * 588 * 4),
                          static_cast<std::size_t>((toFrame - fromFrame) * 588 * 4));
    }

    TempDir dir;
    std::string pcm;
    std::string cue;
    std::unique_ptr<Engine> engine = decodingEngine();
};

} // namespace

TEST_F(CueTracks, ATrackPathOpensAsAStreamWithTheTracksAudioLengthAndTags)
{
    const EngineHandle stream = engine->StreamCreateFile(cue + "/Track02.cda", 0, 0, StreamFlag::DecodeOnly);
    ASSERT_NE(stream, 0u) << engine->ErrorGetCode() << " " << engine->ErrorGetMessage();
    ChannelInfo info;
    ASSERT_TRUE(engine->ChannelGetInfo(stream, info));
    EXPECT_EQ(info.freq, 44100u);
    EXPECT_EQ(info.chans, 2u);
    const std::string expected = slice(6 * 75, 13 * 75 + 40);
    EXPECT_EQ(engine->ChannelGetLength(stream, 0), expected.size());
    SourceTags tags;
    ASSERT_TRUE(engine->ChannelGetTags(stream, tags));
    EXPECT_EQ(tags.title, "Two");
    EXPECT_EQ(tags.artist, "Band");
    EXPECT_EQ(tags.album, "Record");
    EXPECT_EQ(tags.track, 2u);
    int failure = -1;
    const std::string got = pullAll(*engine, stream, failure);
    EXPECT_EQ(failure, EngineCode::Ok);
    EXPECT_EQ(engine->ChannelGetPosition(stream, 0), expected.size());
    EXPECT_TRUE(got == expected);
    engine->StreamFree(stream);

    // The letter case of the track's name does not matter; the last audio track ends at the data.
    const EngineHandle last = engine->StreamCreateFile(cue + "/TRACK3.CDA", 0, 0, StreamFlag::DecodeOnly);
    ASSERT_NE(last, 0u);
    EXPECT_TRUE(pullAll(*engine, last, failure) == slice(13 * 75 + 40, 18 * 75));
    engine->StreamFree(last);
}

TEST_F(CueTracks, ATrackPlaysThroughAPlayingChannelToo)
{
    // The preview player's road: a stream that is not decode-only.
    const EngineHandle stream = engine->StreamCreateFile(cue + "/Track01.cda", 0, 0, 0);
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(engine->ChannelGetLength(stream, 0), slice(0, 6 * 75).size());
    engine->StreamFree(stream);
}

TEST_F(CueTracks, DataTracksMissingTracksAndMissingFilesFailWithTheirCodesAndSayWhy)
{
    EXPECT_EQ(engine->StreamCreateFile(cue + "/Track04.cda", 0, 0, StreamFlag::DecodeOnly), 0u);
    EXPECT_EQ(engine->ErrorGetCode(), EngineCode::NotAudio);
    EXPECT_EQ(engine->ErrorGetMessage(), "track 4 holds data");
    EXPECT_EQ(engine->StreamCreateFile(cue + "/Track07.cda", 0, 0, StreamFlag::DecodeOnly), 0u);
    EXPECT_EQ(engine->ErrorGetCode(), EngineCode::CdTrack);
    EXPECT_EQ(engine->ErrorGetMessage(), "the cue sheet has no track 7");
    std::filesystem::rename(dir / "Album.flac", dir / "Other.flac");
    EXPECT_EQ(engine->StreamCreateFile(cue + "/Track01.cda", 0, 0, StreamFlag::DecodeOnly), 0u);
    EXPECT_EQ(engine->ErrorGetCode(), EngineCode::FileOpen);
    EXPECT_EQ(engine->ErrorGetMessage(), "\"Album.flac\" is missing");
    // A later failure without anything to say leaves no stale message behind.
    EXPECT_EQ(engine->StreamFree(12345), false);
    EXPECT_EQ(engine->ErrorGetMessage(), "");

    EXPECT_EQ(engine->StreamCreateFile((dir / "no-drive/Track01.cda").string(), 0, 0, StreamFlag::DecodeOnly), 0u);
    EXPECT_EQ(engine->ErrorGetCode(), EngineCode::CdInit);
    EXPECT_NE(engine->ErrorGetMessage(), "");
}

TEST_F(CueTracks, TracksDoNotOpenUntilTheCdFamilyIsLoaded)
{
    auto bare = decodingEngine(false);
    EXPECT_EQ(bare->StreamCreateFile(cue + "/Track01.cda", 0, 0, StreamFlag::DecodeOnly), 0u);
    EXPECT_EQ(bare->ErrorGetCode(), EngineCode::Format);
    ASSERT_NE(bare->PluginLoad("bassflac.dll", 0), 0u);
    ASSERT_NE(bare->PluginLoad("basscd.dll", 0), 0u);
    const EngineHandle stream = bare->StreamCreateFile(cue + "/Track01.cda", 0, 0, StreamFlag::DecodeOnly);
    EXPECT_NE(stream, 0u);
    bare->StreamFree(stream);
}

TEST_F(CueTracks, TheListingHasTheAudioTracksWithTheirDurations)
{
    DiscListing listing;
    int error = -1;
    std::string message;
    ASSERT_TRUE(listDiscTracks(cue, decoderOpener(), listing, error, message)) << message;
    ASSERT_EQ(listing.tracks.size(), 3u);
    EXPECT_EQ(listing.tracks[0].path, cue + "/Track01.cda");
    EXPECT_EQ(listing.tracks[2].path, cue + "/Track03.cda");
    EXPECT_DOUBLE_EQ(listing.tracks[1].seconds, (13 * 75 + 40 - 6 * 75) / 75.0);
    EXPECT_EQ(listing.toc.offsets.size(), 4u);
    EXPECT_TRUE(isDiscPath(cue));
    EXPECT_TRUE(isDiscPath("/music/ALBUM.CUE"));
    EXPECT_FALSE(isDiscPath((dir / "Album.flac").string()));

    writeFile(dir / "data.cue", "FILE \"Album.flac\" WAVE\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n");
    EXPECT_FALSE(listDiscTracks((dir / "data.cue").string(), decoderOpener(), listing, error, message));
    EXPECT_EQ(error, EngineCode::NotAudio);
    EXPECT_FALSE(listDiscTracks((dir / "none.cue").string(), decoderOpener(), listing, error, message));
    EXPECT_EQ(error, EngineCode::FileOpen);
}

namespace
{

// A source whose disc had sectors it could not read.
class UnreadSectors final : public PcmSource
{
public:
    ChannelInfo info() const override { return ChannelInfo{44100, 2, 0, 16}; }
    std::uint64_t length() const override { return 8; }
    std::size_t read(std::uint8_t* out, std::size_t size) override
    {
        const std::size_t n = std::min<std::size_t>(size, 8 - m_read);
        std::fill(out, out + n, 0);
        m_read += n;
        return n;
    }
    bool finished() const override { return m_read == 8; }
    bool rewind() override { return false; }
    SourceDamage damage() const override { return finished() ? SourceDamage::Unreadable : SourceDamage::None; }
    std::string damageDetail() const override { return "unreadable sectors 7"; }

private:
    std::size_t m_read = 0;
};

} // namespace

TEST(CdReadErrors, AChannelOverUnreadSectorsFailsWithTheCdCodeAndNamesThem)
{
    EngineChannel channel(std::make_unique<UnreadSectors>(), StreamFlag::DecodeOnly);
    std::uint8_t buffer[16];
    int error = -1;
    EXPECT_EQ(channel.pull(buffer, sizeof buffer, error), 8);
    EXPECT_EQ(channel.pull(buffer, sizeof buffer, error), -1);
    EXPECT_EQ(error, EngineCode::CdReadError);
    EXPECT_EQ(channel.damageDetail(), "unreadable sectors 7");
}

TEST(CdReadErrors, TheReaderNamesTheSectorsParanoiaGaveUpOnAsRanges)
{
    TempDir dir;
    writeFile(dir / "image.bin", noisePcm(40 * 588, 1));
    writeFile(dir / "image.cue", "FILE \"image.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    int error = -1;
    std::string message;
    auto reader = CdTrackReader::open((dir / "image.cue").string(), 1, 0, error, message);
    ASSERT_TRUE(reader) << message;
    readAll(*reader, 4 * 588);
    EXPECT_EQ(reader->damage(), SourceDamage::None);
    EXPECT_EQ(reader->damageDetail(), "");
    for (const long sector : {3, 4, 5, 9, 20, 21})
        reader->noteEvent(sector * 1176, PARANOIA_CB_SKIP);
    reader->noteEvent(30 * 1176, PARANOIA_CB_READ);
    EXPECT_EQ(reader->damage(), SourceDamage::Unreadable);
    EXPECT_EQ(reader->damageDetail(), "unreadable sectors 3-5, 9, 20-21");
}
