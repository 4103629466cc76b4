#pragma once

#include "ThemedPanel.h"

class QLabel;

namespace tunevale
{

class ThemedButton;

// The about panel (frAbout): the product name, what the program does, its version and web site,
// and where the error log is kept.
class AboutPanel : public ThemedPanel
{
    Q_OBJECT
public:
    explicit AboutPanel(QWidget* parent = nullptr);

    void showErrorLogPath(const QString& path);

    QLabel* lblVer;
    QLabel* lblErrorLog;
    QLabel* lblWebSite;
    ThemedButton* cmdCloseHelp;

signals:
    void webSiteClicked();
};

} // namespace tunevale
