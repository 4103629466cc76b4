#include "EngineTestSupport.h"
#include "FfmpegDecoder.h"
#include "FileDecoder.h"
#include "FlacDecoder.h"

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

struct Decoded {
    ChannelInfo info;
    std::uint64_t length = 0;
    std::string pcm;
    SourceDamage damage = SourceDamage::None;
};

// Reads a source to its end in reads of an odd size, so that frames split across them.
Decoded decode(PcmSource& source, std::size_t chunk = 10'007)
{
    Decoded decoded{source.info(), source.length(), {}, SourceDamage::None};
    std::string buffer(chunk, '\0');
    for (int reads = 0; !source.finished() && reads < 1'000'000; ++reads) {
        const std::size_t got = source.read(reinterpret_cast<std::uint8_t*>(buffer.data()), chunk);
        EXPECT_EQ(got % source.bytesPerFrame(), 0u) << "a read split a sample frame";
        if (got == 0)
            break;
        decoded.pcm.append(buffer.data(), got);
    }
    EXPECT_TRUE(source.finished());
    decoded.damage = source.damage();
    return decoded;
}

FormatFamilies allFamilies()
{
    FormatFamilies families;
    families.set();
    return families;
}

std::unique_ptr<PcmSource> ffmpegDecoder(const std::filesystem::path& file, DecodeOptions options = {})
{
    int error = EngineCode::Ok;
    auto decoder = FfmpegDecoder::open(file.string(), allFamilies(), error, options);
    EXPECT_TRUE(decoder) << file << " code " << error;
    return decoder;
}

std::unique_ptr<PcmSource> flacDecoder(const std::filesystem::path& file, DecodeOptions options = {})
{
    int error = EngineCode::Ok;
    auto input = FileInput::open(file.string(), error);
    EXPECT_TRUE(input) << file;
    if (!input)
        return nullptr;
    auto decoder = FlacDecoder::open(input, options);
    EXPECT_TRUE(decoder) << "libFLAC refused " << file;
    return decoder;
}

// Both decoders on one file, opened the same way: the same format, length, PCM and damage.
void expectSameDecoding(const std::filesystem::path& file, DecodeOptions options = {})
{
    SCOPED_TRACE(file.filename().string() + (options.sourceResolution ? " at its own resolution" : ""));
    const auto ours = flacDecoder(file, options);
    const auto theirs = ffmpegDecoder(file, options);
    ASSERT_TRUE(ours && theirs);
    const Decoded a = decode(*ours);
    const Decoded b = decode(*theirs);
    EXPECT_EQ(a.info.freq, b.info.freq);
    EXPECT_EQ(a.info.chans, b.info.chans);
    EXPECT_EQ(a.info.flags, b.info.flags);
    EXPECT_EQ(a.info.origres, b.info.origres);
    EXPECT_EQ(a.length, b.length);
    EXPECT_EQ(a.pcm.size(), b.pcm.size());
    EXPECT_TRUE(a.pcm == b.pcm) << "the PCM differs";
    EXPECT_EQ(a.length, a.pcm.size());
    EXPECT_EQ(a.damage, SourceDamage::None);
    EXPECT_EQ(b.damage, SourceDamage::None);
}

class FlacDecoding : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_dir = new TempDir; }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }

    // Seconds of noise (which FLAC cannot shrink to nothing) as a FLAC file at rate and channels,
    // with further encoder arguments.
    static std::filesystem::path noiseFlac(const std::string& name, double seconds, int rate, int channels,
                                           const std::vector<std::string>& encoding)
    {
        const auto file = *s_dir / name;
        std::vector<std::string> arguments{
            "-f",
            "lavfi",
            "-i",
            "anoisesrc=amplitude=0.4:seed=3:duration=" + std::to_string(seconds) + ":sample_rate=" + std::to_string(rate),
            "-ac",
            std::to_string(channels)};
        arguments.insert(arguments.end(), encoding.begin(), encoding.end());
        arguments.push_back(file.string());
        ffmpeg(arguments);
        return file;
    }
    static std::filesystem::path stereo16()
    {
        static const auto file = noiseFlac("stereo16.flac", 5, 44100, 2, {"-c:a", "flac", "-sample_fmt", "s16"});
        return file;
    }

    static TempDir* s_dir;
};

