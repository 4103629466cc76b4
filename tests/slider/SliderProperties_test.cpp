#include "MemoryPropertyBag.h"
#include "RecordingHost.h"
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
using Events = std::vector<std::string>;

constexpr std::int32_t Int32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t Int32Min = std::numeric_limits<std::int32_t>::min();

class SliderPropertiesTest : public ::testing::Test
{
protected:
    RecordingHost host;
    SliderModel slider{host, {225, 20}};
};

TEST_F(SliderPropertiesTest, CreationHoldsTheDefaultsAndDrawsOnce)
{
    EXPECT_EQ(slider.value(), 50);
    EXPECT_EQ(slider.max(), 100);
    EXPECT_EQ(slider.min(), -100);
    EXPECT_EQ(slider.backColor(), 0u);
    EXPECT_EQ(slider.foreColor(), sliderRgb(200, 200, 0));
    EXPECT_EQ(slider.foreColor2(), sliderRgb(200, 0, 0));
    EXPECT_TRUE(slider.enabled());
    EXPECT_FALSE(slider.snap());
    EXPECT_EQ(slider.style(), SliderModel::StyleHorizontal);
    EXPECT_FALSE(slider.thumbFollowsMouse());
    EXPECT_EQ(host.redraws, 1);
    EXPECT_TRUE(host.events.empty());
    // Colour components are not derived at creation, so the fill starts black; the empty band keeps
    // the artwork until BackColor is set.
    EXPECT_EQ(slider.picture().fill, (SliderRgb{0, 0, 0}));
    EXPECT_FALSE(slider.picture().empty.has_value());
}

TEST_F(SliderPropertiesTest, CreationAppliesTheResizeRules)
{
    RecordingHost other;
    SliderModel small(other, {30, 45});
    EXPECT_EQ(small.size(), (SliderSize{63, 20}));
}

TEST_F(SliderPropertiesTest, MaxBelowMinIsPushedAboveItAndPullsValue)
{
    slider.setMin(10);
    host.clear();
    slider.setMax(5);
    EXPECT_EQ(slider.max(), 11);
    EXPECT_EQ(slider.min(), 10);
    EXPECT_EQ(slider.value(), 11);
    EXPECT_THAT(host.events, ElementsAre("Change"));
    EXPECT_EQ(host.redraws, 1);

    host.clear();
    slider.setMin(20);
    EXPECT_EQ(slider.min(), 10);
    EXPECT_EQ(slider.max(), 11);
    EXPECT_EQ(slider.value(), 11);
    EXPECT_THAT(host.events, ElementsAre("Change"));
}

TEST_F(SliderPropertiesTest, MinAboveValuePullsValueUp)
{
    slider.setValue(-50);
    slider.setMin(20);
    EXPECT_EQ(slider.min(), 20);
    EXPECT_EQ(slider.value(), 20);
    slider.setMax(-5);
    EXPECT_EQ(slider.max(), 21);
    EXPECT_EQ(slider.value(), 20);
    slider.setMax(Int32Min);
    EXPECT_EQ(slider.max(), 21);
}

TEST_F(SliderPropertiesTest, ValueIsClampedAndRaisesChangeOnce)
{
    slider.setMin(0);
    slider.setMax(9);
    host.clear();
    slider.setValue(1000);
    EXPECT_EQ(slider.value(), 9);
    EXPECT_THAT(host.events, ElementsAre("Change"));
    EXPECT_EQ(host.redraws, 1);
    slider.setValue(-1000);
    EXPECT_EQ(slider.value(), 0);
    slider.setValue(Int32Max);
    EXPECT_EQ(slider.value(), 9);
}

TEST_F(SliderPropertiesTest, EnabledAndSnapRaiseNothingAndDoNotRedraw)
{
    host.clear();
    slider.setEnabled(false);
    slider.setSnap(true);
    EXPECT_FALSE(slider.enabled());
    EXPECT_TRUE(slider.snap());
    EXPECT_TRUE(host.events.empty());
    EXPECT_EQ(host.redraws, 0);
}

TEST_F(SliderPropertiesTest, ColourSettersDeriveComponentsAndRaiseChange)
{
    host.clear();
    slider.setForeColor(sliderRgb(255, 0, 0));
    slider.setForeColor2(sliderRgb(0, 0, 255));
    slider.setBackColor(sliderRgb(255, 192, 255));
    EXPECT_THAT(host.events, ElementsAre("Change", "Change", "Change"));
    EXPECT_EQ(host.redraws, 3);
    EXPECT_EQ(slider.picture().empty, (SliderRgb{255, 192, 255}));

    slider.setMin(0);
    slider.setMax(2);
    slider.setValue(0);
    EXPECT_EQ(slider.fillColour(), (SliderRgb{255, 0, 0}));
    slider.setValue(2);
    EXPECT_EQ(slider.fillColour(), (SliderRgb{0, 0, 255}));
    slider.setValue(1); // halfway: 127.5 goes to the even 128
    EXPECT_EQ(slider.fillColour(), (SliderRgb{128, 0, 128}));
    EXPECT_EQ(slider.picture().fill, (SliderRgb{128, 0, 128}));
}

