#include "RecordingHost.h"
#include "SliderMetrics.h"
#include "SliderModel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

namespace tunevale
{
namespace
{

using test::RecordingHost;
using ::testing::ElementsAre;

constexpr std::int32_t Int32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t Int32Min = std::numeric_limits<std::int32_t>::min();
constexpr int Left = SliderModel::ButtonLeft;

// A 225-pixel control with limits 0..9: the track T is 225 - 11 - 14 - 19 = 181 long.
class SliderInteractionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        slider.setMin(0);
        slider.setMax(9);
        slider.setValue(0);
        host.clear();
    }
    void makeVertical()
    {
        slider.setStyle(SliderModel::StyleVertical);
        ASSERT_EQ(slider.size(), (SliderSize{20, 225}));
        host.clear();
    }

    RecordingHost host;
    SliderModel slider{host, {225, 20}};
};

TEST_F(SliderInteractionTest, ThumbMeetsTheCapsAtBothLimits)
{
    EXPECT_EQ(slider.thumbEdge(), 10); // 10.5 goes to the even 10
    EXPECT_EQ(slider.picture().thumbLeft, 10);
    EXPECT_EQ(slider.picture().thumbTop, SliderMetrics::HandleOffset);
    slider.setValue(9);
    EXPECT_EQ(slider.picture().thumbLeft, 192); // 191.5 goes to the even 192
    EXPECT_EQ(192 + SliderMetrics::HandleLength, 225 - SliderMetrics::RightCapWidth);
}

TEST_F(SliderInteractionTest, VerticalThumbRunsFromTheBottomUp)
{
    makeVertical();
    EXPECT_EQ(slider.picture().thumbLeft, SliderMetrics::HandleOffset);
    EXPECT_EQ(slider.picture().thumbTop, 195); // 225 - nearest(29.5)
    slider.setValue(9);
    EXPECT_EQ(slider.picture().thumbTop, 15); // 225 - nearest(210.5)
}

TEST_F(SliderInteractionTest, DraggingMovesValueAndThumbWithTheMouse)
{
    slider.mouseMove(Left, 100, 7);
    EXPECT_EQ(slider.value(), 4); // nearest((100 - 19) / 181 * 9)
    EXPECT_TRUE(slider.thumbFollowsMouse());
    EXPECT_DOUBLE_EQ(slider.thumbPositionFromMouse(), 90.5);
    EXPECT_EQ(slider.thumbEdge(), 90); // the thumb is centred on the mouse, 90.5 going to 90
    EXPECT_EQ(slider.lastMousePosition(), (SliderModel::MousePosition{100, 7}));
    EXPECT_THAT(host.events, ElementsAre("Scroll", "Change"));
    EXPECT_EQ(host.redraws, 1);
}

TEST_F(SliderInteractionTest, DraggingPastEitherEndStopsAtTheCaps)
{
    slider.mouseMove(Left, -500, 3);
    EXPECT_EQ(slider.value(), 0);
    EXPECT_EQ(slider.lastMousePosition(), (SliderModel::MousePosition{19.5, 3}));
    EXPECT_EQ(slider.thumbEdge(), 10);

    slider.mouseMove(Left, 5000, 3);
    EXPECT_EQ(slider.value(), 9);
    EXPECT_EQ(slider.lastMousePosition(), (SliderModel::MousePosition{201.5, 3}));
    EXPECT_EQ(slider.thumbEdge(), 192);
    EXPECT_EQ(slider.thumbEdge() + SliderMetrics::HandleLength, 225 - SliderMetrics::RightCapWidth);
}

TEST_F(SliderInteractionTest, DraggingFarOutsideAWideRangeStaysAtTheLimit)
{
    slider.setMax(2000000000);
    slider.setMin(-100000000);
    slider.mouseMove(Left, 1e6, 3);
    EXPECT_EQ(slider.value(), 2000000000);
    slider.mouseMove(Left, -1e6, 3);
    EXPECT_EQ(slider.value(), -100000000);
}

