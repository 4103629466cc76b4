#pragma once

#include "Downloader.h"

#include <QDialog>
#include <QPixmap>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tunevale
{

// Shows one running download: its captions, a progress bar and a Cancel button. It closes itself
// when the file is complete or cancelled; a failure stays on screen with its reason until closed.
class DownloadDialog : public QDialog
{
    Q_OBJECT
public:
    DownloadDialog(const QString& title, const QPixmap& smallImage, Downloader& downloader, QWidget* parent = nullptr);

    void reject() override;

private:
    void showProgress(qint64 received, qint64 total);
    void showOutcome(Downloader::Outcome outcome);

    Downloader& m_downloader;
    QProgressBar* m_bar;
    QLabel* m_status;
    QPushButton* m_button;
};

} // namespace tunevale
