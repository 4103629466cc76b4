#include "MemoryPropertyBag.h"
#include "QtApplication.h"
#include "Slider.h"
#include "SliderMetrics.h"

#include <QApplication>
#include <QImage>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

namespace tunevale
{
namespace
{

using namespace SliderMetrics;
using ::testing::ElementsAre;

QColor toQColor(SliderRgb rgb)
{
    return QColor(rgb.red, rgb.green, rgb.blue);
}

// Renders the control over a plain backdrop, as its parent would show it.
QImage render(Slider& slider)
{
    QImage image(slider.size(), QImage::Format_ARGB32);
    image.fill(QColor(10, 20, 30));
    slider.render(&image, {}, {}, QWidget::DrawChildren);
    return image;
}

// Every opaque pixel of the bitmap shows at its place in the rendered image.
void expectBitmapAt(const QImage& image, const QImage& bitmap, QPoint at)
{
    int compared = 0;
    for (int y = 0; y < bitmap.height(); ++y) {
        for (int x = 0; x < bitmap.width(); ++x) {
            if (bitmap.pixelColor(x, y).alpha() != 255)
                continue;
            ASSERT_EQ(image.pixelColor(at + QPoint(x, y)), bitmap.pixelColor(x, y))
                << "bitmap pixel " << x << "," << y << " at " << at.x() << "," << at.y();
            ++compared;
        }
    }
    EXPECT_GT(compared, bitmap.width() * bitmap.height() / 2);
}

class SliderWidgetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Shown, so that resizes reach the control at once as they do in a window.
        slider.resize(225, 20);
        slider.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&slider, 5000));
        slider.setMin(0);
        slider.setMax(9);
        slider.setValue(0);
        slider.setForeColor(sliderRgb(255, 0, 0));
        slider.setForeColor2(sliderRgb(0, 0, 255));
        slider.setBackColor(sliderRgb(0, 200, 0));
        const auto record = [this](const char* name) { return [this, name] { events.push_back(name); }; };
        QObject::connect(&slider, &Slider::Click, record("Click"));
        QObject::connect(&slider, &Slider::Scroll, record("Scroll"));
        QObject::connect(&slider, &Slider::Change, record("Change"));
        QObject::connect(&slider, &Slider::DblClick, [this](qint32& value) {
            events.push_back("DblClick");
            dblClickValues.push_back(value);
        });
        QObject::connect(&slider, &Slider::MouseUp, [this](qint16 button, qint16, float x, float) {
            events.push_back("MouseUp " + std::to_string(button) + " " + std::to_string(int(x)));
        });
    }

    // Moves the mouse without a button, as the pointer does before a click.
    void hover(QPoint position) { QTest::mouseMove(&slider, position); }

    QApplication& app = test::qtApplication<QApplication>(); // before any widget
    Slider slider;
    std::vector<std::string> events;
    std::vector<qint32> dblClickValues;
};

TEST_F(SliderWidgetTest, BitmapsHaveTheirFixedSizes)
{
    const SliderArtwork& art = slider.artwork();
    EXPECT_EQ(art.PicLeft().size(), QSize(11, 20));
    EXPECT_EQ(art.PicRight().size(), QSize(14, 20));
    EXPECT_EQ(art.PicHandle().size(), QSize(19, 10));
    EXPECT_EQ(art.PicFullFill().size(), QSize(1, 20));
    EXPECT_EQ(art.PicEmptyFill().size(), QSize(1, 20));
    EXPECT_EQ(art.PicUp().size(), QSize(20, 14));
    EXPECT_EQ(art.PicDown().size(), QSize(20, 11));
    EXPECT_EQ(art.PicHandle2().size(), QSize(10, 19));
    EXPECT_EQ(art.PicFullFill2().size(), QSize(20, 1));
    EXPECT_EQ(art.PicEmptyFill2().size(), QSize(20, 1));
}

