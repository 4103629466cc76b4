#include "OutputSettingsModel.h"

#include "RegistryFileTest.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <utility>

using namespace tunevale;
using C = OutputControl;

namespace
{

constexpr auto HKLM = RegistryRoot::LocalMachine;
const std::string kDefaultPath = "/home/tester/Converted Files";

class OutputSettingsModelTest : public test::RegistryFileTest
{
protected:
    void store(const std::string& name, const std::string& value)
    {
        ASSERT_TRUE(reg.REGSaveSetting(HKLM, SettingsKey, name, value));
    }
    std::string stored(const std::string& name) { return reg.REGGetSetting(HKLM, SettingsKey, name, "<none>"); }

    // The value lines of the settings key, in file order.
    std::vector<std::string> storedNames()
    {
        std::vector<std::string> names;
        const std::string text = test::readFile(file);
        const std::string header = "[HKEY_LOCAL_MACHINE\\" + std::string(SettingsKey) + "]\n";
        auto pos = text.find(header);
        if (pos == std::string::npos)
            return names;
        pos += header.size();
        while (pos < text.size() && text[pos] != '\n' && text[pos] != '[') {
            const auto end = text.find('\n', pos);
            const std::string line = text.substr(pos, end - pos);
            names.push_back(line.substr(0, line.find('=')));
            pos = end + 1;
        }
        return names;
    }

    OutputSettingsModel loaded()
    {
        OutputSettingsModel model(reg, kDefaultPath);
        model.LoadSettings();
        return model;
    }
};

std::string summaryAfterLoad(CRegister& reg, const std::vector<std::pair<std::string, std::string>>& values)
{
    for (const auto& [name, value] : values)
        reg.REGSaveSetting(HKLM, SettingsKey, name, value);
    OutputSettingsModel model(reg, kDefaultPath);
    model.LoadSettings();
    reg.REGDeleteSetting(HKLM, SettingsKey, "");
    return model.settings().lblFormat;
}

} // namespace

TEST_F(OutputSettingsModelTest, FirstStartOnACleanStore)
{
    OutputSettingsModel model(reg, kDefaultPath);
    EXPECT_TRUE(model.bLoading());
    model.LoadSettings();
    const OutputSettings& s = model.settings();
    EXPECT_FALSE(model.bLoading());

    EXPECT_EQ(s.chosenFormat(), FileFormat::Ipod);
    EXPECT_EQ(s.frFormat, 4);
    EXPECT_EQ(s.lblFormat, "iPod Default format");
    EXPECT_TRUE(s.optOtherFolder.value);
    EXPECT_FALSE(s.optSameFolder.value);
    EXPECT_EQ(s.txtOutPath.text, kDefaultPath);
    EXPECT_TRUE(s.txtOutPath.enabled);
    EXPECT_TRUE(s.cmdBrowse.enabled);

    EXPECT_TRUE(s.optMP3CBR.value);
    EXPECT_FALSE(s.optMP3ABR.value || s.optMP3VBR.value);
    EXPECT_EQ(s.cmbMP3CBitrate.text(), "128 Kbps");
    EXPECT_EQ(s.cmbMP3ABitrate.text(), "128 Kbps");
    EXPECT_EQ(s.cmbMP3StereoMode.text(), "Joint Stereo");
    EXPECT_EQ(s.cmbMP3Freq.text(), "Auto Sampling");
    EXPECT_TRUE(s.cmbMP3CBitrate.enabled);
    EXPECT_FALSE(s.cmbMP3ABitrate.enabled);
    EXPECT_FALSE(s.SliderMP3VBR.enabled);
    EXPECT_EQ(s.SliderMP3EncoderQuality.value, 5);
    EXPECT_EQ(s.SliderMP3VBR.value, 5);

    EXPECT_TRUE(s.optOGGVBR.value);
    EXPECT_FALSE(s.optOGGCBR.value);
    EXPECT_EQ(s.sliderOGG.value, 3);
    EXPECT_EQ(s.cmbOGGVBitrate.text(), "128 Kbps");
    EXPECT_TRUE(s.cmbOGGVBitrate.enabled);
    EXPECT_FALSE(s.cmbOGGCBitrate.enabled);
    EXPECT_EQ(s.sliderWMA.value, 50);

    // The values that are never stored start as designed.
    EXPECT_FALSE(s.chkWMAFileTags.value);
    EXPECT_EQ(s.txtWMATags[1].text, "Artist");
    EXPECT_EQ(s.txtWMATags[7].text, "Year");
    EXPECT_FALSE(s.chkShutdown.value);

    // Loading writes the folder choice back, and nothing else.
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"optSameFolder", "txtOutPath"}));
    EXPECT_EQ(stored("optSameFolder"), "False");
    EXPECT_EQ(stored("txtOutPath"), kDefaultPath);
}

