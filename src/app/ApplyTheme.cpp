#include "ApplyTheme.h"

#include "Slider.h"
#include "Theme.h"
#include "ThemedButton.h"
#include "ThemedPanel.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>

namespace tunevale
{

namespace
{

SliderColor sliderColour(const QColor& colour)
{
    return sliderRgb(colour.red(), colour.green(), colour.blue());
}

void setPaletteColour(QWidget& widget, QPalette::ColorRole role, const QColor& colour)
{
    QPalette palette = widget.palette();
    palette.setColor(role, colour);
    widget.setPalette(palette);
}

bool isLine(const QFrame& frame)
{
    return frame.frameShape() == QFrame::HLine || frame.frameShape() == QFrame::VLine;
}

void themeControl(QWidget& control)
{
    using namespace theme;
    if (auto* panel = qobject_cast<ThemedPanel*>(&control)) {
        if (panel->objectName() == QLatin1String("MyFrame1"))
            return;
        panel->setBodyColorBottomLeft(C1);
        panel->setBodyColorBottomRight(C2);
        panel->setBodyColorTopLeft(C1);
        panel->setBorderColor(C3);
        panel->setForeColor(C4);
        panel->setHeaderColorBottomLeft(C3);
        panel->setHeaderColorTopLeft(C2);
    } else if (auto* button = qobject_cast<ThemedButton*>(&control)) {
        button->setBackColor(C1);
        button->setBackColorDisabled(C1);
        button->setBackColorFocus(C1);
        button->setBorderColor(C1);
        button->setToolTipBackColor(C1);
    } else if (qobject_cast<QLineEdit*>(&control) || qobject_cast<QComboBox*>(&control)) {
        setPaletteColour(control, QPalette::Base, C1);
        if (qobject_cast<QComboBox*>(&control))
            setPaletteColour(control, QPalette::Button, C1);
    } else if (qobject_cast<QTableView*>(&control)) {
        setPaletteColour(control, QPalette::Base, C1);
    } else if (auto* slider = qobject_cast<Slider*>(&control)) {
        slider->setBackColor(sliderColour(C1));
        slider->setForeColor2(sliderColour(C1));
        slider->setForeColor(sliderColour(SliderFill));
    } else if (qobject_cast<QLabel*>(&control)) {
        setPaletteColour(control, QPalette::WindowText, C4);
    } else if (auto* frame = qobject_cast<QFrame*>(&control); frame && isLine(*frame)) {
        setPaletteColour(control, QPalette::WindowText, C4);
    }
}

} // namespace

void ApplyTheme(QWidget& window)
{
    for (QWidget* control : window.findChildren<QWidget*>())
        themeControl(*control);
}

} // namespace tunevale
