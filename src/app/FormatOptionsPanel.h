#pragma once

#include "OutputFormat.h"
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

// The format-options panel (frFormats): the output format choice (one option per format of the
// catalog) and, in a stack of per-format panels (frFormat, by format number), the options of each
// format; "frFormat_5", inside the WMA panel, tells that WMA output is not available here and offers
// to install it. Formats without a panel of their own get one from their description: its text and
// the slider of its option. Below the stack, the loudness controls that apply to every format.
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

    // The slider of each format's one option (named after its stored key) and its number; nullptr
    // for the formats that have none.
    std::array<Slider*, kFileFormatCount> formatOption{};
    std::array<QLabel*, kFileFormatCount> lblFormatOption{};

    QCheckBox* chkReplayGain;
    QCheckBox* chkTruePeak;
    QComboBox* cmbNormalize;
    Slider* sliderTargetLufs;
    QLabel* lblTargetLufs;

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
    QWidget* makePanel(const OutputFormat& format);
    QWidget* makeDescribedPanel(const OutputFormat& format);
    QWidget* makeLoudnessRow();
};

} // namespace tunevale