TEST_F(OutputSettingsModelTest, EverySummaryLine)
{
    EXPECT_EQ(summaryAfterLoad(reg, {{"optFileFormat", "0"}}), "WAV, Bitrate will be as input");
    EXPECT_EQ(summaryAfterLoad(reg, {{"optFileFormat", "1"}, {"sliderWMA", "37"}}), "WMA,Encoding Quality= 37");
    EXPECT_EQ(summaryAfterLoad(reg, {{"optFileFormat", "2"}}),
              "MP3,Joint Stereo,Auto Sampling,Constant Bitrate 128 Kbps");
    EXPECT_EQ(summaryAfterLoad(reg, {{"optFileFormat", "2"},
                                     {"cmbMP3StereoMode", "4"},
                                     {"cmbMP3Freq", "8"},
                                     {"optMP3ABR", "True"},
                                     {"cmbMP3ABitrate", "0"}}),
              "MP3,Dual Channels,44.1 KHz,Average Bitrate 310 Kbps");
    EXPECT_EQ(summaryAfterLoad(reg, {{"optFileFormat", "2"},
                                     {"cmbMP3StereoMode", "0"},
                                     {"cmbMP3Freq", "2"},
                                     {"optMP3VBR", "True"},
                                     {"SliderMP3VBR", "0"}}),
              "MP3,Mono,11.025 KHz,VBR Quality=0");
    EXPECT_EQ(summaryAfterLoad(
                  reg, {{"optFileFormat", "3"}, {"optOGGCBR", "1"}, {"optOGGVBR", "0"}, {"cmbOGGCBitrate", "0"}}),
              "OGG,Constant Bitrate 320 Kbps,Quality=3");
    EXPECT_EQ(summaryAfterLoad(reg, {{"optFileFormat", "3"}, {"sliderOGG", "-2"}, {"cmbOGGvBitrate", "8"}}),
              "OGG,Variable Bitrate 64 Kbps,Quality=-2");
    EXPECT_EQ(summaryAfterLoad(reg, {{"optFileFormat", "4"}}), "iPod Default format");
}

TEST_F(OutputSettingsModelTest, SummaryIsLeftAloneWithoutAnEntryOrAnMP3Mode)
{
    OutputSettingsModel model = loaded();
    model.setOption(C::optFileFormat, true, 2);
    model.setOption(C::optMP3CBR, false);
    model.ShowFormatSummary();
    EXPECT_EQ(model.settings().lblFormat, "iPod Default format");
    model.setOption(C::optFileFormat, false, 2);
    ASSERT_FALSE(model.settings().chosenFormat());
    model.ShowFormatSummary();
    EXPECT_EQ(model.settings().lblFormat, "iPod Default format");

    // From stored values: all three MP3 modes off.
    store("optFileFormat", "2");
    store("optMP3CBR", "False");
    EXPECT_EQ(loaded().settings().lblFormat, "");
}

