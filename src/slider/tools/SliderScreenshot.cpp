// Renders horizontal and vertical sliders at a few values, in the window's theme, into one PNG
// (docs/slider.png). Run with QT_QPA_PLATFORM=offscreen.

#include "Slider.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

#include <cstdio>

namespace
{

using tunevale::Slider;
using tunevale::sliderRgb;

// A panel body as the theme paints it: light pink fading into pink.
class ThemePanel : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QLinearGradient gradient(0, 0, width(), 0);
        gradient.setColorAt(0, QColor(255, 192, 255));
        gradient.setColorAt(1, QColor(255, 128, 255));
        painter.fillRect(rect(), gradient);
    }
};

Slider* themedSlider(QWidget* parent, int style, int value)
{
    auto* slider = new Slider(parent);
    slider->setSliderStyle(style);
    slider->setMin(0);
    slider->setMax(100);
    slider->setValue(value);
    slider->setBackColor(sliderRgb(255, 192, 255));
    slider->setForeColor(sliderRgb(255, 0, 0));
    slider->setForeColor2(sliderRgb(128, 0, 128));
    return slider;
}

QLabel* label(QWidget* parent, const QString& text)
{
    auto* caption = new QLabel(text, parent);
    caption->setStyleSheet("color: rgb(64, 0, 64);");
    return caption;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.png>\n", argv[0]);
        return 2;
    }
    ThemePanel panel;
    auto* layout = new QGridLayout(&panel);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setHorizontalSpacing(16);
    const int values[] = {0, 35, 70, 100};
    for (int row = 0; row < 4; ++row) {
        auto* slider = themedSlider(&panel, 0, values[row]);
        slider->setFixedWidth(240);
        layout->addWidget(label(&panel, QString::number(values[row])), row, 0);
        layout->addWidget(slider, row, 1);
    }
    for (int column = 0; column < 4; ++column) {
        auto* slider = themedSlider(&panel, 1, values[column]);
        slider->setFixedHeight(150);
        layout->addWidget(slider, 0, 2 + column, 4, 1, Qt::AlignHCenter);
        layout->addWidget(label(&panel, QString::number(values[column])), 4, 2 + column, Qt::AlignHCenter);
    }
    panel.adjustSize();
    if (!panel.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
