#pragma once

#include "OutputSettings.h"
#include "ThemedPanel.h"

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QStackedWidget;

namespace tunevale
{

class SettingsBinder;
class Slider;
class ThemedButton;

// The format-options panel (frFormats): the output format choice and, in a stack of per-format
// panels (frFormat 0-4), the options of each format; panel 5, inside the WMA panel, tells that WMA
// output is not available here and offers to install it.
class FormatOptionsPanel : public ThemedPanel
{
    Q_OBJECT
public:
    explicit FormatOptionsPanel(QWidget* parent = nullptr);

    // Connects every option, slider, list and box of the panel to the settings model.
    void bind(SettingsBinder& binder);
    // Puts the notice that WMA cannot be written in the place of the WMA options, or takes it away.
    void showWmaNotice(bool shown);

    std::array<QRadioButton*, kFileFormatCount> optFileFormat{};
    ThemedButton* cmdDefaults;
    ThemedButton* cmdHide;
    QStackedWidget* frFormat;
    ThemedPanel* frFormatWmaNotice; // frFormat index 5

    Slider* sliderWMA;
    QLabel* lblWMAQuality;
    QComboBox* cmbWMAEncodingBitrate;
    QCheckBox* chkWMAFileTags;
    std::array<QLineEdit*, kWMATagCount> txtWMATags{};
    ThemedButton* cmdDownloadWMF;
    ThemedButton* cmdOpenWMSite;

    QComboBox* cmbMP3StereoMode;
    QComboBox* cmbMP3Freq;
    Slider* SliderMP3EncoderQuality;
    QLabel* lblMP3EncodSlider;
    QRadioButton* optMP3CBR;
    QRadioButton* optMP3VBR;
    QRadioButton* optMP3ABR;
    QComboBox* cmbMP3CBitrate;
    Slider* SliderMP3VBR;
    QLabel* lblMP3VBREncodSlider;
    QComboBox* cmbMP3ABitrate;

    Slider* sliderOGG;
    QLabel* lblSliderOGG;
    QRadioButton* optOGGCBR;
    QRadioButton* optOGGVBR;
    QComboBox* cmbOGGCBitrate;
    QComboBox* cmbOGGVBitrate;

private:
    QWidget* m_wmaOptions = nullptr;

    QWidget* makeWavPanel();
    QWidget* makeWmaPanel();
    QWidget* makeMp3Panel();
    QWidget* makeOggPanel();
    QWidget* makeIpodPanel();
};

} // namespace tunevale