TEST_F(SliderInteractionTest, VerticalDragPutsTheUpperLimitAtTheTop)
{
    makeVertical();
    slider.mouseMove(Left, 10, -100);
    EXPECT_EQ(slider.value(), 9);
    EXPECT_EQ(slider.lastMousePosition(), (SliderModel::MousePosition{10, 19.5}));
    EXPECT_EQ(slider.thumbEdge(), 14); // just below the top cap
    slider.mouseMove(Left, 10, 1000);
    EXPECT_EQ(slider.value(), 0);
    EXPECT_EQ(slider.lastMousePosition(), (SliderModel::MousePosition{10, 201.5}));
    EXPECT_EQ(slider.thumbEdge(), 196);
    slider.mouseMove(Left, 10, 110);
    EXPECT_EQ(slider.value(), 4); // 9 - nearest((110 - 19) / 181 * 9)
}

TEST_F(SliderInteractionTest, MovesWithoutTheLeftButtonAloneOnlyRememberThePosition)
{
    for (int buttons : {0, 2, 3, 4}) {
        slider.mouseMove(buttons, 150.25, -4);
        EXPECT_EQ(slider.value(), 0);
        EXPECT_EQ(slider.lastMousePosition(), (SliderModel::MousePosition{150.25, -4}));
    }
    EXPECT_TRUE(host.events.empty());
    EXPECT_EQ(host.redraws, 0);
}

TEST_F(SliderInteractionTest, FillColourFollowsTheThumbWhileDragging)
{
    slider.setForeColor(sliderRgb(255, 0, 0));
    slider.setForeColor2(sliderRgb(0, 0, 255));
    slider.mouseMove(Left, 109.5, 3); // thumb position 100 of the 200 between the caps
    EXPECT_EQ(slider.picture().fill, (SliderRgb{128, 0, 128}));
    EXPECT_EQ(slider.value(), 4);
    // The next key press puts thumb and colour back at the value's own place.
    slider.keyDown(0);
    EXPECT_EQ(slider.picture().fill, (SliderRgb{142, 0, 113}));
    EXPECT_EQ(slider.picture().thumbLeft, 90); // nearest(9.5 + nearest(80.44) + 1), 90.5 going to 90
}

TEST_F(SliderInteractionTest, SnapKeepsTheThumbOnTheValuesPlace)
{
    slider.setSnap(true);
    slider.mouseMove(Left, 109.5, 3);
    EXPECT_EQ(slider.value(), 4);
    EXPECT_TRUE(slider.thumbFollowsMouse());
    EXPECT_EQ(slider.picture().thumbLeft, 90);
}

TEST_F(SliderInteractionTest, ClickJumpsToTheLastMousePositionInEventOrder)
{
    slider.mouseMove(0, 5000, 8);
    slider.click();
    EXPECT_EQ(slider.value(), 9);
    EXPECT_EQ(slider.lastMousePosition(), (SliderModel::MousePosition{201.5, 8}));
    EXPECT_THAT(host.events, ElementsAre("Click", "Scroll", "Change", "DblClick"));
    EXPECT_THAT(host.dblClickValues, ElementsAre(9));

    host.clear();
    slider.dblClick();
    EXPECT_THAT(host.events, ElementsAre("Scroll", "Change", "DblClick"));
}

TEST_F(SliderInteractionTest, DblClickHandlerMaySetTheValueWithinTheLimits)
{
    host.onDblClick = [](std::int32_t& value) { value = 1000; };
    slider.mouseMove(0, 100, 8);
    slider.click();
    EXPECT_EQ(slider.value(), 9);
    EXPECT_THAT(host.events, ElementsAre("Click", "Scroll", "Change", "DblClick", "Change"));
}

TEST_F(SliderInteractionTest, MouseUpPassesTheEventOnAsReceived)
{
    slider.mouseUp(2, 5, 12.5f, -3.0f);
    EXPECT_THAT(host.events, ElementsAre("MouseUp 2 5 12.500000 -3.000000"));
    EXPECT_EQ(slider.value(), 0);
}

