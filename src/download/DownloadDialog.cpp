#include "DownloadDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tunevale
{

namespace
{

QString sizeText(qint64 bytes)
{
    return QLocale::system().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

DownloadDialog::DownloadDialog(const QString& title, const QPixmap& smallImage, Downloader& downloader, QWidget* parent)
    : QDialog(parent), m_downloader(downloader), m_bar(new QProgressBar(this)), m_status(new QLabel(this)),
      m_button(new QPushButton(tr("Cancel"), this))
{
    const QString caption = QStringLiteral("Downloading ") + title;
    setWindowTitle(caption);
    setModal(true);

    auto* heading = new QLabel(caption, this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    auto* description = new QLabel(caption + QStringLiteral(", Please wait...."), this);
    description->setWordWrap(true);

    auto* text = new QVBoxLayout;
    text->addWidget(heading);
    text->addWidget(description);
    auto* top = new QHBoxLayout;
    top->addLayout(text, 1);
    if (!smallImage.isNull()) {
        auto* image = new QLabel(this);
        image->setPixmap(smallImage.scaled(55, 55, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        top->addWidget(image, 0, Qt::AlignTop);
    }

    m_bar->setRange(0, 0);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    m_button->setObjectName(QStringLiteral("cancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_button);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_bar);
    layout->addWidget(m_status);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    connect(m_button, &QPushButton::clicked, this, &DownloadDialog::reject);
    connect(&m_downloader, &Downloader::progress, this, &DownloadDialog::showProgress);
    connect(&m_downloader, &Downloader::finished, this, &DownloadDialog::showOutcome);
}

void DownloadDialog::reject()
{
    // Closing while the transfer runs cancels it; the outcome then closes the dialog.
    if (m_downloader.outcome() == Downloader::Outcome::Running)
        m_downloader.cancel();
    else
        QDialog::reject();
}

void DownloadDialog::showProgress(qint64 received, qint64 total)
{
    if (total > 0) {
        m_bar->setRange(0, 1000);
        m_bar->setValue(static_cast<int>(received * 1000 / total));
        m_status->setText(tr("%1 of %2").arg(sizeText(received), sizeText(total)));
    } else {
        m_status->setText(sizeText(received));
    }
}

void DownloadDialog::showOutcome(Downloader::Outcome outcome)
{
    switch (outcome) {
    case Downloader::Outcome::Complete:
        accept();
        break;
    case Downloader::Outcome::Cancelled:
        QDialog::reject();
        break;
    case Downloader::Outcome::Failed:
        m_bar->hide();
        m_status->setText(tr("The download failed: %1").arg(m_downloader.errorText()));
        m_button->setText(tr("Close"));
        break;
    case Downloader::Outcome::Running:
        break;
    }
}

} // namespace tunevale
