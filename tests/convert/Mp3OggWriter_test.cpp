#include "ConversionRig.h"
#include "ForwardingEngine.h"
#include "Mp3OggWriter.h"

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

void comboText(ComboBox& combo, const std::string& text)
{
    for (std::size_t i = 0; i < combo.list.size(); ++i)
        if (combo.list[i] == text) {
            combo.listIndex = static_cast<int>(i);
            return;
        }
    FAIL() << "no entry " << text;
}

void mp3Mode(OutputSettings& settings, bool cbr, bool abr)
{
    settings.optMP3CBR.value = cbr;
    settings.optMP3ABR.value = abr;
    settings.optMP3VBR.value = !cbr && !abr;
}

// A stand-in encoder program placed first on PATH; body is a shell script.
void fakeEncoder(const std::filesystem::path& folder, const std::string& name, const std::string& body)
{
    std::filesystem::create_directories(folder);
    writeFile(folder / name, "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(folder / name, std::filesystem::perms::owner_all);
}

EncoderCommand lameCbr(const std::filesystem::path& out)
{
    return {"lame", {"--cbr", "-b", "320", "-m", "j", "--resample", "0", "-q", "4", "-", out.string()}};
}

} // namespace

TEST(ConvertToMP3_OGG, EveryMp3AndOggModeMakesTheExpectedFile)
{
    ConversionRig rig;
    const double seconds = 3.0;
    const auto source = makeTone(rig.dir / "in" / "tone.flac", seconds, 44100, 2);
    struct Mode {
        std::string name;
        FileFormat format;
        std::function<void(OutputSettings&)> set;
        std::string codec;
        int rate;
        int channels;
    };
    const std::vector<Mode> modes{
        {"mp3 cbr", FileFormat::MP3, [](OutputSettings& s) { mp3Mode(s, true, false); }, "mp3", 44100, 2},
        {"mp3 abr", FileFormat::MP3,
         [](OutputSettings& s) {
             mp3Mode(s, false, true);
             comboText(s.cmbMP3ABitrate, "310 Kbps");
         },
         "mp3", 44100, 2},
        {"mp3 vbr", FileFormat::MP3, [](OutputSettings& s) { mp3Mode(s, false, false); }, "mp3", 44100, 2},
        {"mp3 mono 22k", FileFormat::MP3,
         [](OutputSettings& s) {
             mp3Mode(s, true, false);
             comboText(s.cmbMP3StereoMode, "Mono");
             comboText(s.cmbMP3Freq, "22.05 KHz");
             comboText(s.cmbMP3CBitrate, "64 Kbps");
         },
         "mp3", 22050, 1},
        {"ipod", FileFormat::Ipod,
         [](OutputSettings& s) {
             // Every MP3 option is ignored by the preset.
             comboText(s.cmbMP3StereoMode, "Mono");
             comboText(s.cmbMP3Freq, "8 KHz");
         },
         "mp3", 44100, 2},
        {"ogg vbr", FileFormat::OGG, [](OutputSettings& s) { s.optOGGVBR.value = true, s.optOGGCBR.value = false; },
         "vorbis", 44100, 2},
        {"ogg cbr", FileFormat::OGG,
         [](OutputSettings& s) {
             s.optOGGVBR.value = false, s.optOGGCBR.value = true;
             comboText(s.cmbOGGCBitrate, "96 Kbps");
         },
         "vorbis", 44100, 2},
    };
    for (const Mode& mode : modes) {
        SCOPED_TRACE(mode.name);
        rig.settings = designOutputSettings(rig.out("").string());
        rig.chooseFormat(mode.format);
        mode.set(rig.settings);
        const auto copy = rig.dir / "in" / (mode.name + ".flac");
        std::filesystem::copy_file(source, copy);
        const std::size_t row = rig.addJob(copy);
        rig.convert();
        EXPECT_EQ(rig.status(row), "Complete");
        const std::string extension = mode.format == FileFormat::OGG ? ".ogg" : ".mp3";
        expectAudio(rig.out(mode.name + extension), mode.codec, mode.rate, mode.channels, seconds, 0.05);
    }
    EXPECT_EQ(rig.logLines(), 0u);
}

