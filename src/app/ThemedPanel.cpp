#include "ThemedPanel.h"

#include <QLinearGradient>
#include <QPainter>

namespace tunevale
{

ThemedPanel::ThemedPanel(const QString& caption, QWidget* parent) : QWidget(parent), m_caption(caption)
{
    setContentsMargins(6, caption.isEmpty() ? 6 : kHeaderHeight + 4, 6, 6);
}

void ThemedPanel::setCaption(const QString& caption)
{
    m_caption = caption;
    update();
}

void ThemedPanel::repaintWith(QColor& member, const QColor& colour)
{
    member = colour;
    update();
}

void ThemedPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF body = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);

    QLinearGradient bodyFill(body.topLeft(), body.bottomRight());
    bodyFill.setColorAt(0, m_bodyTopLeft);
    bodyFill.setColorAt(0.5, m_bodyBottomLeft);
    bodyFill.setColorAt(1, m_bodyBottomRight);
    painter.setPen(m_border);
    painter.setBrush(bodyFill);
    painter.drawRect(body);

    if (m_caption.isEmpty())
        return;
    const QRectF header(body.left(), body.top(), body.width(), kHeaderHeight);
    QLinearGradient headerFill(header.topLeft(), header.bottomLeft());
    headerFill.setColorAt(0, m_headerTopLeft);
    headerFill.setColorAt(1, m_headerBottomLeft);
    painter.setBrush(headerFill);
    painter.drawRect(header);
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(m_fore);
    painter.drawText(header.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, m_caption);
}

} // namespace tunevale
