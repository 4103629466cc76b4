#include "ConversionRig.h"
#include "DecodingEngine.h"
#include "EncodedOutputs.h"
#include "OutputTags.h"
#include "TagReadBack.h"
#include "TaggedSources.h"

#include <taglib/asffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <gtest/gtest.h>

#include <random>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

std::string utf8(const TagLib::String& text)
{
    return text.to8Bit(true);
}

std::string bytesOf(const TagLib::ByteVector& data)
{
    return {data.data(), data.size()};
}

class OutputTags : public ::testing::Test
{
protected:
    // A one-second output made by the format's usual encoder, carrying no tags of its own.
    std::filesystem::path untaggedOutput(OutputTagFormat format, const std::string& name = "out")
    {
        const auto kind = format == OutputTagFormat::Wav   ? EncodedKind::Wav
                          : format == OutputTagFormat::Mp3 ? EncodedKind::Mp3
                          : format == OutputTagFormat::Ogg ? EncodedKind::Ogg
                                                           : EncodedKind::Wma;
        return encodedOutput(m_dir.path(), kind, name);
    }

    // Tags the output and checks that its audio came through unchanged.
    TagWriteResult write(const std::filesystem::path& out, OutputTagFormat format, const SourceTags& tags,
                         const std::optional<TypedWmaTags>& typed = std::nullopt)
    {
        const std::string audioBefore = decodedAudio(out);
        const TagWriteResult result = WriteOutputTags(out.string(), format, tags, typed);
        EXPECT_EQ(result.status, TagWriteStatus::Written) << result.error;
        EXPECT_EQ(decodedAudio(out), audioBefore);
        return result;
    }

    TempDir m_dir;
    SourceTags m_tags = unicodeTags();
};

TEST_F(OutputTags, Mp3GetsId3v23WithItsCover)
{
    m_tags.frontCover = makeCover(m_dir / "cover.jpg");
    const auto out = untaggedOutput(OutputTagFormat::Mp3);
    std::filesystem::permissions(out, std::filesystem::perms::owner_all | std::filesystem::perms::group_read);
    EXPECT_TRUE(write(out, OutputTagFormat::Mp3, m_tags).leftOut.empty());
    // The tagged copy that replaced the output keeps the output's permissions.
    EXPECT_EQ(std::filesystem::status(out).permissions(),
              std::filesystem::perms::owner_all | std::filesystem::perms::group_read);

    const ProbedTags probe = probeTags(out);
    EXPECT_EQ(probed(probe, "title"), m_tags.title);
    EXPECT_EQ(probed(probe, "artist"), m_tags.artist);
    EXPECT_EQ(probed(probe, "album"), m_tags.album);
    EXPECT_EQ(probed(probe, "album_artist"), m_tags.albumArtist);
    EXPECT_EQ(probed(probe, "track"), "3/12");
    EXPECT_EQ(probed(probe, "disc"), "1/2");
    EXPECT_EQ(probed(probe, "date"), "2021-05-03");
    EXPECT_EQ(probed(probe, "genre"), m_tags.genre);
    EXPECT_EQ(probed(probe, "comment"), m_tags.comment);
    EXPECT_EQ(probed(probe, "composer"), m_tags.composer);
    EXPECT_TRUE(sameBytes(probedCover(out), m_tags.frontCover));

    TagLib::MPEG::File file(out.c_str());
    ASSERT_TRUE(file.hasID3v2Tag());
    TagLib::ID3v2::Tag& tag = *file.ID3v2Tag();
    EXPECT_EQ(tag.header()->majorVersion(), 3u);
    EXPECT_EQ(utf8(tag.title()), m_tags.title);
    EXPECT_EQ(utf8(tag.artist()), m_tags.artist);
    EXPECT_EQ(utf8(tag.album()), m_tags.album);
    EXPECT_EQ(utf8(tag.frameListMap()["TPE2"].front()->toString()), m_tags.albumArtist);
    EXPECT_EQ(utf8(tag.frameListMap()["TRCK"].front()->toString()), "3/12");
    EXPECT_EQ(utf8(tag.frameListMap()["TPOS"].front()->toString()), "1/2");
    EXPECT_EQ(utf8(tag.frameListMap()["TDRC"].front()->toString()), "2021-05-03");
    EXPECT_EQ(utf8(tag.genre()), m_tags.genre);
    EXPECT_EQ(utf8(tag.comment()), m_tags.comment);
    EXPECT_EQ(utf8(tag.frameListMap()["TCOM"].front()->toString()), m_tags.composer);
    const auto pictures = tag.frameListMap()["APIC"];
    ASSERT_EQ(pictures.size(), 1u);
    const auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(pictures.front());
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->type(), TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    EXPECT_EQ(utf8(picture->mimeType()), "image/jpeg");
    EXPECT_TRUE(sameBytes(bytesOf(picture->picture()), m_tags.frontCover));
}

