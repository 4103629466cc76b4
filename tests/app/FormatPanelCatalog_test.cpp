// The format panel's choices and options as the catalog of formats gives them, and the loudness
// controls, in the real window: shown, bound to the stored settings, and read by the run.
#include "MainWindowFixture.h"
#include "Slider.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QStackedWidget>

namespace tunevale
{
namespace
{

using test::MainWindowFixture;

class FormatPanelCatalog : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        ASSERT_TRUE(startWindow());
    }
    void restart()
    {
        control<QAbstractButton>("cmdClose")->click();
        window.reset();
        ASSERT_TRUE(startWindow());
    }
};

TEST_F(FormatPanelCatalog, EveryFormatHasItsChoiceAndItsPanel)
{
    auto* stack = control<QStackedWidget>("frFormat");
    ASSERT_EQ(stack->count(), kFileFormatCount);
    for (const OutputFormat* format : outputFormats()) {
        SCOPED_TRACE(format->cliName);
        auto* choice = control<QRadioButton>(("optFileFormat_" + std::to_string(format->index())).c_str());
        ASSERT_NE(choice, nullptr);
        EXPECT_EQ(choice->text().toStdString(), format->caption);
        choice->click();
        EXPECT_TRUE(choice->isChecked());
        EXPECT_EQ(stack->currentIndex(), format->index());
        if (format->index() >= static_cast<int>(FileFormat::FLAC)) {
            EXPECT_EQ(stack->currentWidget()->objectName().toStdString(), std::string("frFormat_") + format->cliName);
        }
    }
    // The new choices come after "Ipod Default", in the same column.
    EXPECT_LT(control<QWidget>("optFileFormat_4")->y(), control<QWidget>("optFileFormat_5")->y());
    EXPECT_EQ(control<QWidget>("optFileFormat_4")->x(), control<QWidget>("optFileFormat_10")->x());
    EXPECT_TRUE(control<QWidget>("optFileFormat_10")->isVisibleTo(window.get()));
}

TEST_F(FormatPanelCatalog, OptionSlidersShowTheirValueAndTheSummaryFollows)
{
    control<QAbstractButton>("cmdChangeFormat")->click();
    control<QRadioButton>("optFileFormat_5")->click();
    auto* level = control<Slider>("sliderFLACLevel");
    EXPECT_EQ(level->min(), 0);
    EXPECT_EQ(level->max(), 8);
    EXPECT_EQ(level->value(), 5);
    level->setValue(8);
    EXPECT_EQ(control<QLabel>("lblsliderFLACLevel")->text(), "8");
    control<QAbstractButton>("cmdHide")->click();
    EXPECT_TRUE(
        test::waitFor([&] { return control<QLabel>("lblFormat")->text() == "FLAC,Compression Level=8"; }, 10000))
        << control<QLabel>("lblFormat")->text().toStdString();

    auto* opus = control<Slider>("sliderOpusBitrate");
    EXPECT_EQ(opus->min(), 32);
    EXPECT_EQ(opus->max(), 256);
    EXPECT_EQ(opus->value(), 128);
    auto* aac = control<Slider>("sliderAACBitrate");
    EXPECT_EQ(aac->min(), 64);
    EXPECT_EQ(aac->max(), 320);
    EXPECT_EQ(aac->value(), 192);
}

TEST_F(FormatPanelCatalog, OptionsAndLoudnessControlsComeBackAsLeft)
{
    control<QRadioButton>("optFileFormat_6")->click();
    control<Slider>("sliderOpusBitrate")->setValue(96);
    control<Slider>("sliderAACBitrate")->setValue(256);
    auto* replayGain = control<QCheckBox>("chkReplayGain");
    auto* truePeak = control<QCheckBox>("chkTruePeak");
    EXPECT_TRUE(replayGain->isChecked());
    EXPECT_TRUE(truePeak->isChecked());
    replayGain->click();
    auto* normalize = control<QComboBox>("cmbNormalize");
    ASSERT_EQ(normalize->count(), 3);
    EXPECT_EQ(normalize->itemText(2), "Album");
    EXPECT_EQ(normalize->currentIndex(), 0);
    emit normalize->activated(1);
    auto* target = control<Slider>("sliderTargetLufs");
    EXPECT_EQ(target->min(), -30);
    EXPECT_EQ(target->max(), -10);
    target->setValue(-14);
    EXPECT_EQ(control<QLabel>("lblTargetLufs")->text(), "-14");

    restart();
    EXPECT_TRUE(control<QRadioButton>("optFileFormat_6")->isChecked());
    EXPECT_EQ(control<QStackedWidget>("frFormat")->currentIndex(), 6);
    EXPECT_EQ(control<Slider>("sliderOpusBitrate")->value(), 96);
    EXPECT_EQ(control<Slider>("sliderAACBitrate")->value(), 256);
    EXPECT_EQ(control<Slider>("sliderFLACLevel")->value(), 5);
    EXPECT_FALSE(control<QCheckBox>("chkReplayGain")->isChecked());
    EXPECT_TRUE(control<QCheckBox>("chkTruePeak")->isChecked());
    EXPECT_EQ(control<QComboBox>("cmbNormalize")->currentIndex(), 1);
    EXPECT_EQ(control<Slider>("sliderTargetLufs")->value(), -14);
    EXPECT_EQ(control<QLabel>("lblFormat")->text(), "Opus,Variable Bitrate 96 Kbps");

    // The defaults button brings them all back.
    control<QAbstractButton>("cmdDefaults")->click();
    EXPECT_TRUE(control<QCheckBox>("chkReplayGain")->isChecked());
    EXPECT_EQ(control<QComboBox>("cmbNormalize")->currentIndex(), 0);
    EXPECT_EQ(control<Slider>("sliderOpusBitrate")->value(), 128);
    EXPECT_EQ(control<Slider>("sliderTargetLufs")->value(), -18);
}

TEST_F(FormatPanelCatalog, TheWindowConvertsToTheChosenNewFormat)
{
    std::filesystem::create_directory(dir / "in");
    const auto tone = test::makeTone(dir / "in" / "tone.flac", 2, 48000, 2, {"-c:a", "flac"});
    addThroughDialog(tone.string());
    control<QRadioButton>("optFileFormat_10")->click();
    control<QAbstractButton>("cmdConvert")->click();
    ASSERT_TRUE(test::waitFor([&] { return !window->conversionFlags().bConverting; }, 120000));
    EXPECT_EQ(status(0), "Complete") << window->jobs().rsJobs().at(0).Failure;
    const auto out = dir / "Converted Files" / "tone.wv";
    EXPECT_EQ(test::ffprobe(out, "stream=codec_name"), "wavpack");
    EXPECT_EQ(test::ffprobe(out, "stream=sample_rate"), "48000");
}

} // namespace
} // namespace tunevale
