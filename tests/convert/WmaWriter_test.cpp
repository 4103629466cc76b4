#include "CRegister.h"
#include "ConversionRig.h"
#include "ForwardingEngine.h"
#include "OutputSettingsModel.h"
#include "SettingsBitrateList.h"
#include "WmaWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

class ShownList : public WmaBitrateListView
{
public:
    void showBitrates(const std::vector<WmaBitrateEntry>& list, int chosen) override
    {
        entries = list;
        selected = chosen;
    }
    std::vector<WmaBitrateEntry> entries;
    int selected = -2;
};

// The quality that picks the entry of the given bitrate from the engine's list.
int qualityFor(Engine& engine, std::uint32_t bitrate)
{
    const auto rates = engine.WMAEncodeGetRates(44100, 2, WmaEncodeFlags);
    for (int quality = 0; quality <= 100; ++quality)
        if (chooseWmaBitrate(rates, quality).bitrate == static_cast<std::int32_t>(bitrate))
            return quality;
    ADD_FAILURE() << "no quality picks " << bitrate;
    return 50;
}

WmaOptions tagged(const std::array<std::string, 8>& names)
{
    WmaOptions options;
    options.setTags = true;
    options.tags = {"Title", "Artist", "Album Title", "Description", "Rating", "Copyright", "Genre", "Year"};
    options.tagNames = names;
    return options;
}

} // namespace