TEST_F(OutputTags, OggGetsVorbisCommentsAndAPictureBlock)
{
    m_tags.frontCover = makeCover(m_dir / "cover.png");
    const auto out = untaggedOutput(OutputTagFormat::Ogg);
    EXPECT_TRUE(write(out, OutputTagFormat::Ogg, m_tags).leftOut.empty());

    const ProbedTags probe = probeTags(out);
    EXPECT_EQ(probed(probe, "title"), m_tags.title);
    EXPECT_EQ(probed(probe, "artist"), m_tags.artist);
    EXPECT_EQ(probed(probe, "album"), m_tags.album);
    EXPECT_EQ(probed(probe, "album_artist"), m_tags.albumArtist);
    EXPECT_EQ(probed(probe, "track"), "3");
    EXPECT_EQ(probed(probe, "TRACKTOTAL"), "12");
    EXPECT_EQ(probed(probe, "disc"), "1");
    EXPECT_EQ(probed(probe, "DISCTOTAL"), "2");
    EXPECT_EQ(probed(probe, "date"), m_tags.date);
    EXPECT_EQ(probed(probe, "genre"), m_tags.genre);
    EXPECT_EQ(probed(probe, "comment"), m_tags.comment);
    EXPECT_EQ(probed(probe, "composer"), m_tags.composer);
    EXPECT_TRUE(sameBytes(probedCover(out), m_tags.frontCover));

    TagLib::Ogg::Vorbis::File file(out.c_str());
    ASSERT_TRUE(file.isValid());
    TagLib::Ogg::XiphComment& comment = *file.tag();
    EXPECT_NE(utf8(comment.vendorID()).find("Xiph"), std::string::npos); // the encoder's vendor stays
    const auto field = [&comment](const char* key) {
        const auto values = comment.fieldListMap()[key];
        EXPECT_EQ(values.size(), 1u) << key;
        return values.isEmpty() ? std::string() : utf8(values.front());
    };
    EXPECT_EQ(field("TITLE"), m_tags.title);
    EXPECT_EQ(field("ARTIST"), m_tags.artist);
    EXPECT_EQ(field("ALBUM"), m_tags.album);
    EXPECT_EQ(field("ALBUMARTIST"), m_tags.albumArtist);
    EXPECT_EQ(field("TRACKNUMBER"), "3");
    EXPECT_EQ(field("TRACKTOTAL"), "12");
    EXPECT_EQ(field("DISCNUMBER"), "1");
    EXPECT_EQ(field("DISCTOTAL"), "2");
    EXPECT_EQ(field("DATE"), m_tags.date);
    EXPECT_EQ(field("GENRE"), m_tags.genre);
    EXPECT_EQ(field("COMMENT"), m_tags.comment);
    EXPECT_EQ(field("COMPOSER"), m_tags.composer);
    const auto pictures = comment.pictureList();
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures.front()->type(), TagLib::FLAC::Picture::FrontCover);
    EXPECT_EQ(utf8(pictures.front()->mimeType()), "image/png");
    EXPECT_TRUE(sameBytes(bytesOf(pictures.front()->data()), m_tags.frontCover));
}

