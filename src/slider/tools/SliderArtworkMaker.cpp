// Draws the ten bitmaps of the slider in the theme's pinks and purples and writes them as PNG files
// into the folder given on the command line (src/slider/artwork). The vertical bitmaps are the
// horizontal ones turned a quarter to the left, so the low end of the track is at the bottom.

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <cstdio>

namespace
{

const QColor LightPink(255, 192, 255);
const QColor Pink(255, 128, 255);
const QColor Purple(128, 0, 128);
const QColor DarkPurple(64, 0, 64);
const QColor Highlight(255, 232, 255);

constexpr int Thickness = 20;

QImage blank(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

// A track strip across the groove: dark upper edge, the coloured band in rows 6..12, light lower
// edge, and a faint shadow and glow outside it.
QImage strip(const QColor& band)
{
    QImage image = blank(1, Thickness);
    image.setPixelColor(0, 4, QColor(128, 0, 128, 60));
    image.setPixelColor(0, 5, DarkPurple);
    for (int row = 6; row <= 12; ++row)
        image.setPixelColor(0, row, band);
    image.setPixelColor(0, 13, Highlight);
    image.setPixelColor(0, 14, QColor(255, 255, 255, 90));
    return image;
}

// An end block of the track. Its rounded corners stay outside rows 4..14, so the strip stretched
// beneath it never shows past its edge. The side facing the track is cut straight.
QImage endCap(int width, bool facesRight)
{
    QImage image = blank(width, Thickness);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body = facesRight ? QRectF(0.5, 1.5, width + 4, 17) : QRectF(-4.5, 1.5, width + 4, 17);
    QPainterPath path;
    path.addRoundedRect(body, 3, 3);
    QLinearGradient gradient(0, 1.5, 0, 18.5);
    gradient.setColorAt(0, Pink);
    gradient.setColorAt(0.55, Purple);
    gradient.setColorAt(1, DarkPurple);
    painter.fillPath(path, gradient);
    painter.setPen(QPen(DarkPurple, 1));
    painter.drawPath(path);
    painter.setPen(QPen(QColor(255, 224, 255, 170), 1));
    const qreal inner = facesRight ? 2.5 : width - 2.5;
    painter.drawLine(QPointF(inner, 4), QPointF(inner, 9));
    painter.end();
    return image;
}

// The thumb: a light rounded button with three grip lines.
QImage handle()
{
    QImage image = blank(19, 10);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(0.5, 0.5, 18, 9), 3, 3);
    QLinearGradient gradient(0, 0.5, 0, 9.5);
    gradient.setColorAt(0, Highlight);
    gradient.setColorAt(0.5, LightPink);
    gradient.setColorAt(1, Pink);
    painter.fillPath(path, gradient);
    painter.setPen(QPen(DarkPurple, 1));
    painter.drawPath(path);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Purple);
    for (int x : {6, 9, 12})
        painter.drawLine(x, 3, x, 6);
    painter.end();
    return image;
}

QImage turnedLeft(const QImage& image)
{
    return image.transformed(QTransform().rotate(-90));
}

bool save(const QImage& image, const QString& folder, const char* name)
{
    const QString path = folder + "/" + name + ".png";
    if (image.save(path, "PNG", 9))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <artwork folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QImage left = endCap(11, true);
    const QImage right = endCap(14, false);
    const QImage thumb = handle();
    const QImage full = strip(Pink);
    const QImage empty = strip(LightPink);
    const bool written = save(left, folder, "PicLeft") && save(right, folder, "PicRight") &&
                         save(thumb, folder, "PicHandle") && save(full, folder, "PicFullFill") &&
                         save(empty, folder, "PicEmptyFill") && save(turnedLeft(right), folder, "PicUp") &&
                         save(turnedLeft(left), folder, "PicDown") && save(turnedLeft(thumb), folder, "PicHandle2") &&
                         save(turnedLeft(full), folder, "PicFullFill2") &&
                         save(turnedLeft(empty), folder, "PicEmptyFill2");
    return written ? 0 : 1;
}
