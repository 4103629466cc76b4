// The sliding panels, the window buttons and the theme of the real main window.
#include "MainWindowFixture.h"
#include "Slider.h"
#include "Theme.h"
#include "ThemedButton.h"
#include "ThemedPanel.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableView>

namespace tunevale
{
namespace
{

using test::MainWindowFixture;

class MainWindowPanels : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        ASSERT_TRUE(startWindow());
    }
    bool settle()
    {
        return test::waitFor([&] { return !window->tmrAnimateRunning(); }, 10000);
    }
    int top(const char* panel) { return window->panelTopTwips(control<QWidget>(panel)); }
};

TEST_F(MainWindowPanels, PanelSettlesAt2715WhateverTheWindowHeight)
{
    for (int height : {640, 500, 900}) {
        window->setFixedSize(window->width(), height);
        control<QAbstractButton>("cmdChangeFormat")->click();
        EXPECT_TRUE(window->tmrAnimateRunning());
        EXPECT_FALSE(control<QWidget>("frMain")->isEnabled());
        ASSERT_TRUE(settle());
        EXPECT_EQ(top("frFormats"), 2715) << height;
        EXPECT_EQ(control<QWidget>("frFormats")->y(), 181) << height;

        control<QAbstractButton>("cmdHide")->click();
        ASSERT_TRUE(settle());
        EXPECT_EQ(top("frFormats"), height * 15);
        EXPECT_EQ(control<QWidget>("frFormats")->y(), height);
        EXPECT_TRUE(control<QWidget>("frMain")->isEnabled());
    }
}

TEST_F(MainWindowPanels, SecondAboutPressIsIgnoredAndTheOtherPanelStaysParked)
{
    const int parked = top("frFormats");
    control<QAbstractButton>("cmdAbout")->click();
    QTest::qWait(30);
    const int risen = top("frAbout");
    EXPECT_LT(risen, parked);
    control<QAbstractButton>("cmdAbout")->click();
    control<QAbstractButton>("cmdChangeFormat")->click();
    ASSERT_TRUE(settle());
    EXPECT_EQ(top("frAbout"), 2715);
    EXPECT_EQ(top("frFormats"), parked) << "no second panel rose";

    control<QAbstractButton>("cmdCloseHelp")->click();
    ASSERT_TRUE(settle());
    EXPECT_EQ(top("frAbout"), parked);
    EXPECT_TRUE(control<QWidget>("frMain")->isEnabled());
}

TEST_F(MainWindowPanels, SaveAndCloseDuringARiseFallsBackAndShowsTheNewSummary)
{
    control<QAbstractButton>("cmdChangeFormat")->click();
    control<QRadioButton>("optFileFormat_0")->click();
    EXPECT_EQ(control<QStackedWidget>("frFormat")->currentIndex(), 0);
    EXPECT_EQ(control<QLabel>("lblFormat")->text(), "iPod Default format") << "the summary waits for Save & Close";
    ASSERT_TRUE(test::waitFor([&] { return top("frFormats") < window->height() * 15 - 600; }));
    ASSERT_TRUE(window->tmrAnimateRunning());
    const int from = top("frFormats");
    control<QAbstractButton>("cmdHide")->click();
    // A busy machine may hold the first tick back a while: wait for it rather than for a time.
    EXPECT_TRUE(test::waitFor([&] { return top("frFormats") > from; })) << "it falls from where it was";
    ASSERT_TRUE(settle());
    EXPECT_EQ(top("frFormats"), window->height() * 15);
    EXPECT_TRUE(control<QWidget>("frMain")->isEnabled());
    EXPECT_EQ(control<QLabel>("lblFormat")->text(), "WAV, Bitrate will be as input");
}

TEST_F(MainWindowPanels, HelpAndWebSiteOpenThroughTheShell)
{
    control<QAbstractButton>("MyButton1")->click();
    control<QAbstractButton>("cmdAbout")->click();
    ASSERT_TRUE(settle());
    emit control<QLabel>("lblWebSite")->linkActivated(QString());
    ASSERT_EQ(shell.opened.size(), 2u);
    EXPECT_NE(shell.opened[1].find("brindle-tunevale"), std::string::npos);
    EXPECT_TRUE(messages.shown.empty()) << "nothing is reported whatever the shell does";
}