// The WMA fields as ffprobe shows them and as TagLib reads them.
void expectWmaTags(const std::filesystem::path& out, const SourceTags& tags)
{
    const ProbedTags probe = probeTags(out);
    EXPECT_EQ(probed(probe, "title"), tags.title);
    EXPECT_EQ(probed(probe, "artist"), tags.artist);
    EXPECT_EQ(probed(probe, "album"), tags.album);
    EXPECT_EQ(probed(probe, "album_artist"), tags.albumArtist);
    EXPECT_EQ(probed(probe, "track"), "3");
    EXPECT_EQ(probed(probe, "TotalTracks"), "12");
    EXPECT_EQ(probed(probe, "disc"), "1");
    EXPECT_EQ(probed(probe, "TotalDiscs"), "2");
    EXPECT_EQ(probed(probe, "WM/Year"), tags.date);
    EXPECT_EQ(probed(probe, "genre"), tags.genre);
    EXPECT_EQ(probed(probe, "comment"), tags.comment);
    EXPECT_EQ(probed(probe, "composer"), tags.composer);
    // A picture larger than an extended content descriptor holds (64 KiB) goes to the metadata
    // library object, where Windows and TagLib find it but FFmpeg does not look.
    if (tags.frontCover.bytes.size() < 60'000) {
        EXPECT_TRUE(sameBytes(probedCover(out), tags.frontCover));
    }

    TagLib::ASF::File file(out.c_str());
    ASSERT_TRUE(file.isValid());
    TagLib::ASF::Tag& tag = *file.tag();
    EXPECT_EQ(utf8(tag.title()), tags.title);
    EXPECT_EQ(utf8(tag.artist()), tags.artist);
    EXPECT_EQ(utf8(tag.comment()), tags.comment);
    const auto attribute = [&tag](const char* name) {
        const auto values = tag.attribute(name);
        EXPECT_LE(values.size(), 1u) << name;
        return values.isEmpty() ? std::string() : utf8(values.front().toString());
    };
    EXPECT_EQ(attribute("WM/AlbumTitle"), tags.album);
    EXPECT_EQ(attribute("WM/AlbumArtist"), tags.albumArtist);
    EXPECT_EQ(attribute("WM/TrackNumber"), "3");
    EXPECT_EQ(attribute("TotalTracks"), "12");
    EXPECT_EQ(attribute("WM/PartOfSet"), "1");
    EXPECT_EQ(attribute("TotalDiscs"), "2");
    EXPECT_EQ(attribute("WM/Year"), tags.date);
    EXPECT_EQ(attribute("WM/Genre"), tags.genre);
    EXPECT_EQ(attribute("WM/Composer"), tags.composer);
    // The content description's fields are not repeated as attributes.
    for (const char* name : {"Title", "Author", "Description", "Copyright"})
        EXPECT_FALSE(tag.contains(name)) << name;
    const auto pictures = tag.attribute("WM/Picture");
    ASSERT_EQ(pictures.size(), tags.frontCover.empty() ? 0u : 1u);
    if (pictures.isEmpty())
        return;
    const TagLib::ASF::Picture picture = pictures.front().toPicture();
    EXPECT_EQ(picture.type(), TagLib::ASF::Picture::FrontCover);
    EXPECT_EQ(utf8(picture.mimeType()), tags.frontCover.mimeType);
    EXPECT_TRUE(sameBytes(bytesOf(picture.picture()), tags.frontCover));
}

