#include "FormatOptionsPanel.h"

#include "SettingsBinder.h"
#include "Slider.h"
#include "ThemedButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tunevale
{

namespace
{

template <typename W> W* named(W* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

QLabel* label(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setWordWrap(false);
    return l;
}

QComboBox* comboBox(const QString& name, QWidget* parent)
{
    auto* combo = named(new QComboBox(parent), name);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    combo->setMinimumWidth(130);
    return combo;
}

Slider* slider(const QString& name, QWidget* parent)
{
    auto* s = named(new Slider(parent), name);
    s->setMinimumWidth(150);
    return s;
}

// A slider between its two end captions, with its number label after it.
QHBoxLayout* sliderRow(const QString& low, Slider* slider, const QString& high, QLabel* number)
{
    auto* row = new QHBoxLayout;
    row->addWidget(label(low, slider->parentWidget()));
    row->addWidget(slider, 1);
    row->addWidget(label(high, slider->parentWidget()));
    number->setMinimumWidth(24);
    row->addWidget(number);
    return row;
}

// A slider with its number label after it and its end captions below its two ends: captions as
// long as "Less Quality(Smaller File)" then neither squeeze the slider nor get cut off.
QVBoxLayout* sliderBlock(const QString& low, Slider* slider, const QString& high, QLabel* number)
{
    constexpr int kNumberWidth = 24;
    auto* block = new QVBoxLayout;
    block->setSpacing(0);
    auto* track = new QHBoxLayout;
    track->addWidget(slider, 1);
    number->setMinimumWidth(kNumberWidth);
    track->addWidget(number);
    block->addLayout(track);
    auto* ends = new QHBoxLayout;
    ends->addWidget(label(low, slider->parentWidget()));
    ends->addStretch(1);
    ends->addWidget(label(high, slider->parentWidget()));
    ends->addSpacing(kNumberWidth + track->spacing());
    block->addLayout(ends);
    return block;
}

} // namespace

FormatOptionsPanel::FormatOptionsPanel(QWidget* parent) : ThemedPanel(QStringLiteral("Output Audio Formats"), parent)
{
    setObjectName(QStringLiteral("frFormats"));
    auto* layout = new QHBoxLayout(this);

    auto* choice = new QVBoxLayout;
    choice->addWidget(label(QStringLiteral("Select the output file format:-"), this));
    for (const OutputFormat* format : outputFormats()) {
        const int i = format->index();
        optFileFormat[i] = named(new QRadioButton(QString::fromLatin1(format->caption), this),
                                 QStringLiteral("optFileFormat_%1").arg(i));
        choice->addWidget(optFileFormat[i]);
    }
    choice->addStretch(1);
    cmdDefaults = named(new ThemedButton(QStringLiteral("Restore Defaults"), this), QStringLiteral("cmdDefaults"));
    cmdHide = named(new ThemedButton(QStringLiteral("Save && Close"), this), QStringLiteral("cmdHide"));
    choice->addWidget(cmdDefaults);
    choice->addWidget(cmdHide);
    layout->addLayout(choice);

    auto* options = new QVBoxLayout;
    frFormat = named(new QStackedWidget(this), QStringLiteral("frFormat"));
    for (const OutputFormat* format : outputFormats())
        frFormat->addWidget(makePanel(*format));
    options->addWidget(frFormat, 1);
    options->addWidget(makeLoudnessRow());
    layout->addLayout(options, 1);
}

QWidget* FormatOptionsPanel::makePanel(const OutputFormat& format)
{
    switch (format.id) {
    case FileFormat::WAV:
        return makeWavPanel();
    case FileFormat::WMA:
        return makeWmaPanel();
    case FileFormat::MP3:
        return makeMp3Panel();
    case FileFormat::OGG:
        return makeOggPanel();
    case FileFormat::Ipod:
        return makeIpodPanel();
    default:
        return makeDescribedPanel(format);
    }
}

// The panel of a format without one of its own: what the format keeps of its source, and the
// slider of its option.
QWidget* FormatOptionsPanel::makeDescribedPanel(const OutputFormat& format)
{
    auto* panel = named(new ThemedPanel(QString::fromLatin1(format.caption), this),
                        QStringLiteral("frFormat_%1").arg(QString::fromLatin1(format.cliName)));
    auto* layout = new QVBoxLayout(panel);
    auto* text = label(QString::fromLatin1(format.panelText ? format.panelText : ""), panel);
    text->setWordWrap(true);
    layout->addWidget(text);
    if (format.option) {
        const FormatOption& option = *format.option;
        const int i = format.index();
        layout->addWidget(label(QString::fromLatin1(option.caption), panel));
        formatOption[i] = slider(QString::fromLatin1(option.storedKey), panel);
        lblFormatOption[i] =
            named(label({}, panel), QStringLiteral("lbl%1").arg(QString::fromLatin1(option.storedKey)));
        layout->addLayout(sliderBlock(QString::fromLatin1(option.lowCaption), formatOption[i],
                                      QString::fromLatin1(option.highCaption), lblFormatOption[i]));
    }
    layout->addStretch(1);
    return panel;
}

// ReplayGain tags, true or sample peak, normalising and its target: for every format.
QWidget* FormatOptionsPanel::makeLoudnessRow()
{
    auto* row = named(new QWidget(this), QStringLiteral("frLoudness"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    chkReplayGain = named(new QCheckBox(QStringLiteral("ReplayGain"), row), QStringLiteral("chkReplayGain"));
    chkTruePeak = named(new QCheckBox(QStringLiteral("True Peak"), row), QStringLiteral("chkTruePeak"));
    layout->addWidget(chkReplayGain);
    layout->addWidget(chkTruePeak);
    layout->addWidget(label(QStringLiteral("Normalize:"), row));
    cmbNormalize = named(new QComboBox(row), QStringLiteral("cmbNormalize"));
    layout->addWidget(cmbNormalize);
    layout->addWidget(label(QStringLiteral("Target LUFS:"), row));
    sliderTargetLufs = named(new Slider(row), QStringLiteral("sliderTargetLufs"));
    sliderTargetLufs->setMinimumWidth(90);
    layout->addWidget(sliderTargetLufs, 1);
    lblTargetLufs = named(label({}, row), QStringLiteral("lblTargetLufs"));
    lblTargetLufs->setMinimumWidth(24);
    layout->addWidget(lblTargetLufs);
    return row;
}

QWidget* FormatOptionsPanel::makeWavPanel()
{
    auto* panel = named(new ThemedPanel(QStringLiteral("WAV"), this), QStringLiteral("frFormat_0"));
    auto* layout = new QVBoxLayout(panel);
    auto* text =
        label(QStringLiteral("Sampling rate, Bitrate, and channels of the output file will be the same as input file"),
              panel);
    text->setWordWrap(true);
    layout->addWidget(text);
    layout->addStretch(1);
    return panel;
}

QWidget* FormatOptionsPanel::makeWmaPanel()
{
    auto* panel = named(new ThemedPanel(QStringLiteral("WMA"), this), QStringLiteral("frFormat_1"));
    auto* pageLayout = new QVBoxLayout(panel);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    m_wmaOptions = new QWidget(panel);
    pageLayout->addWidget(m_wmaOptions);
    auto* layout = new QVBoxLayout(m_wmaOptions);
    layout->addWidget(label(QStringLiteral("Encoding Quality:"), m_wmaOptions));
    sliderWMA = slider(QStringLiteral("sliderWMA"), m_wmaOptions);
    lblWMAQuality = named(label({}, m_wmaOptions), QStringLiteral("lblWMAQuality"));
    layout->addLayout(sliderRow(QStringLiteral("Low"), sliderWMA, QStringLiteral("High"), lblWMAQuality));
    auto* bitrateRow = new QHBoxLayout;
    bitrateRow->addWidget(label(QStringLiteral("Encoding Bitrate:"), m_wmaOptions));
    cmbWMAEncodingBitrate = comboBox(QStringLiteral("cmbWMAEncodingBitrate"), m_wmaOptions);
    bitrateRow->addWidget(cmbWMAEncodingBitrate);
    bitrateRow->addStretch(1);
    layout->addLayout(bitrateRow);
    chkWMAFileTags =
        named(new QCheckBox(QStringLiteral("Set WMA File ID Tags"), m_wmaOptions), QStringLiteral("chkWMAFileTags"));
    layout->addWidget(chkWMAFileTags);
    auto* tags = new QGridLayout;
    for (int i = 0; i < kWMATagCount; ++i) {
        txtWMATags[i] = named(new QLineEdit(m_wmaOptions), QStringLiteral("txtWMATags_%1").arg(i));
        tags->addWidget(txtWMATags[i], i / 2, i % 2);
    }
    layout->addLayout(tags);
    layout->addStretch(1);

    // Panel 5 takes the place of the WMA options when this system cannot write WMA.
    frFormatWmaNotice = named(new ThemedPanel(QString(), panel), QStringLiteral("frFormat_5"));
    pageLayout->addWidget(frFormatWmaNotice);
    auto* notice = new QVBoxLayout(frFormatWmaNotice);
    auto* text = label(QStringLiteral("Windows Media Format is not installed in your system and you can not select WMA "
                                      "as an output format unless you install Windows Media Format Version 9.0 or "
                                      "later or install Windows Media Player version 9.0 or later"),
                       frFormatWmaNotice);
    text->setWordWrap(true);
    notice->addWidget(text);
    notice->addWidget(label(QStringLiteral("* You have to restart Tunevale after installing."), frFormatWmaNotice));
    cmdDownloadWMF = named(new ThemedButton(QStringLiteral("Download and Install"), frFormatWmaNotice),
                           QStringLiteral("cmdDownloadWMF"));
    cmdOpenWMSite =
        named(new ThemedButton(QStringLiteral("Open Web Site"), frFormatWmaNotice), QStringLiteral("cmdOpenWMSite"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdDownloadWMF);
    buttons->addWidget(cmdOpenWMSite);
    buttons->addStretch(1);
    notice->addLayout(buttons);
    notice->addStretch(1);
    frFormatWmaNotice->hide();
    return panel;
}

void FormatOptionsPanel::showWmaNotice(bool shown)
{
    m_wmaOptions->setVisible(!shown);
    frFormatWmaNotice->setVisible(shown);
}

QWidget* FormatOptionsPanel::makeMp3Panel()
{
    auto* panel = named(new ThemedPanel(QStringLiteral("MP3"), this), QStringLiteral("frFormat_2"));
    auto* layout = new QGridLayout(panel);
    layout->addWidget(label(QStringLiteral("Channel Mode:"), panel), 0, 0);
    cmbMP3StereoMode = comboBox(QStringLiteral("cmbMP3StereoMode"), panel);
    layout->addWidget(cmbMP3StereoMode, 0, 1, Qt::AlignLeft);
    layout->addWidget(label(QStringLiteral("Sampling Rate:"), panel), 1, 0);
    cmbMP3Freq = comboBox(QStringLiteral("cmbMP3Freq"), panel);
    layout->addWidget(cmbMP3Freq, 1, 1, Qt::AlignLeft);
    layout->addWidget(label(QStringLiteral("Encoder Quality:"), panel), 2, 0);
    SliderMP3EncoderQuality = slider(QStringLiteral("SliderMP3EncoderQuality"), panel);
    lblMP3EncodSlider = named(label({}, panel), QStringLiteral("lblMP3EncodSlider"));
    layout->addLayout(sliderBlock(QStringLiteral("Low (Faster)"), SliderMP3EncoderQuality,
                                  QStringLiteral("High (Slower)"), lblMP3EncodSlider),
                      2, 1);
    layout->addWidget(label(QStringLiteral("Enocding Mode:"), panel), 3, 0);
    optMP3CBR = named(new QRadioButton(QStringLiteral("Constant Bitrate (CBR):"), panel), QStringLiteral("optMP3CBR"));
    cmbMP3CBitrate = comboBox(QStringLiteral("cmbMP3CBitrate"), panel);
    layout->addWidget(optMP3CBR, 4, 0);
    layout->addWidget(cmbMP3CBitrate, 4, 1, Qt::AlignLeft);
    optMP3VBR = named(new QRadioButton(QStringLiteral("Variable Bitrate (VBR):"), panel), QStringLiteral("optMP3VBR"));
    SliderMP3VBR = slider(QStringLiteral("SliderMP3VBR"), panel);
    lblMP3VBREncodSlider = named(label({}, panel), QStringLiteral("lblMP3VBREncodSlider"));
    layout->addWidget(optMP3VBR, 5, 0, 1, 2);
    // The VBR slider's captions are long: its block spans both columns, indented under its option.
    auto* vbr = new QHBoxLayout;
    vbr->addSpacing(20);
    vbr->addLayout(sliderBlock(QStringLiteral("Less Quality(Smaller File)"), SliderMP3VBR,
                               QStringLiteral("High Quality(Bigger File)"), lblMP3VBREncodSlider),
                   1);
    layout->addLayout(vbr, 6, 0, 1, 2);
    optMP3ABR = named(new QRadioButton(QStringLiteral("Average Bitrate (ABR):"), panel), QStringLiteral("optMP3ABR"));
    cmbMP3ABitrate = comboBox(QStringLiteral("cmbMP3ABitrate"), panel);
    layout->addWidget(optMP3ABR, 7, 0);
    layout->addWidget(cmbMP3ABitrate, 7, 1, Qt::AlignLeft);
    layout->setRowStretch(8, 1);
    layout->setColumnStretch(1, 1);
    return panel;
}

QWidget* FormatOptionsPanel::makeOggPanel()
{
    auto* panel = named(new ThemedPanel(QStringLiteral("OGG"), this), QStringLiteral("frFormat_3"));
    auto* layout = new QGridLayout(panel);
    layout->addWidget(label(QStringLiteral("Encoder Quality:"), panel), 0, 0);
    sliderOGG = slider(QStringLiteral("sliderOGG"), panel);
    lblSliderOGG = named(label({}, panel), QStringLiteral("lblSliderOGG"));
    layout->addLayout(sliderRow(QStringLiteral("Low"), sliderOGG, QStringLiteral("High"), lblSliderOGG), 0, 1);
    // The mode follows the stored setting: its two options exist but are not shown.
    optOGGVBR =
        named(new QRadioButton(QStringLiteral("Variable Bitrate (VBR) Value:-"), panel), QStringLiteral("optOGGVBR"));
    optOGGCBR = named(new QRadioButton(QStringLiteral("Constant Bitrate (CBR)"), panel), QStringLiteral("optOGGCBR"));
    optOGGVBR->hide();
    optOGGCBR->hide();
    layout->addWidget(label(QStringLiteral("Variable Bitrate (VBR) Value:-"), panel), 1, 0);
    cmbOGGVBitrate = comboBox(QStringLiteral("cmbOGGVBitrate"), panel);
    layout->addWidget(cmbOGGVBitrate, 1, 1, Qt::AlignLeft);
    cmbOGGCBitrate = comboBox(QStringLiteral("cmbOGGCBitrate"), panel);
    layout->addWidget(cmbOGGCBitrate, 2, 1, Qt::AlignLeft);
    layout->setRowStretch(3, 1);
    layout->setColumnStretch(1, 1);
    return panel;
}

QWidget* FormatOptionsPanel::makeIpodPanel()
{
    auto* panel = named(new ThemedPanel(QStringLiteral("Ipod Default"), this), QStringLiteral("frFormat_4"));
    auto* layout = new QVBoxLayout(panel);
    for (const char* line : {"iPod Default is mp3 format with special settings", "Output File Information:",
                             "Output BitRate:         128 Kbps", "Audio Sample Rate:    44 KHz",
                             "Audio Foramt:             MPEG Layer III", "Channels:                    Stereo"})
        layout->addWidget(label(QString::fromLatin1(line), panel));
    layout->addStretch(1);
    return panel;
}

void FormatOptionsPanel::bind(SettingsBinder& binder)
{
    for (int i = 0; i < kFileFormatCount; ++i)
        binder.option(optFileFormat[i], OutputControl::optFileFormat, i);
    binder.frontPanel(frFormat);

    binder.slider(sliderWMA, OutputControl::sliderWMA, lblWMAQuality);
    binder.combo(cmbWMAEncodingBitrate, OutputControl::cmbWMAEncodingBitrate);
    binder.check(chkWMAFileTags, OutputControl::chkWMAFileTags);
    for (int i = 0; i < kWMATagCount; ++i)
        binder.text(txtWMATags[i], OutputControl::txtWMATags, i);

    binder.combo(cmbMP3StereoMode, OutputControl::cmbMP3StereoMode);
    binder.combo(cmbMP3Freq, OutputControl::cmbMP3Freq);
    binder.slider(SliderMP3EncoderQuality, OutputControl::SliderMP3EncoderQuality, lblMP3EncodSlider);
    binder.option(optMP3CBR, OutputControl::optMP3CBR);
    binder.option(optMP3ABR, OutputControl::optMP3ABR);
    binder.option(optMP3VBR, OutputControl::optMP3VBR);
    binder.slider(SliderMP3VBR, OutputControl::SliderMP3VBR, lblMP3VBREncodSlider);
    binder.combo(cmbMP3CBitrate, OutputControl::cmbMP3CBitrate);
    binder.combo(cmbMP3ABitrate, OutputControl::cmbMP3ABitrate);

    for (const OutputFormat* format : outputFormats())
        if (Slider* option = formatOption[format->index()])
            binder.slider(option, OutputControl::formatOption, lblFormatOption[format->index()], format->index());
    binder.check(chkReplayGain, OutputControl::chkReplayGain);
    binder.check(chkTruePeak, OutputControl::chkTruePeak);
    binder.combo(cmbNormalize, OutputControl::cmbNormalize);
    binder.slider(sliderTargetLufs, OutputControl::sliderTargetLufs, lblTargetLufs);

    binder.slider(sliderOGG, OutputControl::sliderOGG, lblSliderOGG);
    binder.option(optOGGCBR, OutputControl::optOGGCBR);
    binder.option(optOGGVBR, OutputControl::optOGGVBR);
    binder.combo(cmbOGGCBitrate, OutputControl::cmbOGGCBitrate);
    binder.combo(cmbOGGVBitrate, OutputControl::cmbOGGVBitrate);
    binder.refresh();
}

} // namespace tunevale