TEST_F(SliderInteractionTest, DisabledControlIgnoresTheMouseButNotTheArrowKeys)
{
    slider.setEnabled(false);
    const SliderPicture before = slider.picture();
    slider.mouseMove(Left, 150, 8);
    EXPECT_EQ(slider.value(), 0);
    EXPECT_EQ(slider.lastMousePosition(), (SliderModel::MousePosition{150, 8}));
    EXPECT_TRUE(host.events.empty());

    slider.click();
    EXPECT_EQ(slider.value(), 0);
    EXPECT_THAT(host.events, ElementsAre("Click", "DblClick"));

    host.clear();
    slider.keyDown(SliderModel::KeyRight);
    EXPECT_EQ(slider.value(), 1);
    EXPECT_THAT(host.events, ElementsAre("Change", "Scroll"));
    // Drawn like an enabled control: only the thumb moved.
    EXPECT_EQ(slider.picture().fill, before.fill);
    EXPECT_NE(slider.picture().thumbLeft, before.thumbLeft);
}

TEST_F(SliderInteractionTest, LeftAndRightStepWhileOtherKeysOnlyRaiseEvents)
{
    slider.setValue(5);
    host.clear();
    slider.keyDown(SliderModel::KeyRight);
    EXPECT_EQ(slider.value(), 6);
    slider.keyDown(SliderModel::KeyLeft);
    slider.keyDown(SliderModel::KeyLeft);
    EXPECT_EQ(slider.value(), 4);
    EXPECT_EQ(host.events.size(), 6u);

    makeVertical();
    slider.keyDown(SliderModel::KeyUp);
    slider.keyDown(SliderModel::KeyDown);
    EXPECT_EQ(slider.value(), 4);
    EXPECT_THAT(host.events, ElementsAre("Change", "Scroll", "Change", "Scroll"));
    slider.keyDown(SliderModel::KeyRight);
    EXPECT_EQ(slider.value(), 5);
}

TEST_F(SliderInteractionTest, ArrowKeysStopAtTheLimits)
{
    slider.keyDown(SliderModel::KeyLeft);
    EXPECT_EQ(slider.value(), 0);
    slider.setValue(9);
    slider.keyDown(SliderModel::KeyRight);
    EXPECT_EQ(slider.value(), 9);
    EXPECT_THAT(host.events, ElementsAre("Change", "Scroll", "Change", "Change", "Scroll"));
}

TEST_F(SliderInteractionTest, RightArrowAtTheUpper32BitLimitThrowsAndChangesNothing)
{
    slider.setMax(Int32Max);
    slider.setValue(Int32Max);
    host.clear();
    EXPECT_THROW(slider.keyDown(SliderModel::KeyRight), std::overflow_error);
    EXPECT_EQ(slider.value(), Int32Max);
    EXPECT_TRUE(host.events.empty());
    EXPECT_EQ(host.redraws, 0);
    slider.keyDown(SliderModel::KeyLeft);
    EXPECT_EQ(slider.value(), Int32Max - 1);
}

TEST(SliderOverflowInputTest, LeftArrowAtTheLower32BitLimitThrowsAndChangesNothing)
{
    RecordingHost host;
    SliderModel slider(host, {225, 20});
    slider.setMax(-1);
    slider.setMin(Int32Min);
    slider.setValue(Int32Min);
    host.clear();
    EXPECT_THROW(slider.keyDown(SliderModel::KeyLeft), std::overflow_error);
    EXPECT_EQ(slider.value(), Int32Min);
    EXPECT_TRUE(host.events.empty());
    slider.keyDown(SliderModel::KeyRight);
    EXPECT_EQ(slider.value(), Int32Min + 1);
}

TEST(SliderOverflowInputTest, MouseOnAControlWhoseSpanOverflowsThrowsBeforeChangingIt)
{
    RecordingHost host;
    SliderModel slider(host, {225, 20});
    EXPECT_THROW(slider.setMax(Int32Max), std::overflow_error);
    host.clear();
    EXPECT_THROW(slider.mouseMove(Left, 150, 8), std::overflow_error);
    EXPECT_EQ(slider.value(), 50);
    EXPECT_FALSE(slider.thumbFollowsMouse());
    EXPECT_TRUE(host.events.empty());
    EXPECT_THROW(slider.click(), std::overflow_error);
    EXPECT_THAT(host.events, ElementsAre("Click"));
}

} // namespace
} // namespace tunevale