TEST_F(OutputSettingsModelTest, AStepThatFailsIsSkippedAlone)
{
    store("cmbMP3Freq", "99");
    store("cmbMP3StereoMode", "1");
    store("cmbMP3CBitrate", "0");
    store("sliderOGG", "seven");
    store("optMP3ABR", "maybe");
    store("optFileFormat", "11");
    store("sliderWMA", "20");
    OutputSettingsModel model(reg, kDefaultPath);
    model.setComboIndex(C::cmbMP3Freq, 3);
    model.setSliderValue(C::sliderOGG, 8);
    model.setOption(C::optFileFormat, true, 1);
    model.LoadSettings();
    const OutputSettings& s = model.settings();
    EXPECT_EQ(s.cmbMP3Freq.text(), "12 KHz"); // kept its current state
    EXPECT_EQ(s.sliderOGG.value, 8);
    EXPECT_FALSE(s.optMP3ABR.value);
    EXPECT_EQ(s.chosenFormat(), FileFormat::WMA);
    EXPECT_EQ(s.cmbMP3StereoMode.text(), "Stereo");
    EXPECT_EQ(s.cmbMP3CBitrate.text(), "320 Kbps");
    EXPECT_EQ(s.sliderWMA.value, 20);
    EXPECT_EQ(s.lblFormat, "WMA,Encoding Quality= 20");
    EXPECT_FALSE(model.bLoading());

    // A fresh record keeps the design state of that combo.
    EXPECT_EQ(loaded().settings().cmbMP3Freq.text(), "Auto Sampling");
}

TEST_F(OutputSettingsModelTest, StoredTextsAreReadAsTheControlsWouldTakeThem)
{
    store("sliderWMA", "150");
    store("SliderMP3VBR", "-3");
    store("sliderOGG", " 10.5 ");
    store("SliderMP3EncoderQuality", "7.5");
    store("cmbMP3CBitrate", "-1");
    store("optMP3VBR", "-1");
    store("optOGGCBR", "TRUE");
    store("optOGGVBR", "False"); // read after the CBR option, so a stored "True" would win
    store("cmbOGGVBitrate", "99999999999");
    OutputSettings s = loaded().settings();
    EXPECT_EQ(s.sliderWMA.value, 100);
    EXPECT_EQ(s.SliderMP3VBR.value, 0);
    EXPECT_EQ(s.sliderOGG.value, 10);
    EXPECT_EQ(s.SliderMP3EncoderQuality.value, 8);
    EXPECT_EQ(s.cmbMP3CBitrate.listIndex, 6);
    EXPECT_TRUE(s.optMP3VBR.value);
    EXPECT_FALSE(s.optMP3CBR.value);
    EXPECT_TRUE(s.SliderMP3VBR.enabled);
    EXPECT_FALSE(s.cmbMP3CBitrate.enabled);
    EXPECT_TRUE(s.optOGGCBR.value);
    EXPECT_FALSE(s.optOGGVBR.value);
    EXPECT_TRUE(s.cmbOGGCBitrate.enabled);
    EXPECT_FALSE(s.cmbOGGVBitrate.enabled);
    EXPECT_EQ(s.cmbOGGVBitrate.listIndex, 6);

    // "False" and "0" turn an option off; two options turned off leave their group with none on.
    store("optOtherFolder", "false");
    store("optSameFolder", "0");
    store("optOGGCBR", "0");
    store("optOGGVBR", "0");
    s = loaded().settings();
    EXPECT_FALSE(s.optOtherFolder.value || s.optSameFolder.value);
    EXPECT_TRUE(s.txtOutPath.enabled);
    EXPECT_FALSE(s.optOGGCBR.value || s.optOGGVBR.value);
    EXPECT_TRUE(s.cmbOGGVBitrate.enabled);
    EXPECT_EQ(s.lblFormat, "iPod Default format");
}

TEST_F(OutputSettingsModelTest, SameFolderDisablesThePathAndBrowse)
{
    store("optSameFolder", "True");
    store("txtOutPath", "/data/out");
    OutputSettingsModel model = loaded();
    const OutputSettings& s = model.settings();
    EXPECT_TRUE(s.optSameFolder.value);
    EXPECT_FALSE(s.optOtherFolder.value);
    EXPECT_FALSE(s.txtOutPath.enabled);
    EXPECT_FALSE(s.cmdBrowse.enabled);
    EXPECT_EQ(s.txtOutPath.text, "/data/out");

    model.clickOption(C::optOtherFolder);
    EXPECT_TRUE(s.txtOutPath.enabled && s.cmdBrowse.enabled);
    EXPECT_FALSE(s.optSameFolder.value);
    model.clickOption(C::optSameFolder);
    EXPECT_FALSE(s.txtOutPath.enabled || s.cmdBrowse.enabled);
    EXPECT_FALSE(s.optOtherFolder.value);
}