TEST_F(SliderWidgetTest, HorizontalRenderingPutsThumbAndColoursWhereTheModelSays)
{
    slider.setValue(4);
    const SliderPicture& picture = slider.model().picture();
    ASSERT_EQ(picture.thumbLeft, 90);
    ASSERT_EQ(picture.fill, (SliderRgb{142, 0, 113}));
    const QImage image = render(slider);

    expectBitmapAt(image, slider.artwork().PicLeft(), {0, 0});
    expectBitmapAt(image, slider.artwork().PicRight(), {225 - RightCapWidth, 0});
    expectBitmapAt(image, slider.artwork().PicHandle(), {picture.thumbLeft, HandleOffset});
    for (int y = BandFirst; y <= BandLast; ++y) {
        EXPECT_EQ(image.pixelColor(LeftCapWidth, y), toQColor(picture.fill));
        EXPECT_EQ(image.pixelColor(picture.thumbLeft - 1, y), toQColor(picture.fill));
        EXPECT_EQ(image.pixelColor(picture.thumbLeft + HandleLength, y), QColor(0, 200, 0));
        EXPECT_EQ(image.pixelColor(225 - RightCapWidth - 1, y), QColor(0, 200, 0));
    }
    // Outside the groove the parent's backdrop shows through.
    EXPECT_EQ(image.pixelColor(100, 0), QColor(10, 20, 30));
}

TEST_F(SliderWidgetTest, FillColourRunsFromForeColorToForeColor2)
{
    // At the lower limit the filled part lies under the left cap; its strip is still recoloured.
    render(slider);
    EXPECT_EQ(slider.artwork().PicFullFill().pixelColor(0, BandFirst), QColor(255, 0, 0));
    EXPECT_EQ(slider.artwork().PicFullFill().pixelColor(0, BandLast), QColor(255, 0, 0));
    EXPECT_EQ(slider.artwork().PicEmptyFill2().pixelColor(BandFirst, 0), QColor(0, 200, 0));
    slider.setValue(9);
    const QImage image = render(slider);
    EXPECT_EQ(slider.model().picture().thumbLeft, 192);
    EXPECT_EQ(image.pixelColor(191, 9), QColor(0, 0, 255));
    expectBitmapAt(image, slider.artwork().PicHandle(), {192, HandleOffset});
}

TEST_F(SliderWidgetTest, VerticalRenderingPutsThumbAndColoursWhereTheModelSays)
{
    slider.setSliderStyle(SliderModel::StyleVertical);
    ASSERT_EQ(slider.size(), QSize(20, 225));
    slider.setValue(3);
    const SliderPicture& picture = slider.model().picture();
    const QImage image = render(slider);

    expectBitmapAt(image, slider.artwork().PicUp(), {0, 0});
    expectBitmapAt(image, slider.artwork().PicDown(), {0, 225 - BottomCapHeight});
    expectBitmapAt(image, slider.artwork().PicHandle2(), {HandleOffset, picture.thumbTop});
    for (int x = BandFirst; x <= BandLast; ++x) {
        EXPECT_EQ(image.pixelColor(x, picture.thumbTop - 1), QColor(0, 200, 0));
        EXPECT_EQ(image.pixelColor(x, picture.thumbTop + HandleLength), toQColor(picture.fill));
        EXPECT_EQ(image.pixelColor(x, 225 - BottomCapHeight - 1), toQColor(picture.fill));
    }
}

TEST_F(SliderWidgetTest, DraggingMovesTheValueAndTheThumb)
{
    events.clear();
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(20, 10));
    QTest::mouseMove(&slider, QPoint(100, 10));
    EXPECT_EQ(slider.value(), 4);
    EXPECT_EQ(slider.model().picture().thumbLeft, 90);
    QTest::mouseMove(&slider, QPoint(400, 10));
    EXPECT_EQ(slider.value(), 9);
    expectBitmapAt(render(slider), slider.artwork().PicHandle(), {192, HandleOffset});
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(400, 10));
    EXPECT_THAT(events, ElementsAre("Scroll", "Change", "Scroll", "Change", "MouseUp 1 400"));
}

TEST_F(SliderWidgetTest, ClickJumpsToThePointerInEventOrder)
{
    hover({170, 10});
    events.clear();
    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(170, 10));
    EXPECT_EQ(slider.value(), 8); // nearest((170 - 19) / 181 * 9)
    EXPECT_THAT(events, ElementsAre("MouseUp 1 170", "Click", "Scroll", "Change", "DblClick"));
    EXPECT_THAT(dblClickValues, ElementsAre(8));
}

TEST_F(SliderWidgetTest, RightButtonRaisesOnlyMouseUp)
{
    hover({170, 10});
    events.clear();
    QTest::mouseClick(&slider, Qt::RightButton, {}, QPoint(170, 10));
    EXPECT_EQ(slider.value(), 0);
    EXPECT_THAT(events, ElementsAre("MouseUp 2 170"));
}