TEST_F(MainWindowPanels, ThemeColoursEachKindOfControl)
{
    for (const char* name : {"frMain", "frFormats", "frAbout", "frFormat_2"}) {
        auto* panel = control<ThemedPanel>(name);
        EXPECT_EQ(panel->BodyColorBottomLeft(), theme::C1) << name;
        EXPECT_EQ(panel->BodyColorBottomRight(), theme::C2) << name;
        EXPECT_EQ(panel->BodyColorTopLeft(), theme::C1) << name;
        EXPECT_EQ(panel->BorderColor(), theme::C3) << name;
        EXPECT_EQ(panel->ForeColor(), theme::C4) << name;
        EXPECT_EQ(panel->HeaderColorBottomLeft(), theme::C3) << name;
        EXPECT_EQ(panel->HeaderColorTopLeft(), theme::C2) << name;
    }
    EXPECT_NE(control<ThemedPanel>("MyFrame1")->BodyColorTopLeft(), theme::C1) << "MyFrame1 keeps its own look";
    for (const char* name : {"cmdConvert", "cmdHide", "cmdCloseHelp", "cmdClose"}) {
        auto* button = control<ThemedButton>(name);
        for (const QColor& colour : {button->BackColor(), button->BackColorDisabled(), button->BackColorFocus(),
                                     button->BorderColor(), button->ToolTipBackColor()})
            EXPECT_EQ(colour, theme::C1) << name;
    }
    EXPECT_EQ(control<QLineEdit>("txtOutPath")->palette().color(QPalette::Base), theme::C1);
    EXPECT_EQ(control<QLineEdit>("txtWMATags_3")->palette().color(QPalette::Base), theme::C1);
    EXPECT_EQ(control<QComboBox>("cmbMP3Freq")->palette().color(QPalette::Base), theme::C1);
    EXPECT_EQ(control<QTableView>("Grid")->palette().color(QPalette::Base), theme::C1);
    auto* slider = control<Slider>("sliderOGG");
    EXPECT_EQ(slider->backColor(), sliderRgb(255, 192, 255));
    EXPECT_EQ(slider->foreColor2(), sliderRgb(255, 192, 255));
    EXPECT_EQ(slider->foreColor(), sliderRgb(255, 0, 0));
    EXPECT_EQ(control<QLabel>("lblFormat")->palette().color(QPalette::WindowText), theme::C4);
    EXPECT_EQ(control<QLabel>("lblSliderOGG")->palette().color(QPalette::WindowText), theme::C4);
    EXPECT_NE(control<QRadioButton>("optSameFolder")->palette().color(QPalette::WindowText), theme::C4)
        << "option buttons keep their colours";
    EXPECT_NE(control<QWidget>("chkShutdown")->palette().color(QPalette::WindowText), theme::C4);
}

TEST_F(MainWindowPanels, SettingsPanelRules)
{
    control<QRadioButton>("optFileFormat_2")->click();
    auto* vbr = control<Slider>("SliderMP3VBR");
    control<QRadioButton>("optMP3VBR")->click();
    vbr->setValue(7);
    EXPECT_EQ(control<QLabel>("lblMP3VBREncodSlider")->text(), "7");
    control<QRadioButton>("optMP3CBR")->click();
    EXPECT_FALSE(vbr->isEnabled());
    EXPECT_TRUE(control<QWidget>("cmbMP3CBitrate")->isEnabled());
    EXPECT_FALSE(control<QWidget>("cmbMP3ABitrate")->isEnabled());
    control<QRadioButton>("optMP3VBR")->click();
    EXPECT_TRUE(vbr->isEnabled());
    EXPECT_EQ(vbr->value(), 7);
    EXPECT_FALSE(control<QRadioButton>("optMP3CBR")->isChecked());

    // The OGG mode follows the stored setting: its options are not shown.
    EXPECT_FALSE(control<QWidget>("optOGGCBR")->isVisibleTo(window.get()));
    EXPECT_FALSE(control<QWidget>("optOGGVBR")->isVisibleTo(window.get()));
    EXPECT_TRUE(control<QWidget>("cmbOGGVBitrate")->isEnabled());
    EXPECT_FALSE(control<QWidget>("cmbOGGCBitrate")->isEnabled());

    auto* tags = control<QAbstractButton>("chkWMAFileTags");
    EXPECT_EQ(control<QLineEdit>("txtWMATags_1")->text(), "Artist");
    tags->click();
    EXPECT_TRUE(control<QWidget>("txtWMATags_7")->isEnabled());
    tags->click();
    EXPECT_FALSE(control<QWidget>("txtWMATags_7")->isEnabled());

    dialogs.folderAnswers = {"", "/tmp/Picked"};
    control<QAbstractButton>("cmdBrowse")->click();
    EXPECT_EQ(control<QLineEdit>("txtOutPath")->text().toStdString(), (dir / "Converted Files").string());
    control<QAbstractButton>("cmdBrowse")->click();
    EXPECT_EQ(control<QLineEdit>("txtOutPath")->text(), "/tmp/Picked");

    control<QAbstractButton>("cmdDefaults")->click();
    EXPECT_TRUE(control<QRadioButton>("optFileFormat_4")->isChecked());
    EXPECT_EQ(control<QLabel>("lblFormat")->text(), "iPod Default format");
    EXPECT_EQ(vbr->value(), 5);

    // The WMA notice and its two buttons.
    auto* notice = control<QWidget>("frFormat_5");
    EXPECT_FALSE(notice->isVisibleTo(window.get()));
    control<QAbstractButton>("cmdDownloadWMF")->click();
    control<QAbstractButton>("cmdOpenWMSite")->click();
    EXPECT_EQ(installer.downloads, 1);
    EXPECT_EQ(installer.pages, 1);
}

} // namespace
} // namespace tunevale