TEST(ConvertToMP3_OGG, StopEndsCancelledAndLeavesNothingBehind)
{
    ConversionRig rig;
    const auto source = makeTone(rig.dir / "in" / "long.flac", 20.0);
    for (const std::string program : {"lame", "oggenc"}) {
        SCOPED_TRACE(program);
        const auto out = rig.dir / ("long." + program);
        const CommandFor command = [&](const std::string& to) {
            return program == "lame" ? lameCbr(to) : EncoderCommand{"oggenc", {"-b", "128", "-", "-o", to}};
        };
        PlainContext context;
        context.stopAfter = 2; // two reads of 262,144 bytes: about 3 s of audio
        ASSERT_EQ(runMP3_OGG(*rig.engine, context, rig.log, source.string(), out.string(), command),
                  JobOutcome::Cancelled);
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_TRUE(privateFolders(rig.dir.path()).empty());
    }
    EXPECT_EQ(rig.logLines(), 0u);
}

TEST(ConvertToMP3_OGG, UnreadableSourceIsAnErrorWithOneLogLineAndNoEncoder)
{
    ConversionRig rig;
    const auto damaged = rig.dir / "in" / "damaged.mp3";
    writeFile(damaged, std::string(5000, '\x55'));
    const auto out = rig.dir / "damaged.out.mp3";
    PlainContext context;
    EXPECT_EQ(runMP3_OGG(*rig.engine, context, rig.log, damaged.string(), out.string(), lameCbr), JobOutcome::Error);
    EXPECT_FALSE(std::filesystem::exists(out));
    ASSERT_EQ(rig.logLines(), 1u);
    EXPECT_NE(readFile(rig.log.path()).find(" occured when Korvel tried to play/convert: " + damaged.string() + "\r\n"),
              std::string::npos);

    const auto gone = rig.dir / "in" / "gone.flac";
    EXPECT_EQ(runMP3_OGG(*rig.engine, context, rig.log, gone.string(), out.string(), lameCbr), JobOutcome::Error);
    EXPECT_EQ(rig.logLines(), 2u);
}

TEST(ConvertToMP3_OGG, FailedEncoderIsAnErrorWithALogLineAndNoFile)
{
    ConversionRig rig;
    const auto source = makeTone(rig.dir / "in" / "t.flac", 4.0);
    const auto bin = rig.dir / "bin";
    struct Case {
        std::string name;
        std::string script; // empty: no encoder program at all
    };
    const std::vector<Case> cases{
        {"missing", ""},
        {"exit 1", "for last; do :; done; echo partial > \"$last\"; cat > /dev/null; exit 1"},
        {"exit 1 early", "exit 1"},
        {"killed", "for last; do :; done; echo partial > \"$last\"; kill -9 $$"},
        {"no output", "cat > /dev/null; exit 0"},
    };
    std::size_t lines = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(bin);
        std::filesystem::create_directories(bin);
        if (!c.script.empty())
            fakeEncoder(bin, "lame", c.script);
        const auto out = rig.dir / (c.name + ".mp3");
        PlainContext context;
        {
            ScopedPath path((bin.string()));
            EXPECT_EQ(runMP3_OGG(*rig.engine, context, rig.log, source.string(), out.string(), lameCbr),
                      JobOutcome::Error);
        }
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_EQ(rig.logLines(), ++lines);
    }

    // The real encoder that cannot create its output file: its folder went before the encoder started.
    PendingOutputFile output = pendingFor(rig.dir / "gone" / "t.mp3");
    ASSERT_TRUE(output.valid());
    std::filesystem::remove_all(rig.dir / "gone");
    PlainContext context;
    EXPECT_EQ(
        ConvertToMP3_OGG(*rig.engine, context, rig.log, source.string(), output, lameCbr(output.fileName())).outcome,
        JobOutcome::Error);
    EXPECT_EQ(rig.logLines(), ++lines);
    EXPECT_FALSE(std::filesystem::exists(rig.dir / "gone"));
}

TEST(ConvertToMP3_OGG, FullDiskEndsInErrorWithoutAPartialFile)
{
    ConversionRig rig;
    const ScratchMount mount(rig.dir / "small", "300k");
    if (!mount.mounted())
        GTEST_SKIP() << "cannot mount a small file system here";
    const auto& small = mount.path();

    const auto source = makeTone(rig.dir / "in" / "big.flac", 15.0); // about 600 KB at 320 kbit/s
    for (const std::string program : {"lame", "oggenc"}) {
        SCOPED_TRACE(program);
        const auto out = small / ("big." + program);
        const CommandFor command = [&](const std::string& to) {
            return program == "lame" ? lameCbr(to)
                                     : EncoderCommand{"oggenc", {"--managed", "-b", "320", "-", "-o", to}};
        };
        PlainContext context;
        EXPECT_EQ(runMP3_OGG(*rig.engine, context, rig.log, source.string(), out.string(), command), JobOutcome::Error);
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_TRUE(privateFolders(small).empty());
    }
}