TEST_F(OutputSettingsModelTest, AnEmptyPathComesBackAsTheDefault)
{
    OutputSettingsModel model = loaded();
    model.setText(C::txtOutPath, "");
    model.SaveSettings();
    EXPECT_EQ(stored("txtOutPath"), "<none>"); // stored empty, which reads as missing
    EXPECT_EQ(loaded().settings().txtOutPath.text, kDefaultPath);
    EXPECT_EQ(stored("txtOutPath"), kDefaultPath);
}

TEST_F(OutputSettingsModelTest, DefaultsButtonResetsEverythingAndLeavesOnlyTheFolderStored)
{
    store("optSameFolder", "True");
    store("optFileFormat", "3");
    store("sliderOGG", "9");
    store("cmbMP3Freq", "5");
    OutputSettingsModel model = loaded();
    model.setText(C::txtOutPath, "/elsewhere");
    model.clickOption(C::optMP3VBR);
    model.SaveSettings();
    ASSERT_EQ(model.settings().lblFormat, "OGG,Variable Bitrate 128 Kbps,Quality=9");

    std::vector<OutputControl> changed;
    model.addChangeHandler([&](OutputControl control, int) { changed.push_back(control); });
    model.cmdDefaults();
    const OutputSettings& s = model.settings();
    const OutputSettings design = designOutputSettings(kDefaultPath);
    EXPECT_EQ(s.lblFormat, "iPod Default format");
    EXPECT_EQ(s.chosenFormat(), FileFormat::Ipod);
    EXPECT_EQ(s.frFormat, 4);
    EXPECT_EQ(s.txtOutPath.text, kDefaultPath);
    EXPECT_TRUE(s.optOtherFolder.value);
    EXPECT_TRUE(s.txtOutPath.enabled && s.cmdBrowse.enabled);
    EXPECT_EQ(s.sliderOGG.value, 3);
    EXPECT_EQ(s.cmbMP3Freq.listIndex, 0);
    EXPECT_TRUE(s.optMP3CBR.value && s.cmbMP3CBitrate.enabled);
    EXPECT_FALSE(s.SliderMP3VBR.enabled);
    EXPECT_NE(std::find(changed.begin(), changed.end(), C::lblFormat), changed.end());
    EXPECT_NE(std::find(changed.begin(), changed.end(), C::sliderOGG), changed.end());

    EXPECT_EQ(storedNames(), (std::vector<std::string>{"optSameFolder", "txtOutPath"}));
    EXPECT_EQ(stored("optSameFolder"), "False");
    EXPECT_EQ(stored("txtOutPath"), kDefaultPath);
}