TEST(GetWMABitRateFromQuality, ChoosesFromTheEncodersListAndShowsIt)
{
    ConversionRig rig;
    const auto rates = rig.engine->WMAEncodeGetRates(44100, 2, WmaEncodeFlags);
    ASSERT_GE(rates.size(), 3u);
    ASSERT_EQ(rates.back(), 0u);
    const int count = static_cast<int>(rates.size()) - 1;

    ShownList view;
    EXPECT_EQ(GetWMABitRateFromQuality(*rig.engine, 44100, 2, 100, false, &view),
              static_cast<std::int32_t>(std::nearbyint(rates[0] / 1000.0) * 1000));
    EXPECT_EQ(view.selected, 0);
    ASSERT_EQ(view.entries.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(view.entries[0].bitrate, rates[0]);
    EXPECT_EQ(GetWMABitRateFromQuality(*rig.engine, 44100, 2, 0, false, &view),
              static_cast<std::int32_t>(std::nearbyint(rates[count - 1] / 1000.0) * 1000));
    EXPECT_EQ(view.selected, count - 1);

    // While the window loads nothing is asked and nothing shown.
    ShownList untouched;
    EXPECT_EQ(GetWMABitRateFromQuality(*rig.engine, 44100, 2, 50, true, &untouched), 0);
    EXPECT_EQ(untouched.selected, -2);
    // A format the encoder has no list for.
    EXPECT_EQ(GetWMABitRateFromQuality(*rig.engine, 44100, 0, 50, false, &untouched), -1);
}

TEST(ConvertToWMA, EncodesAt128kWithTheDefaultTagWords)
{
    ConversionRig rig;
    const auto source = makeTone(rig.dir / "in" / "tone.flac", 3.0);
    const auto out = rig.dir / "tone.wma";
    WmaOptions options = tagged(rig.tagNames);
    options.quality = qualityFor(*rig.engine, 128000);
    PlainContext context;
    ASSERT_EQ(runWMA(*rig.engine, context, rig.log, source.string(), out.string(), options), JobOutcome::Complete);
    EXPECT_GT(context.progress.size(), 3u);
    expectAudio(out, "wmav2", 44100, 2, 3.0, 0.1);
    EXPECT_EQ(ffprobe(out, "stream=bit_rate"), "128000");
    EXPECT_EQ(ffprobe(out, "format_tags=title"), "Title");
    EXPECT_EQ(ffprobe(out, "format_tags=artist"), "Artist");
    EXPECT_EQ(ffprobe(out, "format_tags=album"), "Album Title");
    EXPECT_EQ(ffprobe(out, "format_tags=genre"), "Genre");
    EXPECT_EQ(ffprobe(out, "format_tags=copyright"), "Copyright");
}

TEST(ConvertToWMA, EmptiedBoxWritesNoTagAndUntickedBoxWritesNone)
{
    ConversionRig rig;
    const auto source = makeTone(rig.dir / "in" / "tone.flac", 1.0, 22050, 1);
    WmaOptions options = tagged(rig.tagNames);
    options.tags[0].clear();
    options.tags[1] = "Ünïcode Ärtist";
    const auto out = rig.dir / "some.wma";
    PlainContext context;
    ASSERT_EQ(runWMA(*rig.engine, context, rig.log, source.string(), out.string(), options), JobOutcome::Complete);
    expectAudio(out, "wmav2", 22050, 1, 1.0, 0.1);
    EXPECT_EQ(ffprobe(out, "format_tags=title"), "");
    EXPECT_EQ(ffprobe(out, "format_tags=artist"), "Ünïcode Ärtist");
    EXPECT_EQ(ffprobe(out, "format_tags=album"), "Album Title");

    options.setTags = false;
    const auto bare = rig.dir / "bare.wma";
    ASSERT_EQ(runWMA(*rig.engine, context, rig.log, source.string(), bare.string(), options), JobOutcome::Complete);
    EXPECT_EQ(ffprobe(bare, "format_tags=album"), "");
}

TEST(ConvertToWMA, StopEndsCancelledAndLeavesNothingBehind)
{
    ConversionRig rig;
    const auto source = makeTone(rig.dir / "in" / "long.flac", 10.0);
    const auto out = rig.dir / "long.wma";
    PlainContext context;
    context.stopAfter = 40; // 40 chunks of 20,000 bytes, about 4.5 s
    ASSERT_EQ(runWMA(*rig.engine, context, rig.log, source.string(), out.string(), tagged(rig.tagNames)),
              JobOutcome::Cancelled);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_TRUE(privateFolders(rig.dir.path()).empty());
}

namespace
{

class RefusingEngine : public ForwardingEngine
{
public:
    using ForwardingEngine::ForwardingEngine;
    bool WMAEncodeWrite(EngineHandle encoder, const void* buffer, std::uint32_t length) override
    {
        return --goodWrites >= 0 && ForwardingEngine::WMAEncodeWrite(encoder, buffer, length);
    }
    std::vector<std::uint32_t> WMAEncodeGetRates(std::uint32_t freq, std::uint32_t chans, std::uint32_t flags) override
    {
        return noRates ? std::vector<std::uint32_t>{} : ForwardingEngine::WMAEncodeGetRates(freq, chans, flags);
    }
    int goodWrites = 1000;
    bool noRates = false;
};

} // namespace

TEST(ConvertToWMA, FailuresEndInErrorAndLeaveNothingBehind)
{
    ConversionRig rig;
    const auto source = makeTone(rig.dir / "in" / "t.flac", 2.0);
    const auto damaged = rig.dir / "in" / "damaged.flac";
    writeFile(damaged, readFile(source).substr(0, 40));

    auto expectError = [&](Engine& engine, const std::filesystem::path& from, const std::filesystem::path& out) {
        PlainContext context;
        EXPECT_EQ(runWMA(engine, context, rig.log, from.string(), out.string(), tagged(rig.tagNames)),
                  JobOutcome::Error)
            << out;
        EXPECT_FALSE(std::filesystem::exists(out)) << out;
    };
    expectError(*rig.engine, damaged, rig.dir / "damaged.wma");
    expectError(*rig.engine, rig.dir / "in" / "gone.flac", rig.dir / "gone.wma");

    RefusingEngine refusing(*rig.engine);
    refusing.goodWrites = 5;
    expectError(refusing, source, rig.dir / "write.wma");
    refusing.goodWrites = 1000;
    refusing.noRates = true; // bitrate -1 reaches the encoder, which refuses it
    expectError(refusing, source, rig.dir / "norates.wma");

    // The output's folder removed during the job: the job is no success.
    PendingOutputFile output = pendingFor(rig.dir / "gone" / "t.wma");
    ASSERT_TRUE(output.valid());
    FolderRemovingContext removing(rig.dir / "gone");
    EXPECT_EQ(
        ConvertToWMA(*rig.engine, removing, rig.log, source.string(), output, tagged(rig.tagNames), nullptr).outcome,
        JobOutcome::Error);
}

TEST(ConvertToWMA, FullDiskEndsInErrorWithoutAPartialFile)
{
    ConversionRig rig;
    const ScratchMount mount(rig.dir / "small", "300k");
    if (!mount.mounted())
        GTEST_SKIP() << "cannot mount a small file system here";
    const auto& small = mount.path();
    const auto source = makeTone(rig.dir / "in" / "big.flac", 30.0); // about 480 KB at 128 kbit/s
    WmaOptions options = tagged(rig.tagNames);
    options.quality = qualityFor(*rig.engine, 128000);
    PlainContext context;
    EXPECT_EQ(runWMA(*rig.engine, context, rig.log, source.string(), (small / "big.wma").string(), options),
              JobOutcome::Error);
    EXPECT_FALSE(std::filesystem::exists(small / "big.wma"));
}

TEST(ConvertToWMA, TheSettingsPanelShowsTheListOfTheLastWmaJob)
{
    ConversionRig rig;
    CRegister registry(rig.dir / "registry.ini");
    OutputSettingsModel model(registry, rig.out("").string());
    model.LoadSettings(false);
    SettingsBitrateList shown(model);
    const auto stereo = makeTone(rig.dir / "in" / "stereo.flac", 0.5, 44100, 2);
    const auto mono = makeTone(rig.dir / "in" / "mono.flac", 0.5, 22050, 1);
    WmaOptions options = tagged(rig.tagNames);
    options.quality = 100;
    PlainContext context;
    ASSERT_EQ(runWMA(*rig.engine, context, rig.log, stereo.string(), (rig.dir / "s.wma").string(), options, &shown),
              JobOutcome::Complete);
    ASSERT_EQ(runWMA(*rig.engine, context, rig.log, mono.string(), (rig.dir / "m.wma").string(), options, &shown),
              JobOutcome::Complete);
    const ComboBox& combo = model.settings().cmbWMAEncodingBitrate;
    const auto monoRates = rig.engine->WMAEncodeGetRates(22050, 1, WmaEncodeFlags);
    ASSERT_EQ(combo.list.size() + 1, monoRates.size());
    EXPECT_EQ(combo.listIndex, 0);
    EXPECT_EQ(combo.itemData.at(0), monoRates[0]);
    EXPECT_EQ(combo.list.at(0), chooseWmaBitrate(monoRates, 100).entries.at(0).text);
    EXPECT_EQ(ffprobe(rig.dir / "m.wma", "stream=bit_rate"), std::to_string(chooseWmaBitrate(monoRates, 100).bitrate));
}

namespace
{

double rmsOfDecodedMono(const std::filesystem::path& file)
{
    const auto decoded = runProgram(
        {"ffmpeg", "-nostdin", "-v", "error", "-i", file.string(), "-f", "s16le", "-ac", "1", "-ar", "22050", "-"});
    EXPECT_EQ(decoded.exitCode, 0);
    const auto count = decoded.output.size() / 2;
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::int16_t sample;
        std::memcpy(&sample, decoded.output.data() + 2 * i, 2);
        sum += double(sample) * sample;
    }
    return count ? std::sqrt(sum / count) : 0.0;
}

} // namespace

TEST(ConvertToWMA, EightBitSourceKeepsItsSound)
{
    ConversionRig rig;
    const auto source = makeTone(rig.dir / "in" / "u8.wav", 2.0, 22050, 1, {"-c:a", "pcm_u8"});
    const auto out = rig.dir / "u8.wma";
    PlainContext context;
    ASSERT_EQ(runWMA(*rig.engine, context, rig.log, source.string(), out.string(), WmaOptions{}), JobOutcome::Complete);
    expectAudio(out, "wmav2", 22050, 1, 2.0, 0.1);
    // Unsigned 8-bit samples read as 16-bit ones would turn the quiet tone into loud noise.
    const double expected = rmsOfDecodedMono(source);
    EXPECT_NEAR(rmsOfDecodedMono(out), expected, expected * 0.25);
}