TEST_F(SliderPropertiesTest, SystemColourBytesAreTakenUntranslated)
{
    slider.setBackColor(0x8000000Eu);
    EXPECT_EQ(slider.backColor(), 0x8000000Eu);
    EXPECT_EQ(slider.picture().empty, (SliderRgb{0x0E, 0, 0}));
}

TEST_F(SliderPropertiesTest, StyleSetToItsOwnValueShrinksToTheMinimumLength)
{
    host.clear();
    slider.setStyle(SliderModel::StyleHorizontal);
    EXPECT_EQ(slider.size(), (SliderSize{63, 20}));
    EXPECT_THAT(host.sizes, ElementsAre(SliderSize{63, 20}));
    EXPECT_TRUE(host.events.empty());
    EXPECT_EQ(host.redraws, 1);
}

TEST_F(SliderPropertiesTest, StyleChangeTurnsTheControl)
{
    slider.setStyle(SliderModel::StyleVertical);
    EXPECT_FALSE(slider.horizontal());
    EXPECT_EQ(slider.size(), (SliderSize{20, 225}));
    slider.setStyle(7); // any value but 0 is vertical
    EXPECT_EQ(slider.size(), (SliderSize{20, 63}));
    slider.resize({20, 225});
    slider.setStyle(SliderModel::StyleHorizontal);
    EXPECT_EQ(slider.size(), (SliderSize{225, 20}));
}

TEST_F(SliderPropertiesTest, ResizeRulesKeepTheMinimumLengthAndFixedThickness)
{
    slider.resize({40, 55});
    EXPECT_EQ(slider.size(), (SliderSize{63, 20}));
    slider.resize({300, 5});
    EXPECT_EQ(slider.size(), (SliderSize{300, 20}));
    slider.resize({-10, -10});
    EXPECT_EQ(slider.size(), (SliderSize{63, 20}));

    slider.setStyle(SliderModel::StyleVertical);
    slider.resize({50, 30});
    EXPECT_EQ(slider.size(), (SliderSize{20, 63}));
    slider.resize({5, 400});
    EXPECT_EQ(slider.size(), (SliderSize{20, 400}));
}

TEST_F(SliderPropertiesTest, SettersExceptEnabledAndSnapClearTheThumbFollowsMouseFlag)
{
    const auto drag = [&] {
        slider.mouseMove(SliderModel::ButtonLeft, 100, 10);
        ASSERT_TRUE(slider.thumbFollowsMouse());
    };
    drag();
    slider.setEnabled(true);
    slider.setSnap(false);
    EXPECT_TRUE(slider.thumbFollowsMouse());
    for (auto setter : std::vector<std::function<void()>>{
             [&] { slider.setValue(3); }, [&] { slider.setMax(90); }, [&] { slider.setMin(-90); },
             [&] { slider.setBackColor(1); }, [&] { slider.setForeColor(2); }, [&] { slider.setForeColor2(3); },
             [&] { slider.setStyle(0); },
             [&] {
                 slider.resize({225, 20});
             },
             [&] { slider.keyDown(65); }, [&] { slider.load(MemoryPropertyBag()); }}) {
        drag();
        setter();
        EXPECT_FALSE(slider.thumbFollowsMouse());
    }
}

TEST(SliderPersistenceTest, LoadingClampsValueAgainstTheCreationLimits)
{
    RecordingHost host;
    SliderModel slider(host, {225, 20});
    MemoryPropertyBag bag;
    bag.write("Value", 150);
    bag.write("Max", 200);
    bag.write("Min", 0);
    host.clear();
    slider.load(bag);
    EXPECT_EQ(slider.value(), 100);
    EXPECT_EQ(slider.max(), 200);
    EXPECT_EQ(slider.min(), 0);
    EXPECT_EQ(host.events, Events(6, "Change"));
    EXPECT_FALSE(slider.thumbFollowsMouse());
}

TEST(SliderPersistenceTest, LoadingAnEmptyBagGivesTheDefaultsAndSixChanges)
{
    RecordingHost host;
    SliderModel slider(host, {225, 20});
    slider.setValue(3);
    slider.setSnap(true);
    slider.setStyle(1);
    host.clear();
    slider.load(MemoryPropertyBag());
    EXPECT_EQ(host.events, Events(6, "Change"));
    EXPECT_EQ(slider.value(), 50);
    EXPECT_FALSE(slider.snap());
    EXPECT_TRUE(slider.horizontal());
    // Loading sets both colours, so the fill is now blended from the default colours.
    EXPECT_EQ(slider.fillColour(), (SliderRgb{200, 50, 0}));
    EXPECT_EQ(slider.picture().empty, (SliderRgb{0, 0, 0}));
}