TEST_F(OutputSettingsModelTest, SaveThenLoadRoundTripsEveryField)
{
    const auto check = [&](const std::function<void(OutputSettingsModel&)>& change) {
        reg.REGDeleteSetting(HKLM, SettingsKey, "");
        OutputSettingsModel first = loaded();
        change(first);
        first.ShowFormatSummary();
        EXPECT_TRUE(first.SaveSettings());
        OutputSettingsModel second = loaded();
        const OutputSettings& a = first.settings();
        const OutputSettings& b = second.settings();
        EXPECT_EQ(b.optOtherFolder.value, a.optOtherFolder.value);
        EXPECT_EQ(b.optSameFolder.value, a.optSameFolder.value);
        EXPECT_EQ(b.txtOutPath.text, a.txtOutPath.text);
        EXPECT_EQ(b.chosenFormat(), a.chosenFormat());
        EXPECT_EQ(b.frFormat, static_cast<int>(*a.chosenFormat()));
        EXPECT_EQ(b.sliderWMA.value, a.sliderWMA.value);
        EXPECT_EQ(b.cmbMP3StereoMode.listIndex, a.cmbMP3StereoMode.listIndex);
        EXPECT_EQ(b.cmbMP3Freq.listIndex, a.cmbMP3Freq.listIndex);
        EXPECT_EQ(b.SliderMP3EncoderQuality.value, a.SliderMP3EncoderQuality.value);
        EXPECT_EQ(b.optMP3CBR.value, a.optMP3CBR.value);
        EXPECT_EQ(b.optMP3ABR.value, a.optMP3ABR.value);
        EXPECT_EQ(b.optMP3VBR.value, a.optMP3VBR.value);
        EXPECT_EQ(b.SliderMP3VBR.value, a.SliderMP3VBR.value);
        EXPECT_EQ(b.cmbMP3CBitrate.listIndex, a.cmbMP3CBitrate.listIndex);
        EXPECT_EQ(b.cmbMP3ABitrate.listIndex, a.cmbMP3ABitrate.listIndex);
        EXPECT_EQ(b.sliderOGG.value, a.sliderOGG.value);
        EXPECT_EQ(b.optOGGCBR.value, a.optOGGCBR.value);
        EXPECT_EQ(b.optOGGVBR.value, a.optOGGVBR.value);
        EXPECT_EQ(b.cmbOGGCBitrate.listIndex, a.cmbOGGCBitrate.listIndex);
        EXPECT_EQ(b.cmbOGGVBitrate.listIndex, a.cmbOGGVBitrate.listIndex);
        EXPECT_EQ(b.lblFormat, a.lblFormat);
    };
    check([](OutputSettingsModel& m) {
        m.clickOption(C::optSameFolder);
        m.setText(C::txtOutPath, "/mnt/Müsik/out dir");
        m.clickOption(C::optFileFormat, 0);
        m.setSliderValue(C::sliderWMA, 0);
        m.setComboIndex(C::cmbMP3StereoMode, 0);
        m.setComboIndex(C::cmbMP3Freq, 9);
        m.setSliderValue(C::SliderMP3EncoderQuality, 9);
        m.clickOption(C::optMP3ABR);
        m.setSliderValue(C::SliderMP3VBR, 1);
        m.setComboIndex(C::cmbMP3CBitrate, 9);
        m.setComboIndex(C::cmbMP3ABitrate, 0);
        m.setSliderValue(C::sliderOGG, -2);
        m.clickOption(C::optOGGCBR);
        m.setComboIndex(C::cmbOGGCBitrate, 8);
        m.setComboIndex(C::cmbOGGVBitrate, 1);
    });
    check([](OutputSettingsModel& m) {
        m.clickOption(C::optFileFormat, 1);
        m.setSliderValue(C::sliderWMA, 100);
        m.clickOption(C::optMP3VBR);
        m.setSliderValue(C::sliderOGG, 10);
    });
    check([](OutputSettingsModel& m) {
        m.clickOption(C::optFileFormat, 2);
        m.clickOption(C::optMP3CBR);
    });
    check([](OutputSettingsModel& m) { m.clickOption(C::optFileFormat, 3); });
    check([](OutputSettingsModel&) {});

    // The OGG VBR index goes under the name the loader does not spell the same way.
    EXPECT_NE(test::readFile(file).find("cmbOGGvBitrate="), std::string::npos);
}

TEST_F(OutputSettingsModelTest, SaveWritesEveryValueInItsOrder)
{
    OutputSettingsModel model(reg, kDefaultPath);
    model.SaveSettings();
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"optOtherFolder",
                                                       "optSameFolder",
                                                       "txtOutPath",
                                                       "optFileFormat",
                                                       "sliderWMA",
                                                       "cmbMP3StereoMode",
                                                       "cmbMP3Freq",
                                                       "SliderMP3EncoderQuality",
                                                       "optMP3CBR",
                                                       "optMP3ABR",
                                                       "optMP3VBR",
                                                       "SliderMP3VBR",
                                                       "cmbMP3CBitrate",
                                                       "cmbMP3ABitrate",
                                                       "sliderOGG",
                                                       "optOGGCBR",
                                                       "optOGGVBR",
                                                       "cmbOGGCBitrate",
                                                       "cmbOGGvBitrate",
                                                       "sliderFLACLevel",
                                                       "sliderOpusBitrate",
                                                       "sliderAACBitrate",
                                                       "chkCarryTags",
                                                       "sliderParallelJobs",
                                                       "chkIncludeSubFolders",
                                                       "chkKeepSubFolders",
                                                       "txtNamePattern",
                                                       "cmbIfExists",
                                                       "chkReplayGain",
                                                       "chkTruePeak",
                                                       "cmbNormalize",
                                                       "sliderTargetLufs"}));
    EXPECT_EQ(stored("optOtherFolder"), "True");
    EXPECT_EQ(stored("optOGGVBR"), "True");
    EXPECT_EQ(stored("optFileFormat"), "4");
    EXPECT_EQ(stored("sliderOGG"), "3");
}

