#include "AboutPanel.h"

#include "Endpoints.h"
#include "ThemedButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tunevale
{

AboutPanel::AboutPanel(QWidget* parent) : ThemedPanel(QStringLiteral("About"), parent)
{
    setObjectName(QStringLiteral("frAbout"));
    auto* layout = new QVBoxLayout(this);

    auto* product = new QLabel(QStringLiteral("Tunevale"), this);
    QFont big = product->font();
    big.setPointSize(big.pointSize() + 8);
    big.setBold(true);
    product->setFont(big);
    layout->addWidget(product);

    auto* description = new QLabel(
        QStringLiteral("Tunevale converts your audio files, CDs and the sound tracks of your videos into WAV, WMA, "
                       "MP3, OGG Vorbis, FLAC, Opus, AAC, ALAC, AIFF or WavPack files in three easy steps: add the "
                       "files or whole folders to the list (or drag them onto it), choose the output folder and "
                       "format, and click Convert. It reads every common audio format, from MP3, AAC, Opus and FLAC "
                       "to Monkey's Audio, Musepack and MIDI, splits albums with cue sheets, measures loudness as it "
                       "converts, lets you listen to each file before converting it, and can power the computer off "
                       "when a long batch is done."),
        this);
    description->setWordWrap(true);
    layout->addWidget(description);
    layout->addSpacing(12);

    auto* versionRow = new QHBoxLayout;
    versionRow->addWidget(new QLabel(QStringLiteral("Version:"), this));
    lblVer = new QLabel(this);
    lblVer->setObjectName(QStringLiteral("lblVer"));
    versionRow->addWidget(lblVer);
    versionRow->addStretch(1);
    layout->addLayout(versionRow);

    lblWebSite = new QLabel(this);
    lblWebSite->setObjectName(QStringLiteral("lblWebSite"));
    const QString site = QString::fromLatin1(endpoints::kMakerWebSite);
    lblWebSite->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(site));
    lblWebSite->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    lblWebSite->setCursor(Qt::PointingHandCursor);
    connect(lblWebSite, &QLabel::linkActivated, this, &AboutPanel::webSiteClicked);
    layout->addWidget(lblWebSite);

    lblErrorLog = new QLabel(this);
    lblErrorLog->setObjectName(QStringLiteral("lblErrorLog"));
    lblErrorLog->setWordWrap(true);
    lblErrorLog->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(lblErrorLog);
    layout->addStretch(1);

    cmdCloseHelp = new ThemedButton(QStringLiteral("Close"), this);
    cmdCloseHelp->setObjectName(QStringLiteral("cmdCloseHelp"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdCloseHelp);
    layout->addLayout(buttons);
}

void AboutPanel::showErrorLogPath(const QString& path)
{
    lblErrorLog->setText(QStringLiteral("Files that could not be converted are noted in the error log: %1").arg(path));
}

} // namespace tunevale