TempDir* FlacDecoding::s_dir = nullptr;

TEST_F(FlacDecoding, BothDecodersDeliverTheSamePcm)
{
    expectSameDecoding(stereo16());
    expectSameDecoding(stereo16(), {.sourceResolution = true, .prescan = false});
    expectSameDecoding(stereo16(), {.sourceResolution = false, .prescan = true});
    expectSameDecoding(noiseFlac("mono.flac", 3, 22050, 1, {"-c:a", "flac", "-sample_fmt", "s16"}));
    expectSameDecoding(noiseFlac("six.flac", 2, 48000, 6, {"-c:a", "flac", "-sample_fmt", "s16"}));
    expectSameDecoding(noiseFlac("hirate.flac", 2, 96000, 2, {"-c:a", "flac", "-sample_fmt", "s16"}));

    // 24 bits: dithered to 16 with the same noise, and as they stand.
    const auto deep = noiseFlac("deep.flac", 3, 96000, 2, {"-c:a", "flac", "-sample_fmt", "s32"});
    ASSERT_EQ(ffprobe(deep, "stream=bits_per_raw_sample"), "24");
    expectSameDecoding(deep);
    expectSameDecoding(deep, {.sourceResolution = true, .prescan = false});

    // 8 bits, which libFLAC's own encoder writes (and FFmpeg widens to 16).
    const auto wav8 = *s_dir / "eight.wav";
    ffmpeg({"-f", "lavfi", "-i", "anoisesrc=amplitude=0.4:duration=2", "-ac", "2", "-c:a", "pcm_u8", wav8.string()});
    const auto eight = *s_dir / "eight.flac";
    ASSERT_EQ(runProgram({"flac", "-s", "-f", "-o", eight.string(), wav8.string()}).exitCode, 0);
    expectSameDecoding(eight);
    expectSameDecoding(eight, {.sourceResolution = true, .prescan = false});
}

TEST_F(FlacDecoding, ATaggedFileBehindAnId3TagGivesTheSameTagsAndPcm)
{
    const auto cover = *s_dir / "cover.png";
    ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=16x16", "-frames:v", "1", cover.string()});
    const auto tagged = *s_dir / "tagged.flac";
    ffmpeg({"-i", stereo16().string(), "-i", cover.string(), "-map", "0", "-map", "1", "-c:a", "copy", "-c:v", "copy",
            "-disposition:v", "attached_pic", "-metadata", "title=Zwölf Töne", "-metadata", "artist=Ensemble",
            tagged.string()});
    // An ID3v2.3 tag holding one title frame, in front of the FLAC stream.
    const std::string title = std::string("\0Behind ID3", 11);
    std::string frame = "TIT2" + std::string("\0\0\0", 3) + static_cast<char>(title.size()) + std::string(2, '\0');
    frame += title;
    std::string id3 = std::string("ID3\x03\x00\x00\x00\x00\x00", 9) + static_cast<char>(frame.size());
    const auto prefixed = *s_dir / "prefixed.flac";
    writeFile(prefixed, id3 + frame + readFile(tagged));

    for (const auto& file : {tagged, prefixed}) {
        SCOPED_TRACE(file.filename().string());
        expectSameDecoding(file);
        const auto ours = flacDecoder(file);
        const auto theirs = ffmpegDecoder(file);
        ASSERT_TRUE(ours && theirs);
        // Read halfway through: the tags come from the file's start, and decoding goes on from there.
        std::string half(ours->length() / 2 / 4 * 4, '\0');
        ours->read(reinterpret_cast<std::uint8_t*>(half.data()), half.size());
        const SourceTags a = ours->tags();
        const SourceTags b = theirs->tags();
        EXPECT_EQ(a, b);
        EXPECT_FALSE(a.frontCover.bytes.empty());
        std::string rest(ours->length(), '\0');
        const std::size_t got = ours->read(reinterpret_cast<std::uint8_t*>(rest.data()), rest.size());
        EXPECT_EQ(half.size() + got, ours->length());
        EXPECT_EQ(ours->damage(), SourceDamage::None);
    }
}

