#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace tunevale
{

// A panel with a gradient body, a border and a header band carrying its caption.
class ThemedPanel : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor BodyColorBottomLeft MEMBER m_bodyBottomLeft WRITE setBodyColorBottomLeft)
    Q_PROPERTY(QColor BodyColorBottomRight MEMBER m_bodyBottomRight WRITE setBodyColorBottomRight)
    Q_PROPERTY(QColor BodyColorTopLeft MEMBER m_bodyTopLeft WRITE setBodyColorTopLeft)
    Q_PROPERTY(QColor BorderColor MEMBER m_border WRITE setBorderColor)
    Q_PROPERTY(QColor ForeColor MEMBER m_fore WRITE setForeColor)
    Q_PROPERTY(QColor HeaderColorBottomLeft MEMBER m_headerBottomLeft WRITE setHeaderColorBottomLeft)
    Q_PROPERTY(QColor HeaderColorTopLeft MEMBER m_headerTopLeft WRITE setHeaderColorTopLeft)
public:
    static constexpr int kHeaderHeight = 22;

    explicit ThemedPanel(const QString& caption, QWidget* parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);

    QColor BodyColorBottomLeft() const { return m_bodyBottomLeft; }
    QColor BodyColorBottomRight() const { return m_bodyBottomRight; }
    QColor BodyColorTopLeft() const { return m_bodyTopLeft; }
    QColor BorderColor() const { return m_border; }
    QColor ForeColor() const { return m_fore; }
    QColor HeaderColorBottomLeft() const { return m_headerBottomLeft; }
    QColor HeaderColorTopLeft() const { return m_headerTopLeft; }
    void setBodyColorBottomLeft(const QColor& c) { repaintWith(m_bodyBottomLeft, c); }
    void setBodyColorBottomRight(const QColor& c) { repaintWith(m_bodyBottomRight, c); }
    void setBodyColorTopLeft(const QColor& c) { repaintWith(m_bodyTopLeft, c); }
    void setBorderColor(const QColor& c) { repaintWith(m_border, c); }
    void setForeColor(const QColor& c) { repaintWith(m_fore, c); }
    void setHeaderColorBottomLeft(const QColor& c) { repaintWith(m_headerBottomLeft, c); }
    void setHeaderColorTopLeft(const QColor& c) { repaintWith(m_headerTopLeft, c); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void repaintWith(QColor& member, const QColor& colour);

    QString m_caption;
    QColor m_bodyBottomLeft{236, 236, 236};
    QColor m_bodyBottomRight{210, 210, 210};
    QColor m_bodyTopLeft{250, 250, 250};
    QColor m_border{150, 150, 150};
    QColor m_fore{30, 30, 30};
    QColor m_headerBottomLeft{180, 190, 210};
    QColor m_headerTopLeft{225, 230, 240};
};

} // namespace tunevale
