#include "SliderArtwork.h"

#include "SliderMetrics.h"

#include <QPainter>

namespace tunevale
{

namespace
{

using namespace SliderMetrics;

QImage loadBitmap(const char* name)
{
    // The images are compiled into the program; a missing one is a build fault, drawn as nothing.
    QImage image(QStringLiteral(":/tunevale/slider/%1.png").arg(QLatin1String(name)));
    Q_ASSERT(!image.isNull());
    return image.convertToFormat(QImage::Format_ARGB32);
}

QColor toQColor(SliderRgb rgb)
{
    return QColor(rgb.red, rgb.green, rgb.blue);
}

// The band runs down the single column of a horizontal strip and along the single row of a vertical one.
void paintBand(QImage& strip, bool horizontal, SliderRgb rgb)
{
    const QColor color = toQColor(rgb);
    for (int across = BandFirst; across <= BandLast; ++across) {
        if (horizontal)
            strip.setPixelColor(0, across, color);
        else
            strip.setPixelColor(across, 0, color);
    }
}

} // namespace

SliderArtwork::SliderArtwork()
    : m_left(loadBitmap("PicLeft")), m_right(loadBitmap("PicRight")), m_handle(loadBitmap("PicHandle")),
      m_fullFill(loadBitmap("PicFullFill")), m_emptyFill(loadBitmap("PicEmptyFill")), m_up(loadBitmap("PicUp")),
      m_down(loadBitmap("PicDown")), m_handle2(loadBitmap("PicHandle2")), m_fullFill2(loadBitmap("PicFullFill2")),
      m_emptyFill2(loadBitmap("PicEmptyFill2"))
{
}

void SliderArtwork::paint(QPainter& painter, const SliderPicture& picture)
{
    if (picture.empty) {
        paintBand(m_emptyFill, true, *picture.empty);
        paintBand(m_emptyFill2, false, *picture.empty);
    }
    if (picture.horizontal) {
        paintBand(m_fullFill, true, picture.fill);
        paintHorizontal(painter, picture);
    } else {
        paintBand(m_fullFill2, false, picture.fill);
        paintVertical(painter, picture);
    }
}

void SliderArtwork::paintHorizontal(QPainter& painter, const SliderPicture& picture)
{
    const int thumb = picture.thumbLeft;
    painter.drawImage(QRect(0, 0, thumb, Thickness), m_fullFill);
    painter.drawImage(QRect(thumb, 0, picture.width - thumb, Thickness), m_emptyFill);
    painter.drawImage(0, 0, m_left);
    painter.drawImage(picture.width - RightCapWidth, 0, m_right);
    painter.drawImage(thumb, HandleOffset, m_handle);
}

void SliderArtwork::paintVertical(QPainter& painter, const SliderPicture& picture)
{
    const int thumb = picture.thumbTop;
    painter.drawImage(QRect(0, 0, Thickness, thumb), m_emptyFill2);
    painter.drawImage(QRect(0, thumb, Thickness, picture.height), m_fullFill2);
    painter.drawImage(0, 0, m_up);
    painter.drawImage(0, picture.height - BottomCapHeight, m_down);
    painter.drawImage(HandleOffset, thumb, m_handle2);
}

} // namespace tunevale
