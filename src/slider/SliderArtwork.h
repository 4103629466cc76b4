#pragma once

#include "SliderPicture.h"

#include <QImage>

class QPainter;

namespace tunevale
{

// The ten bitmaps the slider is drawn from, loaded from the program's resources, and the drawing
// of one picture with them.
class SliderArtwork
{
public:
    SliderArtwork();

    // Repaints the bands of the strips with the picture's colours and draws track, caps and thumb.
    void paint(QPainter& painter, const SliderPicture& picture);

    const QImage& PicLeft() const { return m_left; }
    const QImage& PicRight() const { return m_right; }
    const QImage& PicHandle() const { return m_handle; }
    const QImage& PicFullFill() const { return m_fullFill; }
    const QImage& PicEmptyFill() const { return m_emptyFill; }
    const QImage& PicUp() const { return m_up; }
    const QImage& PicDown() const { return m_down; }
    const QImage& PicHandle2() const { return m_handle2; }
    const QImage& PicFullFill2() const { return m_fullFill2; }
    const QImage& PicEmptyFill2() const { return m_emptyFill2; }

private:
    void paintHorizontal(QPainter& painter, const SliderPicture& picture);
    void paintVertical(QPainter& painter, const SliderPicture& picture);

    QImage m_left;
    QImage m_right;
    QImage m_handle;
    QImage m_fullFill;
    QImage m_emptyFill;
    QImage m_up;
    QImage m_down;
    QImage m_handle2;
    QImage m_fullFill2;
    QImage m_emptyFill2;
};

} // namespace tunevale
