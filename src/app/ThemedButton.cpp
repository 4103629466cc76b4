#include "ThemedButton.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QStyleOptionButton>

namespace tunevale
{

ThemedButton::ThemedButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent)
{
    setCursor(Qt::PointingHandCursor);
    setToolTipBackColor(m_toolTipBack);
}

void ThemedButton::repaintWith(QColor& member, const QColor& colour)
{
    member = colour;
    update();
}

void ThemedButton::setToolTipBackColor(const QColor& colour)
{
    m_toolTipBack = colour;
    // A widget's style sheet reaches the tool tips it shows.
    setStyleSheet(QStringLiteral("QToolTip { background-color: %1; color: black; }").arg(colour.name()));
}

QSize ThemedButton::sizeHint() const
{
    const QSize text = fontMetrics().size(Qt::TextShowMnemonic, this->text());
    return {text.width() + 18, std::max(text.height() + 10, 23)};
}

void ThemedButton::keyPressEvent(QKeyEvent* event)
{
    // Enter presses the focused button as Space does, also outside a dialog.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void ThemedButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = !isEnabled() ? m_backDisabled : hasFocus() ? m_backFocus : m_back;
    if (isEnabled() && isDown())
        fill = fill.darker(115);
    else if (isEnabled() && underMouse())
        fill = fill.lighter(106);
    // A light top edge and a darker outline keep a button readable on a panel of its own colour.
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, fill.lighter(112));
    gradient.setColorAt(1, fill);
    painter.setPen(isEnabled() ? m_border.darker(135) : m_border.darker(110));
    painter.setBrush(gradient);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    if (hasFocus()) {
        // The keyboard's place: a dotted frame inside the border, in the border's colour.
        QPen frame(m_border.darker(150), 1, Qt::DotLine);
        painter.setPen(frame);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(3.5, 3.5, -3.5, -3.5), 2, 2);
    }
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

} // namespace tunevale