TEST_F(FlacDecoding, SeeksAreExact)
{
    const auto straight = decode(*flacDecoder(stereo16()));
    const std::uint64_t frames = straight.length / 4;
    const auto ours = flacDecoder(stereo16());
    const auto theirs = ffmpegDecoder(stereo16());
    ASSERT_TRUE(ours && theirs);
    std::string buffer(40'000, '\0');
    auto* bytes = reinterpret_cast<std::uint8_t*>(buffer.data());
    // Frame boundaries of FFmpeg's encoder (4608 samples), their neighbours, backwards and forwards.
    for (const std::uint64_t target : {std::uint64_t{150'000}, std::uint64_t{4608}, std::uint64_t{4607},
                                       std::uint64_t{0}, std::uint64_t{9217}, frames - 100, std::uint64_t{1}}) {
        SCOPED_TRACE(target);
        ASSERT_TRUE(ours->seekFrame(target));
        const std::size_t got = ours->read(bytes, buffer.size());
        const std::size_t expected = std::min<std::size_t>(buffer.size(), straight.pcm.size() - target * 4);
        EXPECT_EQ(got, expected);
        EXPECT_TRUE(buffer.compare(0, got, straight.pcm, target * 4, got) == 0);
        ASSERT_TRUE(theirs->seekFrame(target));
        std::string other(buffer.size(), '\0');
        EXPECT_EQ(theirs->read(reinterpret_cast<std::uint8_t*>(other.data()), other.size()), got);
        EXPECT_TRUE(buffer.compare(0, got, other, 0, got) == 0);
    }
    // After a seek, reading on to the end is whole and undamaged; rewinding starts again.
    ASSERT_TRUE(ours->seekFrame(frames / 2));
    EXPECT_EQ(decode(*ours).pcm, straight.pcm.substr(frames / 2 * 4));
    ASSERT_TRUE(ours->rewind());
    const Decoded again = decode(*ours);
    EXPECT_TRUE(again.pcm == straight.pcm);
    EXPECT_EQ(again.damage, SourceDamage::None);
}

TEST_F(FlacDecoding, DamageIsReportedAsFfmpegReportsIt)
{
    const std::string bytes = readFile(stereo16());
    // A byte changed in the middle of the audio: that frame fails its checksum.
    std::string changed = bytes;
    changed[changed.size() / 2] = static_cast<char>(changed[changed.size() / 2] ^ 0x5A);
    const auto corrupt = *s_dir / "corrupt.flac";
    writeFile(corrupt, changed);
    const auto cut = *s_dir / "cut.flac";
    writeFile(cut, bytes.substr(0, bytes.size() * 2 / 3));
    // Bytes after the last frame take nothing from the piece.
    const auto trailing = *s_dir / "trailing.flac";
    writeFile(trailing, bytes + std::string(300, '\x55'));

    const Decoded straight = decode(*flacDecoder(stereo16()));
    const std::string& whole = straight.pcm;
    for (const auto& [file, damage] :
         {std::pair{corrupt, SourceDamage::Corrupt}, std::pair{cut, SourceDamage::EndedEarly},
          std::pair{trailing, SourceDamage::None}}) {
        SCOPED_TRACE(file.filename().string());
        const auto ours = flacDecoder(file);
        const auto theirs = ffmpegDecoder(file);
        ASSERT_TRUE(ours && theirs);
        const Decoded a = decode(*ours);
        EXPECT_EQ(a.damage, damage);
        EXPECT_EQ(decode(*theirs).damage, damage);
        // What decodes is the piece's audio: a frame failing its checksum is dropped, not played as
        // the silence libFLAC puts in its place.
        EXPECT_TRUE(a.pcm.compare(0, 100'000, whole, 0, 100'000) == 0);
        EXPECT_EQ(a.pcm.find(std::string(4608 * 4, '\0')), std::string::npos);
        EXPECT_EQ(a.length, straight.length);
    }

    // Through the engine: the pull at the end fails with the damage's code.
    const auto engine = decodingEngine();
    for (const auto& [file, code] : {std::pair{corrupt, EngineCode::Corrupt}, std::pair{cut, EngineCode::Truncated}}) {
        SCOPED_TRACE(file.filename().string());
        const EngineHandle handle = engine->StreamCreateFile(file.string(), 0, 0, StreamFlag::DecodeOnly);
        ASSERT_NE(handle, 0u);
        std::string buffer(1 << 16, '\0');
        std::int32_t got = 0;
        for (int pulls = 0; pulls < 10'000 && got >= 0; ++pulls)
            got = engine->ChannelGetData(handle, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
        EXPECT_EQ(got, -1);
        EXPECT_EQ(engine->ErrorGetCode(), code);
        engine->StreamFree(handle);
    }
}

TEST_F(FlacDecoding, StreamsLibFlacRefusesFallBackToFfmpeg)
{
    // STREAMINFO's sample count (36 bits from byte 21's low half on) zeroed: the length is unknown.
    std::string bytes = readFile(stereo16());
    bytes[21] = static_cast<char>(bytes[21] & 0xF0);
    for (int i = 22; i < 26; ++i)
        bytes[static_cast<std::size_t>(i)] = 0;
    const auto unknown = *s_dir / "unknown-length.flac";
    writeFile(unknown, bytes);

    int error = EngineCode::Ok;
    auto input = FileInput::open(unknown.string(), error);
    ASSERT_TRUE(input);
    EXPECT_TRUE(FlacDecoder::looksLikeFlac(*input));
    EXPECT_FALSE(FlacDecoder::open(input, {}));
    ASSERT_TRUE(input) << "the refused input goes back to the caller";

    // The input handed back is read from its start again by FFmpeg.
    auto chosen = openFileDecoder(std::move(input), unknown.string(), allFamilies(), error, {});
    ASSERT_TRUE(chosen) << error;
    EXPECT_TRUE(dynamic_cast<FfmpegDecoder*>(chosen.get()));
    const Decoded fallback = decode(*chosen);
    const Decoded direct = decode(*ffmpegDecoder(unknown));
    EXPECT_TRUE(fallback.pcm == direct.pcm);
    EXPECT_EQ(fallback.length, direct.length);
    EXPECT_EQ(fallback.pcm, decode(*flacDecoder(stereo16())).pcm);

    // A cut file opened to prescan goes to FFmpeg, which counts what it holds.
    const auto cut = *s_dir / "cut-prescan.flac";
    const std::string whole = readFile(stereo16());
    writeFile(cut, whole.substr(0, whole.size() / 2));
    auto counted = openFileDecoder(cut.string(), allFamilies(), error, {.sourceResolution = false, .prescan = true});
    ASSERT_TRUE(counted);
    EXPECT_TRUE(dynamic_cast<FfmpegDecoder*>(counted.get()));
    // A whole one stays with libFLAC.
    auto stated =
        openFileDecoder(stereo16().string(), allFamilies(), error, {.sourceResolution = false, .prescan = true});
    EXPECT_TRUE(dynamic_cast<FlacDecoder*>(stated.get()));
}

TEST_F(FlacDecoding, TheChoiceHonoursTheFlacFamilyAndLeavesOggFlacToFfmpeg)
{
    FormatFamilies base;
    base.set(static_cast<std::size_t>(FormatFamily::Base));
    int error = EngineCode::Ok;
    EXPECT_FALSE(openFileDecoder(stereo16().string(), base, error, {}));
    EXPECT_EQ(error, EngineCode::Format);

    auto native = openFileDecoder(stereo16().string(), allFamilies(), error, {});
    EXPECT_TRUE(dynamic_cast<FlacDecoder*>(native.get()));
    const auto ogg = *s_dir / "flac.oga";
    ffmpeg({"-i", stereo16().string(), "-c:a", "copy", "-f", "ogg", ogg.string()});
    auto inOgg = openFileDecoder(ogg.string(), allFamilies(), error, {});
    ASSERT_TRUE(inOgg) << error;
    EXPECT_TRUE(dynamic_cast<FfmpegDecoder*>(inOgg.get()));
}

} // namespace