TEST_F(OutputSettingsModelTest, LayoutAndLoudnessChoicesAreStoredAndLoaded)
{
    const OutputSettings first = loaded().settings();
    EXPECT_FALSE(first.chkIncludeSubFolders.value);
    EXPECT_FALSE(first.chkKeepSubFolders.value);
    EXPECT_EQ(first.txtNamePattern.text, "");
    EXPECT_EQ(first.cmbIfExists.text(), "Rename");
    EXPECT_TRUE(first.chkReplayGain.value);
    EXPECT_TRUE(first.chkTruePeak.value);
    EXPECT_EQ(first.cmbNormalize.text(), "Off");
    EXPECT_EQ(first.sliderTargetLufs.value, -18);

    OutputSettingsModel model = loaded();
    model.clickCheck(C::chkIncludeSubFolders, true);
    model.clickCheck(C::chkKeepSubFolders, true);
    model.setText(C::txtNamePattern, "{albumartist}/{album}/{track:02} {title}");
    model.setComboIndex(C::cmbIfExists, static_cast<int>(IfExistsChoice::Update));
    model.clickCheck(C::chkReplayGain, false);
    model.clickCheck(C::chkTruePeak, false);
    model.setComboIndex(C::cmbNormalize, static_cast<int>(NormalizeChoice::Album));
    model.setSliderValue(C::sliderTargetLufs, -23);
    ASSERT_TRUE(model.SaveSettings());

    const OutputSettings again = loaded().settings();
    EXPECT_TRUE(again.chkIncludeSubFolders.value);
    EXPECT_TRUE(again.chkKeepSubFolders.value);
    EXPECT_EQ(again.txtNamePattern.text, "{albumartist}/{album}/{track:02} {title}");
    EXPECT_EQ(again.cmbIfExists.text(), "Update");
    EXPECT_FALSE(again.chkReplayGain.value);
    EXPECT_FALSE(again.chkTruePeak.value);
    EXPECT_EQ(again.cmbNormalize.text(), "Album");
    EXPECT_EQ(again.sliderTargetLufs.value, -23);

    // Values from outside the lists and ranges keep the default or the nearer end.
    store("cmbIfExists", "9");
    store("sliderTargetLufs", "-99");
    const OutputSettings odd = loaded().settings();
    EXPECT_EQ(odd.sliderTargetLufs.value, -30);
    EXPECT_TRUE(odd.cmbIfExists.hasIndex(odd.cmbIfExists.listIndex));
}

TEST_F(OutputSettingsModelTest, CarryingTagsOverIsOnUntilTurnedOffAndStaysStored)
{
    EXPECT_TRUE(loaded().settings().chkCarryTags.value);
    EXPECT_TRUE(designOutputSettings(kDefaultPath).chkCarryTags.value);

    OutputSettingsModel model = loaded();
    std::vector<OutputControl> changed;
    model.addChangeHandler([&](OutputControl control, int) { changed.push_back(control); });
    model.clickCheck(C::chkCarryTags, false);
    EXPECT_EQ(changed, std::vector<OutputControl>{C::chkCarryTags});
    EXPECT_TRUE(model.SaveSettings());
    EXPECT_EQ(stored("chkCarryTags"), "False");
    EXPECT_FALSE(loaded().settings().chkCarryTags.value);

    // Any text the store reads as true or false counts; anything else leaves the default.
    store("chkCarryTags", "1");
    EXPECT_TRUE(loaded().settings().chkCarryTags.value);
    store("chkCarryTags", "false");
    EXPECT_FALSE(loaded().settings().chkCarryTags.value);
    store("chkCarryTags", "maybe");
    EXPECT_TRUE(loaded().settings().chkCarryTags.value);

    store("chkCarryTags", "False");
    OutputSettingsModel reset = loaded();
    reset.cmdDefaults();
    EXPECT_TRUE(reset.settings().chkCarryTags.value);
}

