// The catalog of output formats: what every reader of it relies on.
#include "ConversionOptions.h"
#include "OutputFormat.h"
#include "OutputTags.h"
#include "SettingsFingerprint.h"

#include <gtest/gtest.h>

#include <set>

namespace tunevale
{
namespace
{

TEST(OutputFormatCatalog, EachFormatSitsAtItsStoredNumberWithNamesOfItsOwn)
{
    const auto formats = outputFormats();
    ASSERT_EQ(formats.size(), static_cast<std::size_t>(kFileFormatCount));
    std::set<std::string> names, captions, keys;
    for (std::size_t i = 0; i < formats.size(); ++i) {
        const OutputFormat& format = *formats[i];
        SCOPED_TRACE(format.cliName);
        EXPECT_EQ(format.index(), static_cast<int>(i)) << "listed out of its optFileFormat order";
        EXPECT_TRUE(names.insert(format.cliName).second);
        EXPECT_TRUE(captions.insert(format.caption).second);
        EXPECT_EQ(&outputFormat(format.id), &format);
        EXPECT_EQ(outputFormatNamed(format.cliName), &format);
        if (format.option) {
            EXPECT_TRUE(keys.insert(format.option->storedKey).second);
            EXPECT_LE(format.option->min, format.option->defaultValue);
            EXPECT_LE(format.option->defaultValue, format.option->max);
        }
        // A format is lossless exactly when its encoder keeps every bit.
        if (format.writer == FormatWriter::FileEncoder)
            EXPECT_EQ(format.lossless, isLosslessCodec(format.codec));
        else
            EXPECT_FALSE(format.lossless);
    }
    EXPECT_EQ(outputFormatNamed("FLAC"), &outputFormat(FileFormat::FLAC)) << "names are taken in any case";
    EXPECT_EQ(outputFormatNamed("m4a"), nullptr);
}

TEST(OutputFormatCatalog, TheFiveFormatsBeforeKeepTheirNumbersAndTheNewOnesFollow)
{
    const std::vector<std::pair<const char*, const char*>> expected{
        {"wav", "WAV"},           {"wma", "WMA"},   {"mp3", "MP3"},        {"ogg", "OGG"},
        {"ipod", "Ipod Default"}, {"flac", "FLAC"}, {"opus", "Opus"},      {"aac", "AAC (M4A)"},
        {"alac", "ALAC (M4A)"},   {"aiff", "AIFF"}, {"wavpack", "WavPack"}};
    ASSERT_EQ(outputFormats().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_STREQ(outputFormats()[i]->cliName, expected[i].first);
        EXPECT_STREQ(outputFormats()[i]->caption, expected[i].second);
    }
    const std::vector<std::string> extensions{"wav",  "wma", "mp3", "ogg",  "mp3", "flac",
                                              "opus", "m4a", "m4a", "aiff", "wv"};
    for (std::size_t i = 0; i < extensions.size(); ++i)
        EXPECT_EQ(outputExtension(static_cast<FileFormat>(i)), extensions[i]);
    EXPECT_EQ(tagFormatOf(FileFormat::Ipod), OutputTagFormat::Mp3);
    EXPECT_EQ(tagFormatOf(FileFormat::AAC), OutputTagFormat::Mp4);
    EXPECT_EQ(tagFormatOf(FileFormat::ALAC), OutputTagFormat::Mp4);
    EXPECT_EQ(tagFormatOf(FileFormat::Opus), OutputTagFormat::OggOpus);
    EXPECT_EQ(tagFormatOf(FileFormat::AIFF), OutputTagFormat::Aiff);
}

TEST(OutputFormatCatalog, TheEncoderIsSetUpFromTheFormatsOption)
{
    ConversionOptions options;
    options.formatOption[static_cast<std::size_t>(FileFormat::FLAC)] = 7;
    options.formatOption[static_cast<std::size_t>(FileFormat::Opus)] = 48;
    options.formatOption[static_cast<std::size_t>(FileFormat::AAC)] = 256;
    const EncodeSetup flac = encodeSetup(options, FileFormat::FLAC);
    EXPECT_EQ(flac.codec, OutputCodec::Flac);
    EXPECT_EQ(flac.compressionLevel, 7);
    EXPECT_TRUE(flac.verify);
    const EncodeSetup opus = encodeSetup(options, FileFormat::Opus);
    EXPECT_EQ(opus.container, OutputContainer::OggOpus);
    EXPECT_EQ(opus.kbps, 48);
    EXPECT_FALSE(opus.verify);
    const EncodeSetup aac = encodeSetup(options, FileFormat::AAC);
    EXPECT_EQ(aac.codec, OutputCodec::Aac);
    EXPECT_EQ(aac.kbps, 256);
    const EncodeSetup alac = encodeSetup(options, FileFormat::ALAC);
    EXPECT_EQ(alac.container, OutputContainer::M4a);
    EXPECT_TRUE(alac.verify);
    EXPECT_EQ(encodeSetup(options, FileFormat::WavPack).codec, OutputCodec::WavPack);
    EXPECT_EQ(encodeSetup(options, FileFormat::AIFF).codec, OutputCodec::AiffPcm);
}

// "Update" converts again when the option of the chosen format changed, and only then.
TEST(OutputFormatCatalog, TheChosenFormatsOptionIsPartOfTheSettingsFingerprint)
{
    ConversionOptions options;
    options.format = FileFormat::FLAC;
    options.formatOption[static_cast<std::size_t>(FileFormat::FLAC)] = 5;
    const std::string before = outputSettingsFingerprint(options);
    options.formatOption[static_cast<std::size_t>(FileFormat::Opus)] = 200;
    EXPECT_EQ(outputSettingsFingerprint(options), before);
    options.formatOption[static_cast<std::size_t>(FileFormat::FLAC)] = 6;
    EXPECT_NE(outputSettingsFingerprint(options), before);
    options.format = FileFormat::ALAC;
    EXPECT_NE(outputSettingsFingerprint(options), before);
}

} // namespace
} // namespace tunevale
