#pragma once

#include "ThemedPanel.h"

class QLabel;

namespace tunevale
{

class ThemedButton;

// The about panel (frAbout): the product name, what the program does, its version and web site.
class AboutPanel : public ThemedPanel
{
    Q_OBJECT
public:
    explicit AboutPanel(QWidget* parent = nullptr);

    QLabel* lblVer;
    QLabel* lblWebSite;
    ThemedButton* cmdCloseHelp;

signals:
    void webSiteClicked();
};

} // namespace tunevale
