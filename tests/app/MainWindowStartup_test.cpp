// Start-up and shut-down of the real main window: the order of the steps, the engine failure that
// ends the program, and the settings that come back at the next start.
#include "JobGrid.h"
#include "MainWindowFixture.h"
#include "ObservedEngine.h"
#include "Slider.h"
#include "Theme.h"
#include "ThemedPanel.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>

namespace tunevale
{
namespace
{

using test::MainWindowFixture;

class MainWindowStartup : public MainWindowFixture
{
};

TEST_F(MainWindowStartup, StepsRunInOrder)
{
    auto real = makeEngine();
    std::vector<std::string> steps;
    test::ObservedEngine observed(*real, [&](const std::string& call) {
        if (call == "Init") {
            // Before the engine: marker, bLoading, layout with theme, grid and version label.
            EXPECT_EQ(markersCreated, 1);
            EXPECT_TRUE(window->bLoading());
            EXPECT_EQ(window->Grid().model()->columnCount(), 6);
            EXPECT_TRUE(window->Grid().isColumnHidden(0));
            EXPECT_EQ(window->Grid().model()->headerData(3, Qt::Horizontal).toString(), "Conversion Status");
            EXPECT_EQ(control<QLabel>("lblVer")->text(), "1.0.0.4");
            EXPECT_EQ(window->panelTopTwips(control<QWidget>("frAbout")), window->height() * 15);
            EXPECT_EQ(window->panelTopTwips(control<QWidget>("frFormats")), window->height() * 15);
            EXPECT_EQ(control<ThemedPanel>("frMain")->BodyColorTopLeft(), theme::C1);
            EXPECT_EQ(control<QLabel>("lblFormat")->text(), "") << "settings are not loaded yet";
            EXPECT_FALSE(std::filesystem::exists(storeFile));
        }
        if (call == "WMAEncodeOpenFile") {
            // The capability check comes last, after the settings are loaded and bLoading is down.
            EXPECT_FALSE(window->bLoading());
            EXPECT_EQ(control<QLabel>("lblFormat")->text(), "iPod Default format");
        }
        steps.push_back(call.substr(0, call.find(' ')));
    });
    ASSERT_TRUE(startWindow(&observed));
    ASSERT_GE(steps.size(), 3u);
    EXPECT_EQ(steps.front(), "Init");
    EXPECT_EQ(steps[1], "PluginLoad");
    EXPECT_EQ(steps.back(), "WMAEncodeOpenFile");
    EXPECT_EQ(window->WMATagNames()[2], "WM/AlbumTitle");
    EXPECT_TRUE(messages.shown.empty());
    // The window is its main panel, without the system's frame.
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(window->size(), control<QWidget>("frMain")->size());
    // This engine writes WMA, so the notice that offers to install support stays hidden.
    EXPECT_FALSE(control<QWidget>("frFormat_5")->isVisibleTo(window.get()));

    closeWindow();
    EXPECT_EQ(steps.back(), "Free") << "shut-down releases the engine";
    EXPECT_TRUE(std::filesystem::exists(storeFile));
}

TEST_F(MainWindowStartup, WithoutAWmaEncoderTheNoticeTakesThePlaceOfTheWmaOptions)
{
    auto real = makeEngine();
    test::ObservedEngine observed(*real, [](const std::string&) {});
    observed.refuseWma = true;
    ASSERT_TRUE(startWindow(&observed));
    // The WMA page is not in front (Ipod Default is), so what counts is what the page would show.
    EXPECT_FALSE(control<QWidget>("frFormat_5")->isHidden());
    EXPECT_TRUE(control<QWidget>("sliderWMA")->parentWidget()->isHidden());
    EXPECT_TRUE(messages.shown.empty()) << "start-up itself says nothing";
    control<QAbstractButton>("cmdDownloadWMF")->click();
    EXPECT_EQ(installer.downloads, 1);
    closeWindow(); // while the engine it uses still exists
}

TEST_F(MainWindowStartup, NoSoundDeviceEndsStartupWithoutWritingSettings)
{
    const QByteArray driver = qgetenv("SDL_AUDIODRIVER");
    qputenv("SDL_AUDIODRIVER", "no-such-driver");
    const bool started = startWindow();
    qputenv("SDL_AUDIODRIVER", driver);

    EXPECT_FALSE(started);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Initialaization Error");
    EXPECT_NE(messages.shown[0].text.find("Error Code:BASS_ERROR_DEVICE"), std::string::npos);
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Critical);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(control<QLabel>("lblFormat")->text(), "") << "no settings were loaded";
    window->close();
    window.reset();
    EXPECT_FALSE(std::filesystem::exists(storeFile)) << "the road out of a failed start saves nothing";
}

TEST_F(MainWindowStartup, SettingsComeBackExactlyAsLeftAndTheListEmpty)
{
    ASSERT_TRUE(startWindow());
    EXPECT_EQ(control<QLabel>("lblFormat")->text(), "iPod Default format");
    EXPECT_TRUE(control<QRadioButton>("optOtherFolder")->isChecked());
    EXPECT_EQ(control<QLineEdit>("txtOutPath")->text().toStdString(), (dir / "Converted Files").string());

    const auto tone = test::makeTone(dir / "tone.wav", 1);
    addThroughDialog(tone.string());
    ASSERT_EQ(window->jobs().rsJobs().size(), 1u);

    control<QRadioButton>("optFileFormat_2")->click();
    control<QRadioButton>("optMP3VBR")->click();
    control<Slider>("SliderMP3VBR")->setValue(2);
    control<Slider>("sliderOGG")->setValue(-2);
    control<Slider>("sliderWMA")->setValue(77);
    emit control<QComboBox>("cmbMP3Freq")->activated(8);
    emit control<QComboBox>("cmbOGGVBitrate")->activated(1);
    auto* path = control<QLineEdit>("txtOutPath");
    path->clear();
    QTest::keyClicks(path, "/tmp/Elsewhere");
    control<QRadioButton>("optSameFolder")->click();
    EXPECT_FALSE(path->isEnabled());
    EXPECT_EQ(control<QLabel>("lblSliderOGG")->text(), "-2");
    control<QAbstractButton>("cmdClose")->click();
    EXPECT_FALSE(window->isVisible());
    window.reset();

    ASSERT_TRUE(startWindow());
    EXPECT_EQ(window->jobs().rsJobs().size(), 0u) << "the list is never stored";
    EXPECT_TRUE(control<QRadioButton>("optFileFormat_2")->isChecked());
    EXPECT_FALSE(control<QRadioButton>("optFileFormat_4")->isChecked());
    EXPECT_EQ(control<QStackedWidget>("frFormat")->currentIndex(), 2);
    EXPECT_TRUE(control<QRadioButton>("optMP3VBR")->isChecked());
    EXPECT_FALSE(control<QRadioButton>("optMP3CBR")->isChecked());
    EXPECT_TRUE(control<Slider>("SliderMP3VBR")->isEnabled());
    EXPECT_FALSE(control<QComboBox>("cmbMP3CBitrate")->isEnabled());
    EXPECT_EQ(control<Slider>("SliderMP3VBR")->value(), 2);
    EXPECT_EQ(control<QLabel>("lblMP3VBREncodSlider")->text(), "2");
    EXPECT_EQ(control<Slider>("sliderOGG")->value(), -2);
    EXPECT_EQ(control<QLabel>("lblSliderOGG")->text(), "-2");
    EXPECT_EQ(control<Slider>("sliderWMA")->value(), 77);
    EXPECT_EQ(control<QComboBox>("cmbMP3Freq")->currentText(), "44.1 KHz");
    EXPECT_EQ(control<QComboBox>("cmbOGGVBitrate")->currentText(), "288 Kbps");
    EXPECT_EQ(control<QLineEdit>("txtOutPath")->text(), "/tmp/Elsewhere");
    EXPECT_TRUE(control<QRadioButton>("optSameFolder")->isChecked());
    EXPECT_FALSE(control<QRadioButton>("optOtherFolder")->isChecked());
    EXPECT_FALSE(control<QLineEdit>("txtOutPath")->isEnabled());
    EXPECT_FALSE(control<QWidget>("cmdBrowse")->isEnabled());
    EXPECT_EQ(control<QLabel>("lblFormat")->text(), "MP3,Joint Stereo,44.1 KHz,VBR Quality=2");
}

} // namespace
} // namespace tunevale