TEST_F(OutputTags, WmaGetsAsfAttributesAndAPicture)
{
    m_tags.frontCover = makeCover(m_dir / "cover.png");
    const auto out = untaggedOutput(OutputTagFormat::Wma);
    EXPECT_TRUE(write(out, OutputTagFormat::Wma, m_tags).leftOut.empty());
    expectWmaTags(out, m_tags);

    // Real covers are often larger than 64 KiB.
    m_tags.frontCover.bytes.resize(200'000, 0x55);
    const auto large = untaggedOutput(OutputTagFormat::Wma, "large");
    EXPECT_TRUE(write(large, OutputTagFormat::Wma, m_tags).leftOut.empty());
    expectWmaTags(large, m_tags);
}

TEST_F(OutputTags, WmaTypedTagsWinAndAnEmptiedBoxWritesNone)
{
    // The WMA writer's own way: the engine's encoder writes the typed tags, the source's follow.
    auto engine = decodingEngine();
    const TypedWmaTags typed{
        {"Title", "Author", "WM/AlbumTitle", "Description", "Rating", "Copyright", "WM/Genre", "WM/Year"},
        {"Typed Title ✓", "Artist", "Album Title", "", "Rating", "Copyright", "", "Year"}};
    const auto out = m_dir / "typed.wma";
    const EngineHandle encoder = engine->WMAEncodeOpenFile(44100, 2, WmaEncodeFlags, 128000, out.string());
    ASSERT_NE(encoder, 0u) << engine->ErrorGetCode();
    for (std::size_t i = 0; i < typed.names.size(); ++i)
        if (!typed.values[i].empty()) {
            EXPECT_TRUE(engine->WMAEncodeSetTag(encoder, typed.names[i], typed.values[i], 0));
        }
    EXPECT_TRUE(engine->WMAEncodeSetTag(encoder, "", "", 0));
    const std::vector<std::int16_t> silence(44100 * 2, 0);
    EXPECT_TRUE(engine->WMAEncodeWrite(encoder, silence.data(), static_cast<std::uint32_t>(silence.size() * 2)));
    EXPECT_TRUE(engine->WMAEncodeClose(encoder));

    m_tags.frontCover = makeCover(m_dir / "cover.jpg");
    write(out, OutputTagFormat::Wma, m_tags, typed);

    SourceTags expected = m_tags;
    expected.title = "Typed Title ✓";
    expected.artist = "Artist";
    expected.album = "Album Title";
    expected.comment.clear();
    expected.genre.clear();
    expected.date = "Year";
    expectWmaTags(out, expected);
    const ProbedTags probe = probeTags(out);
    EXPECT_EQ(probed(probe, "copyright"), "Copyright");
    EXPECT_EQ(probed(probe, "Rating"), "Rating");
    TagLib::ASF::File file(out.c_str());
    EXPECT_EQ(utf8(file.tag()->copyright()), "Copyright");
    EXPECT_EQ(utf8(file.tag()->attribute("Rating").front().toString()), "Rating");
}

TEST(OutputTagChoice, FormatsAndTypedTagsFromTheSettings)
{
    EXPECT_EQ(tagFormatOf(FileFormat::WAV), OutputTagFormat::Wav);
    EXPECT_EQ(tagFormatOf(FileFormat::WMA), OutputTagFormat::Wma);
    EXPECT_EQ(tagFormatOf(FileFormat::MP3), OutputTagFormat::Mp3);
    EXPECT_EQ(tagFormatOf(FileFormat::OGG), OutputTagFormat::Ogg);
    EXPECT_EQ(tagFormatOf(FileFormat::Ipod), OutputTagFormat::Mp3);

    const std::array<std::string, 8> names{"Title",  "Author",    "WM/AlbumTitle", "Description",
                                           "Rating", "Copyright", "WM/Genre",      "WM/Year"};
    OutputSettings settings = designOutputSettings("/out");
    EXPECT_FALSE(typedWmaTags(settings, names));
    settings.chkWMAFileTags.value = true;
    settings.txtWMATags[6].text.clear();
    const auto typed = typedWmaTags(settings, names);
    ASSERT_TRUE(typed);
    EXPECT_EQ(typed->names, names);
    EXPECT_EQ(typed->values[1], "Artist");
    EXPECT_EQ(typed->values[6], "");
}

TEST_F(OutputTags, WavGetsAnInfoListWithoutPicture)
{
    m_tags.frontCover = makeCover(m_dir / "cover.png");
    const auto out = untaggedOutput(OutputTagFormat::Wav);
    const TagWriteResult result = write(out, OutputTagFormat::Wav, m_tags);
    EXPECT_EQ(result.leftOut, (std::vector<TagField>{TagField::AlbumArtist, TagField::Disc, TagField::DiscTotal,
                                                     TagField::FrontCover}));

    const ProbedTags probe = probeTags(out);
    EXPECT_EQ(probed(probe, "title"), m_tags.title);
    EXPECT_EQ(probed(probe, "artist"), m_tags.artist);
    EXPECT_EQ(probed(probe, "album"), m_tags.album);
    EXPECT_EQ(probed(probe, "track"), "3/12");
    EXPECT_EQ(probed(probe, "date"), m_tags.date);
    EXPECT_EQ(probed(probe, "genre"), m_tags.genre);
    EXPECT_EQ(probed(probe, "comment"), m_tags.comment);
    EXPECT_EQ(probed(probe, "IMUS"), m_tags.composer);

    TagLib::RIFF::WAV::File file(out.c_str());
    ASSERT_TRUE(file.hasInfoTag());
    TagLib::RIFF::Info::Tag& info = *file.InfoTag();
    EXPECT_EQ(utf8(info.fieldText("INAM")), m_tags.title);
    EXPECT_EQ(utf8(info.fieldText("IART")), m_tags.artist);
    EXPECT_EQ(utf8(info.fieldText("IPRD")), m_tags.album);
    EXPECT_EQ(utf8(info.fieldText("IPRT")), "3/12");
    EXPECT_EQ(utf8(info.fieldText("ICRD")), m_tags.date);
    EXPECT_EQ(utf8(info.fieldText("IGNR")), m_tags.genre);
    EXPECT_EQ(utf8(info.fieldText("ICMT")), m_tags.comment);
    EXPECT_EQ(utf8(info.fieldText("IMUS")), m_tags.composer);
}

TEST_F(OutputTags, NoTagsWritesNothing)
{
    SourceTags none;
    none.title = "\x01\x02"; // only control characters: nothing worth writing
    for (const auto format : {OutputTagFormat::Wav, OutputTagFormat::Mp3, OutputTagFormat::Ogg, OutputTagFormat::Wma}) {
        const auto out = untaggedOutput(format, "plain" + std::to_string(static_cast<int>(format)));
        const std::string before = readFile(out);
        for (const SourceTags& tags : {SourceTags{}, none}) {
            const TagWriteResult result = WriteOutputTags(out.string(), format, tags);
            EXPECT_EQ(result.status, TagWriteStatus::NothingToWrite);
            EXPECT_TRUE(result.leftOut.empty());
        }
        EXPECT_EQ(readFile(out), before);
    }
}

TEST_F(OutputTags, OversizedAndDamagedValues)
{
    SourceTags tags;
    for (int i = 0; i < 10'000; ++i)
        tags.comment += i % 2 ? "Ж" : "字";
    tags.title = "bell\x07 and \xFF broken\x1b[31m";
    tags.artist = std::string(40'000, 'a'); // beyond what a WMA content description field holds
    tags.frontCover = makeCover(m_dir / "big.png");
    std::mt19937 random(7);
    while (tags.frontCover.bytes.size() < 5'000'000)
        tags.frontCover.bytes.push_back(static_cast<unsigned char>(random()));
    const std::string cleanTitle = "bell and \xEF\xBF\xBD broken[31m";

    for (const auto format : {OutputTagFormat::Mp3, OutputTagFormat::Ogg, OutputTagFormat::Wma, OutputTagFormat::Wav}) {
        const auto out = untaggedOutput(format, "big" + std::to_string(static_cast<int>(format)));
        const TagWriteResult result = write(out, format, tags);
        const ProbedTags probe = probeTags(out);
        EXPECT_EQ(probed(probe, "comment"), tags.comment) << out;
        EXPECT_EQ(probed(probe, "title"), cleanTitle) << out;
        if (format == OutputTagFormat::Wma) {
            EXPECT_EQ(result.dropped,
                      std::vector<std::string>{"Artist (80000 bytes, more than the 65533 a WMA text field holds)"});
            EXPECT_EQ(probed(probe, "artist"), "");
        } else {
            EXPECT_EQ(probed(probe, "artist"), tags.artist) << out;
        }
        if (format == OutputTagFormat::Wav) {
            EXPECT_EQ(result.leftOut, std::vector<TagField>{TagField::FrontCover});
        } else if (format == OutputTagFormat::Wma) {
            TagLib::ASF::File file(out.c_str());
            const auto pictures = file.tag()->attribute("WM/Picture");
            ASSERT_EQ(pictures.size(), 1u);
            EXPECT_TRUE(sameBytes(bytesOf(pictures.front().toPicture().picture()), tags.frontCover));
        } else {
            EXPECT_TRUE(sameBytes(probedCover(out), tags.frontCover)) << out;
        }
    }

    // A picture beyond what an Ogg picture block can count is left out everywhere.
    tags.frontCover.bytes.resize(17'000'000, 1);
    const auto out = untaggedOutput(OutputTagFormat::Mp3, "huge");
    const TagWriteResult huge = write(out, OutputTagFormat::Mp3, tags);
    EXPECT_TRUE(huge.leftOut.empty());
    EXPECT_EQ(huge.dropped, std::vector<std::string>{"Cover (17.0 MB, more than the 16.0 MB a cover may have)"});
    EXPECT_EQ(probedCover(out), "");

    // A picture of no type that can be told is left out too, and says so.
    tags.frontCover = {"", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'}};
    EXPECT_EQ(write(untaggedOutput(OutputTagFormat::Mp3, "unknown"), OutputTagFormat::Mp3, tags).dropped,
              std::vector<std::string>{"Cover (not a picture of a known type)"});
}

TEST_F(OutputTags, AFailureLeavesTheOutputAsItWas)
{
    // Not the format named: TagLib cannot read it, and the bytes stay as they were.
    const auto ogg = untaggedOutput(OutputTagFormat::Ogg);
    const std::string before = readFile(ogg);
    TagWriteResult result = WriteOutputTags(ogg.string(), OutputTagFormat::Mp3, m_tags);
    EXPECT_EQ(result.status, TagWriteStatus::Failed);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(readFile(ogg), before);

    // A file cut short.
    const auto cut = m_dir / "cut.wma";
    writeFile(cut, readFile(untaggedOutput(OutputTagFormat::Wma)).substr(0, 300));
    EXPECT_TRUE(WriteOutputTags(cut.string(), OutputTagFormat::Wma, m_tags).failed());
    EXPECT_EQ(readFile(cut).size(), 300u);

    EXPECT_TRUE(WriteOutputTags((m_dir / "missing.mp3").string(), OutputTagFormat::Mp3, m_tags).failed());
    EXPECT_FALSE(std::filesystem::exists(m_dir / "missing.mp3"));

    // No copy is left behind beside the outputs.
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".tags-"), std::string::npos) << entry.path();
}

TEST_F(OutputTags, AnOutputWithANameAsLongAsNamesMayBeIsTagged)
{
    // 81 CJK characters and the extension: 247 bytes of the 255 a name may have.
    std::string name;
    for (int i = 0; i < 81; ++i)
        name += "字";
    for (const auto format : {OutputTagFormat::Mp3, OutputTagFormat::Ogg, OutputTagFormat::Wma, OutputTagFormat::Wav}) {
        SCOPED_TRACE(static_cast<int>(format));
        const auto made = untaggedOutput(format, "long" + std::to_string(static_cast<int>(format)));
        const auto out = m_dir / "long" / (name + made.extension().string());
        std::filesystem::create_directories(out.parent_path());
        std::filesystem::rename(made, out);
        write(out, format, m_tags);
        EXPECT_EQ(probed(probeTags(out), "title"), m_tags.title);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.parent_path()),
                                std::filesystem::directory_iterator()),
                  1);
        std::filesystem::remove(out);
    }
}