TEST(SliderPersistenceTest, SavingWritesOnlyWhatDiffersFromTheDefaults)
{
    RecordingHost host;
    SliderModel slider(host, {225, 20});
    MemoryPropertyBag untouched;
    slider.save(untouched);
    EXPECT_TRUE(untouched.values().empty());

    slider.setMin(-2);
    slider.setMax(10);
    slider.setValue(-1);
    slider.setBackColor(sliderRgb(255, 192, 255));
    slider.setForeColor(sliderRgb(255, 0, 0));
    slider.setForeColor2(0x8000000Fu);
    slider.setEnabled(false);
    slider.setSnap(true);
    slider.setStyle(1);
    MemoryPropertyBag bag;
    slider.save(bag);
    EXPECT_EQ(bag.values().size(), 9u);
    EXPECT_EQ(bag.read("ForeColor2"), 0x8000000F);
    EXPECT_EQ(bag.read("Enabled"), 0);

    RecordingHost otherHost;
    SliderModel copy(otherHost, {100, 20});
    copy.load(bag);
    EXPECT_EQ(copy.value(), -1);
    EXPECT_EQ(copy.max(), 10);
    EXPECT_EQ(copy.min(), -2);
    EXPECT_EQ(copy.backColor(), slider.backColor());
    EXPECT_EQ(copy.foreColor(), slider.foreColor());
    EXPECT_EQ(copy.foreColor2(), 0x8000000Fu);
    EXPECT_FALSE(copy.enabled());
    EXPECT_TRUE(copy.snap());
    EXPECT_EQ(copy.style(), 1);
    EXPECT_EQ(copy.fillColour(), slider.fillColour());
}

TEST(SliderPersistenceTest, ColoursStoredAsSignedNumbersAreAccepted)
{
    RecordingHost host;
    SliderModel slider(host, {225, 20});
    MemoryPropertyBag bag;
    bag.write("BackColor", -2147483633); // 0x8000000F as a signed 32-bit number
    slider.load(bag);
    EXPECT_EQ(slider.backColor(), 0x8000000Fu);
}

TEST(SliderPersistenceTest, AStoredNumberOutOfRangeStopsLoading)
{
    RecordingHost host;
    SliderModel slider(host, {225, 20});
    MemoryPropertyBag bag;
    bag.write("Value", 7);
    bag.write("Max", std::int64_t(1) << 40);
    bag.write("Min", 5);
    host.clear();
    EXPECT_THROW(slider.load(bag), std::out_of_range);
    EXPECT_EQ(slider.value(), 7);
    EXPECT_EQ(slider.max(), 100);
    EXPECT_EQ(slider.min(), -100);
    EXPECT_THAT(host.events, ElementsAre("Change"));
}

TEST(SliderPersistenceTest, ASetterErrorStopsLoadingWithTheFailingStepKept)
{
    RecordingHost host;
    SliderModel slider(host, {225, 20});
    MemoryPropertyBag bag;
    bag.write("Max", Int32Max); // span from the current Min of -100 leaves the 32-bit range
    bag.write("Min", 0);
    bag.write("BackColor", 255);
    host.clear();
    EXPECT_THROW(slider.load(bag), std::overflow_error);
    EXPECT_EQ(slider.max(), Int32Max);
    EXPECT_EQ(slider.min(), -100);
    EXPECT_EQ(slider.backColor(), 0u);
    EXPECT_THAT(host.events, ElementsAre("Change"));
}

TEST(SliderOverflowTest, ASpanBeyond32BitsThrowsAndKeepsTheStoredLimit)
{
    RecordingHost host;
    SliderModel slider(host, {225, 20});
    host.clear();
    EXPECT_THROW(slider.setMax(Int32Max), std::overflow_error);
    EXPECT_EQ(slider.max(), Int32Max);
    EXPECT_TRUE(host.events.empty());
    EXPECT_EQ(host.redraws, 0);

    // Narrowing the span again brings the control back.
    slider.setMin(0);
    EXPECT_THAT(host.events, ElementsAre("Change"));
    EXPECT_EQ(slider.max() - slider.min(), Int32Max);

    EXPECT_THROW(slider.setMin(Int32Min), std::overflow_error);
    EXPECT_EQ(slider.min(), Int32Min);
    EXPECT_EQ(slider.value(), 50);
}

} // namespace
} // namespace tunevale