TEST_F(OutputSettingsModelTest, LoadingFollowsItsOrder)
{
    store("optFileFormat", "1");
    store("sliderWMA", "70");
    OutputSettingsModel model(reg, kDefaultPath);
    std::vector<std::pair<OutputControl, bool>> seen; // control, bLoading at that moment
    model.addChangeHandler([&](OutputControl control, int) { seen.emplace_back(control, model.bLoading()); });
    model.LoadSettings();
    const auto at = [&](OutputControl control) {
        return std::find_if(seen.begin(), seen.end(), [&](const auto& entry) { return entry.first == control; });
    };
    ASSERT_NE(at(C::frFormat), seen.end());
    ASSERT_NE(at(C::sliderWMA), seen.end());
    ASSERT_NE(at(C::lblFormat), seen.end());
    EXPECT_TRUE(at(C::frFormat)->second);   // the format is chosen while still loading
    EXPECT_FALSE(at(C::sliderWMA)->second); // the WMA slider is set after the flag is lowered
    EXPECT_LT(at(C::frFormat), at(C::sliderWMA));
    EXPECT_EQ(seen.back().first, C::lblFormat);
}

TEST_F(OutputSettingsModelTest, PanelClicksSetTheOtherControls)
{
    OutputSettingsModel model = loaded();
    const OutputSettings& s = model.settings();
    std::vector<std::pair<OutputControl, int>> changed;
    model.addChangeHandler([&](OutputControl control, int index) { changed.emplace_back(control, index); });

    model.clickOption(C::optFileFormat, 1);
    EXPECT_EQ(s.frFormat, 1);
    EXPECT_EQ(s.chosenFormat(), FileFormat::WMA);
    EXPECT_FALSE(s.optFileFormat[4].value);
    EXPECT_EQ(s.lblFormat, "iPod Default format"); // redrawn only when the panel closes
    EXPECT_NE(std::find(changed.begin(), changed.end(), std::make_pair(C::frFormat, 1)), changed.end());
    EXPECT_NE(std::find(changed.begin(), changed.end(), std::make_pair(C::optFileFormat, 4)), changed.end());
    model.ShowFormatSummary();
    EXPECT_EQ(s.lblFormat, "WMA,Encoding Quality= 50");

    model.setSliderValue(C::SliderMP3VBR, 7);
    model.clickOption(C::optMP3VBR);
    EXPECT_TRUE(s.SliderMP3VBR.enabled);
    EXPECT_FALSE(s.cmbMP3CBitrate.enabled || s.cmbMP3ABitrate.enabled);
    model.clickOption(C::optMP3CBR);
    EXPECT_FALSE(s.SliderMP3VBR.enabled);
    EXPECT_EQ(s.SliderMP3VBR.value, 7);
    model.clickOption(C::optMP3ABR);
    EXPECT_TRUE(s.cmbMP3ABitrate.enabled);
    EXPECT_FALSE(s.cmbMP3CBitrate.enabled || s.SliderMP3VBR.enabled);
    EXPECT_FALSE(s.optMP3CBR.value || s.optMP3VBR.value);

    model.clickOption(C::optOGGCBR);
    EXPECT_TRUE(s.cmbOGGCBitrate.enabled);
    EXPECT_FALSE(s.cmbOGGVBitrate.enabled || s.optOGGVBR.value);
    model.clickOption(C::optOGGVBR);
    EXPECT_FALSE(s.cmbOGGCBitrate.enabled);
    EXPECT_TRUE(s.cmbOGGVBitrate.enabled);

    model.clickCheck(C::chkWMAFileTags, true);
    for (const TextBox& box : s.txtWMATags)
        EXPECT_TRUE(box.enabled);
    model.clickCheck(C::chkWMAFileTags, false);
    EXPECT_FALSE(s.txtWMATags[3].enabled);

    model.setSliderValue(C::sliderOGG, -100);
    EXPECT_EQ(s.sliderOGG.value, -2);
    EXPECT_FALSE(model.setComboIndex(C::cmbOGGCBitrate, 9)); // nine entries
    EXPECT_EQ(s.cmbOGGCBitrate.listIndex, 6);

    model.setComboList(C::cmbWMAEncodingBitrate, {"192 Kbps", "128 Kbps"}, {192000, 128000});
    EXPECT_TRUE(model.setComboIndex(C::cmbWMAEncodingBitrate, 1));
    EXPECT_EQ(s.cmbWMAEncodingBitrate.text(), "128 Kbps");
    EXPECT_EQ(s.cmbWMAEncodingBitrate.itemData[1], 128000);

    // Nothing of this reached the store.
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"optSameFolder", "txtOutPath"}));
    EXPECT_THROW(model.setSliderValue(C::cmbMP3Freq, 1), std::logic_error);
}