TEST_F(SliderWidgetTest, DoubleClickRaisesDblClickWithoutASecondClick)
{
    hover({60, 10});
    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(60, 10));
    events.clear();
    QTest::mouseDClick(&slider, Qt::LeftButton, {}, QPoint(60, 10));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(60, 10));
    EXPECT_EQ(std::count(events.begin(), events.end(), "Click"), 0);
    EXPECT_EQ(std::count(events.begin(), events.end(), "DblClick"), 1);
    EXPECT_EQ(slider.value(), 2); // nearest((60 - 19) / 181 * 9)
}

TEST_F(SliderWidgetTest, ArrowKeysStepTheValue)
{
    slider.setValue(5);
    events.clear();
    QTest::keyClick(&slider, Qt::Key_Right);
    EXPECT_EQ(slider.value(), 6);
    QTest::keyClick(&slider, Qt::Key_Left);
    QTest::keyClick(&slider, Qt::Key_Left);
    EXPECT_EQ(slider.value(), 4);
    QTest::keyClick(&slider, Qt::Key_Up);
    QTest::keyClick(&slider, Qt::Key_Down);
    EXPECT_EQ(slider.value(), 4);
    EXPECT_EQ(events.size(), 10u);
    EXPECT_EQ(events.back(), "Scroll");
}

TEST_F(SliderWidgetTest, SwitchedOffControlIgnoresTheMouseButNotTheKeys)
{
    slider.setSliderEnabled(false);
    const QImage before = render(slider);
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(20, 10));
    QTest::mouseMove(&slider, QPoint(150, 10));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(150, 10));
    EXPECT_EQ(slider.value(), 0);
    EXPECT_EQ(render(slider), before);
    QTest::keyClick(&slider, Qt::Key_Right);
    EXPECT_EQ(slider.value(), 1);
}

TEST_F(SliderWidgetTest, OverflowInAKeyPressIsDroppedNotThrown)
{
    slider.setMax(std::numeric_limits<std::int32_t>::max());
    slider.setValue(std::numeric_limits<std::int32_t>::max());
    events.clear();
    QTest::keyClick(&slider, Qt::Key_Right);
    EXPECT_EQ(slider.value(), std::numeric_limits<std::int32_t>::max());
    EXPECT_TRUE(events.empty());
}

TEST_F(SliderWidgetTest, ResizeRulesHoldForTheWidget)
{
    slider.resize(30, 50);
    EXPECT_EQ(slider.size(), QSize(63, 20));
    EXPECT_EQ(slider.model().size(), (SliderSize{63, 20}));
    slider.resize(300, 20);
    slider.setSliderStyle(SliderModel::StyleVertical);
    EXPECT_EQ(slider.size(), QSize(20, 300));
    EXPECT_EQ(slider.minimumSize(), QSize(20, 63));
    slider.resize(40, 10);
    EXPECT_EQ(slider.size(), QSize(20, 63));
}

TEST_F(SliderWidgetTest, LoadingKeepsTheDesignedLength)
{
    slider.resize(300, 20);
    MemoryPropertyBag bag;
    bag.write("Style", 1);
    bag.write("Value", 30);
    slider.load(bag);
    EXPECT_EQ(slider.size(), QSize(20, 300));
    // Value is clamped against the limits in force (0..9) before the stored limits are applied.
    EXPECT_EQ(slider.value(), 9);
    EXPECT_EQ(slider.max(), 100);
    EXPECT_EQ(slider.min(), -100);
    EXPECT_EQ(slider.model().size(), (SliderSize{20, 300}));
}

TEST(SliderHiddenWidgetTest, PropertySetsUseTheSizeGivenWhileHidden)
{
    test::qtApplication<QApplication>();
    Slider slider;
    slider.resize(300, 20); // hidden: Qt keeps the resize event until the widget is shown
    slider.setSliderStyle(SliderModel::StyleVertical);
    EXPECT_EQ(slider.size(), QSize(20, 300));

    Slider other;
    other.resize(240, 20);
    other.setMin(0);
    other.setMax(9);
    other.setValue(9);
    EXPECT_EQ(other.model().picture().thumbLeft, 206); // nearest(9.5 + 196 + 1) on a track of 240 - 44
}

} // namespace
} // namespace tunevale
