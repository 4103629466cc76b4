// The options of the catalog's formats in the settings record: stored, loaded, summarised.
#include "OutputSettingsModel.h"

#include "RegistryFileTest.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tunevale;
using C = OutputControl;

namespace
{

constexpr auto HKLM = RegistryRoot::LocalMachine;

class FormatOptionSettings : public test::RegistryFileTest
{
protected:
    void store(const std::string& name, const std::string& value)
    {
        ASSERT_TRUE(reg.REGSaveSetting(HKLM, SettingsKey, name, value));
    }
    std::string stored(const std::string& name) { return reg.REGGetSetting(HKLM, SettingsKey, name, "<none>"); }
    OutputSettingsModel loaded()
    {
        OutputSettingsModel model(reg, "/home/tester/Converted Files");
        model.LoadSettings();
        return model;
    }
    static int option(const OutputSettingsModel& model, FileFormat format)
    {
        return model.settings().formatOption[static_cast<std::size_t>(format)].value;
    }
};

TEST_F(FormatOptionSettings, DefaultsAndRangesComeFromTheFormats)
{
    const OutputSettingsModel model = loaded();
    const auto& s = model.settings();
    const auto slider = [&](FileFormat f) { return s.formatOption[static_cast<std::size_t>(f)]; };
    EXPECT_EQ(slider(FileFormat::FLAC).value, 5);
    EXPECT_EQ(slider(FileFormat::FLAC).min, 0);
    EXPECT_EQ(slider(FileFormat::FLAC).max, 8);
    EXPECT_EQ(slider(FileFormat::Opus).value, 128);
    EXPECT_EQ(slider(FileFormat::Opus).min, 32);
    EXPECT_EQ(slider(FileFormat::Opus).max, 256);
    EXPECT_EQ(slider(FileFormat::AAC).value, 192);
    EXPECT_EQ(slider(FileFormat::AAC).min, 64);
    EXPECT_EQ(slider(FileFormat::AAC).max, 320);
    // The first start still chooses "Ipod Default".
    EXPECT_EQ(s.chosenFormat(), FileFormat::Ipod);
}

TEST_F(FormatOptionSettings, StoredValuesLoadAndValuesOutsideThePullInside)
{
    store("optFileFormat", "7");
    store("sliderFLACLevel", "2");
    store("sliderOpusBitrate", "999");
    store("sliderAACBitrate", "not a number");
    const OutputSettingsModel model = loaded();
    EXPECT_EQ(model.settings().chosenFormat(), FileFormat::AAC);
    EXPECT_EQ(model.settings().frFormat, 7);
    EXPECT_EQ(option(model, FileFormat::FLAC), 2);
    EXPECT_EQ(option(model, FileFormat::Opus), 256) << "pulled to the slider's end";
    EXPECT_EQ(option(model, FileFormat::AAC), 192) << "an unreadable value keeps the default";
    EXPECT_EQ(model.settings().lblFormat, "AAC,Bitrate 192 Kbps");

    // A number past the last format is no format: the default stays.
    reg.REGDeleteSetting(HKLM, SettingsKey, "");
    store("optFileFormat", std::to_string(kFileFormatCount));
    EXPECT_EQ(loaded().settings().chosenFormat(), FileFormat::Ipod);
}

TEST_F(FormatOptionSettings, SavedUnderTheirKeysAndLoadedAgain)
{
    OutputSettingsModel first = loaded();
    first.clickOption(C::optFileFormat, static_cast<int>(FileFormat::WavPack));
    first.setSliderValue(C::formatOption, 8, static_cast<int>(FileFormat::FLAC));
    first.setSliderValue(C::formatOption, 64, static_cast<int>(FileFormat::Opus));
    first.setSliderValue(C::formatOption, 320, static_cast<int>(FileFormat::AAC));
    ASSERT_TRUE(first.SaveSettings());
    EXPECT_EQ(stored("optFileFormat"), "10");
    EXPECT_EQ(stored("sliderFLACLevel"), "8");
    EXPECT_EQ(stored("sliderOpusBitrate"), "64");
    EXPECT_EQ(stored("sliderAACBitrate"), "320");

    const OutputSettingsModel second = loaded();
    EXPECT_EQ(second.settings().chosenFormat(), FileFormat::WavPack);
    EXPECT_EQ(option(second, FileFormat::FLAC), 8);
    EXPECT_EQ(option(second, FileFormat::Opus), 64);
    EXPECT_EQ(option(second, FileFormat::AAC), 320);

    // The defaults button brings every option back.
    OutputSettingsModel third = loaded();
    third.cmdDefaults();
    EXPECT_EQ(option(third, FileFormat::FLAC), 5);
    EXPECT_EQ(option(third, FileFormat::Opus), 128);
    EXPECT_EQ(third.settings().chosenFormat(), FileFormat::Ipod);
}

TEST_F(FormatOptionSettings, SummaryLineOfEachNewFormatFollowsItsOption)
{
    OutputSettingsModel model = loaded();
    std::vector<std::pair<OutputControl, int>> changes;
    model.addChangeHandler([&](OutputControl control, int index) { changes.emplace_back(control, index); });
    const auto summary = [&](FileFormat format) {
        model.clickOption(C::optFileFormat, static_cast<int>(format));
        model.ShowFormatSummary();
        return model.settings().lblFormat;
    };
    EXPECT_EQ(summary(FileFormat::FLAC), "FLAC,Compression Level=5");
    model.setSliderValue(C::formatOption, 0, static_cast<int>(FileFormat::FLAC));
    EXPECT_EQ(summary(FileFormat::FLAC), "FLAC,Compression Level=0");
    EXPECT_EQ(summary(FileFormat::Opus), "Opus,Variable Bitrate 128 Kbps");
    model.setSliderValue(C::formatOption, 96, static_cast<int>(FileFormat::Opus));
    EXPECT_EQ(summary(FileFormat::Opus), "Opus,Variable Bitrate 96 Kbps");
    EXPECT_EQ(summary(FileFormat::AAC), "AAC,Bitrate 192 Kbps");
    EXPECT_EQ(summary(FileFormat::ALAC), "ALAC, Lossless as input");
    EXPECT_EQ(summary(FileFormat::AIFF), "AIFF, Lossless as input");
    EXPECT_EQ(summary(FileFormat::WavPack), "WavPack, Lossless as input");
    // The old formats keep their lines.
    EXPECT_EQ(summary(FileFormat::WAV), "WAV, Bitrate will be as input");
    EXPECT_EQ(summary(FileFormat::Ipod), "iPod Default format");
    EXPECT_EQ(model.settings().frFormat, static_cast<int>(FileFormat::Ipod));

    // A change of an option is told with its format's index.
    const std::pair<OutputControl, int> flac{C::formatOption, static_cast<int>(FileFormat::FLAC)};
    EXPECT_NE(std::find(changes.begin(), changes.end(), flac), changes.end());
}

TEST_F(FormatOptionSettings, EveryOptionIsSavedAndAnIndexPastTheFormatsIsRefused)
{
    OutputSettingsModel model = loaded();
    ASSERT_TRUE(model.SaveSettings());
    const std::string text = test::readFile(file);
    for (const char* key : {"sliderFLACLevel", "sliderOpusBitrate", "sliderAACBitrate"})
        EXPECT_NE(text.find(std::string(key) + "="), std::string::npos) << key;
    EXPECT_THROW(model.setSliderValue(C::formatOption, 1, kFileFormatCount), std::logic_error);
}

} // namespace
