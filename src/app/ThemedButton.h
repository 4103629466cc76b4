#pragma once

#include <QColor>
#include <QPushButton>

namespace tunevale
{

// A flat push button in the window's theme, with its own colours for the normal, disabled and
// focused states, its border and its tool tip. The focused button shows a dotted frame, and Enter
// or Space presses it.
class ThemedButton : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(QColor BackColor MEMBER m_back WRITE setBackColor)
    Q_PROPERTY(QColor BackColorDisabled MEMBER m_backDisabled WRITE setBackColorDisabled)
    Q_PROPERTY(QColor BackColorFocus MEMBER m_backFocus WRITE setBackColorFocus)
    Q_PROPERTY(QColor BorderColor MEMBER m_border WRITE setBorderColor)
    Q_PROPERTY(QColor ToolTipBackColor MEMBER m_toolTipBack WRITE setToolTipBackColor)
public:
    explicit ThemedButton(const QString& caption, QWidget* parent = nullptr);

    QColor BackColor() const { return m_back; }
    QColor BackColorDisabled() const { return m_backDisabled; }
    QColor BackColorFocus() const { return m_backFocus; }
    QColor BorderColor() const { return m_border; }
    QColor ToolTipBackColor() const { return m_toolTipBack; }
    void setBackColor(const QColor& c) { repaintWith(m_back, c); }
    void setBackColorDisabled(const QColor& c) { repaintWith(m_backDisabled, c); }
    void setBackColorFocus(const QColor& c) { repaintWith(m_backFocus, c); }
    void setBorderColor(const QColor& c) { repaintWith(m_border, c); }
    void setToolTipBackColor(const QColor& c);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void repaintWith(QColor& member, const QColor& colour);

    QColor m_back{225, 225, 225};
    QColor m_backDisabled{240, 240, 240};
    QColor m_backFocus{235, 235, 245};
    QColor m_border{120, 120, 120};
    QColor m_toolTipBack{255, 255, 225};
};

} // namespace tunevale