TEST_F(OutputSettingsModelTest, AReadOnlyStoreLoadsAndTheProgramRunsOn)
{
    store("optFileFormat", "0");
    store("sliderWMA", "10");
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(file.parent_path().c_str(), 0555);
    ::chmod(file.c_str(), 0444);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(100);
        CRegister store(file);
        OutputSettingsModel model(store, kDefaultPath);
        model.LoadSettings();
        if (model.settings().lblFormat != "WAV, Bitrate will be as input")
            ::_exit(1);
        model.setSliderValue(C::sliderWMA, 90);
        if (model.SaveSettings())
            ::_exit(3);
        model.cmdDefaults(); // the key stays, but every control shows its default
        if (model.settings().lblFormat != "iPod Default format" || model.settings().sliderWMA.value != 50)
            ::_exit(2);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(stored("sliderWMA"), "10");
}

TEST_F(OutputSettingsModelTest, TwoCopiesKeepEachOthersChanges)
{
    store("sliderOGG", "3");
    store("cmbMP3Freq", "0");
    OutputSettingsModel first = loaded();
    CRegister secondStore(file);
    OutputSettingsModel second(secondStore, kDefaultPath);
    second.LoadSettings();

    first.setSliderValue(C::sliderOGG, 8);
    ASSERT_TRUE(first.SaveSettings());
    second.setComboIndex(C::cmbMP3Freq, 7);
    ASSERT_TRUE(second.SaveSettings());
    EXPECT_EQ(stored("sliderOGG"), "8");
    EXPECT_EQ(stored("cmbMP3Freq"), "7");

    // A copy that changed nothing keeps what the other saved; one loading afterwards sees both.
    OutputSettingsModel idle = loaded();
    store("sliderOGG", "9");
    ASSERT_TRUE(idle.SaveSettings());
    EXPECT_EQ(stored("sliderOGG"), "9");
    // Its own change wins over an older one.
    idle.setSliderValue(C::sliderOGG, 1);
    ASSERT_TRUE(idle.SaveSettings());
    EXPECT_EQ(stored("sliderOGG"), "1");
}

TEST_F(OutputSettingsModelTest, AStartWritesTheFolderBackOnlyOverWhatItRead)
{
    store("optSameFolder", "1");
    store("txtOutPath", "/music/out");
    OutputSettingsModel model(reg, kDefaultPath);
    // Another copy saves a new folder while this one is between reading and writing back: as if it
    // did so just before, from the change handler of the first value read.
    bool once = false;
    model.addChangeHandler([&](OutputControl control, int) {
        if (control == C::txtOutPath && !once) {
            once = true;
            CRegister(file).REGSaveSetting(HKLM, SettingsKey, "txtOutPath", "/newer");
        }
    });
    model.LoadSettings();
    EXPECT_EQ(model.settings().txtOutPath.text, "/music/out");
    EXPECT_EQ(stored("txtOutPath"), "/newer");
    EXPECT_EQ(stored("optSameFolder"), "True"); // the spelling is the window's, the value the same
}