TEST_F(OutputTags, AFullDiskIsReportedAsSuchAndTheOutputKeepsItsAudio)
{
    const ScratchMount mount(m_dir / "small", "1m");
    if (!mount.mounted())
        GTEST_SKIP() << "cannot mount a small file system here";
    // Tags of 300 KB: more than the room left once the copy beside the output is made.
    m_tags.comment = std::string(300'000, 'c');
    for (const auto format : {OutputTagFormat::Mp3, OutputTagFormat::Ogg, OutputTagFormat::Wma, OutputTagFormat::Wav}) {
        SCOPED_TRACE(static_cast<int>(format));
        std::filesystem::remove_all(mount.path() / "filler");
        const auto made = untaggedOutput(format, "full" + std::to_string(static_cast<int>(format)));
        const auto out = mount.path() / made.filename();
        std::filesystem::copy_file(made, out, std::filesystem::copy_options::overwrite_existing);
        const std::string before = readFile(out);
        struct statvfs space {
        };
        ASSERT_EQ(::statvfs(mount.path().c_str(), &space), 0);
        const std::size_t free = space.f_bavail * space.f_frsize;
        ASSERT_GT(free, before.size() + 64'000);
        writeFile(mount.path() / "filler", std::string(free - before.size() - 64'000, '\0'));

        const TagWriteResult result = WriteOutputTags(out.string(), format, m_tags);
        EXPECT_EQ(result.status, TagWriteStatus::Failed);
        EXPECT_NE(result.error.find("No space left on device"), std::string::npos) << result.error;
        EXPECT_EQ(readFile(out), before);
        for (const auto& entry : std::filesystem::directory_iterator(mount.path()))
            EXPECT_TRUE(entry.path() == out || entry.path().filename() == "filler") << entry.path();
        std::filesystem::remove(out);
    }
}

TEST_F(OutputTags, AReadOnlyOutputIsLeftAlone)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write to read-only files";
    const auto out = untaggedOutput(OutputTagFormat::Mp3);
    const std::string before = readFile(out);
    std::filesystem::permissions(out, std::filesystem::perms::owner_read);
    EXPECT_TRUE(WriteOutputTags(out.string(), OutputTagFormat::Mp3, m_tags).failed());
    EXPECT_EQ(readFile(out), before);
}

} // namespace
