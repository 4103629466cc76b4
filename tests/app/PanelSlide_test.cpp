// The panel slide: positions in twips, the timer's pace, and where a panel settles.
#include "PanelSlide.h"

#include <gtest/gtest.h>

#include <vector>

namespace tunevale
{
namespace
{

class RecordingHost : public PanelSlide::SlideHost
{
public:
    int top = 0, height = 0;
    bool running = false, mainEnabled = false;
    std::vector<int> tops, intervals;

    int movingPanelTop() const override { return top; }
    void setMovingPanelTop(int twips) override
    {
        top = twips;
        tops.push_back(twips);
    }
    int windowHeight() const override { return height; }
    void startTimer() override { running = true; }
    void stopTimer() override { running = false; }
    void setTimerInterval(int ms) override { intervals.push_back(ms); }
    void enableMainPanel() override { mainEnabled = true; }
};

// Ticks until the timer stops, at most 1000 times.
int runToEnd(PanelSlide& slide, RecordingHost& host)
{
    int ticks = 0;
    while (host.running && ticks < 1000) {
        slide.tick();
        ++ticks;
    }
    return ticks;
}

TEST(PanelSlide, RisesFastThenSlowsAndSettlesAt2715)
{
    RecordingHost host;
    host.height = host.top = 4000;
    PanelSlide slide(host);
    slide.SlidePanel("EDIT_FRAME_UP");
    EXPECT_EQ(slide.sMoveObject(), "Edit Frame 2 Up");
    EXPECT_EQ(slide.SlideStep(), 300);
    EXPECT_EQ(slide.SlideInterval(), 10);
    ASSERT_TRUE(host.running);
    runToEnd(slide, host);
    // 4000 -300-> 3700, 3400, 3100; below 3100 the step halves to 150 (20 ms), then 75 (40 ms).
    EXPECT_EQ(host.tops, (std::vector<int>{3700, 3400, 3100, 2800, 2650, 2575, 2715}));
    // Each tick sets the interval before it may slow down.
    EXPECT_EQ(host.intervals, (std::vector<int>{10, 10, 10, 10, 10, 20, 40}));
    EXPECT_FALSE(host.running);
    EXPECT_EQ(host.top, PanelSlide::kShownTop);
    EXPECT_FALSE(host.mainEnabled);
}

TEST(PanelSlide, SettlesAt2715WhateverTheWindowHeight)
{
    for (int height : {2000, 2650, 3000, 7800, 9015, 12345, 30000}) {
        RecordingHost host;
        host.height = host.top = height;
        PanelSlide slide(host);
        slide.SlidePanel("EDIT_FRAME_UP");
        runToEnd(slide, host);
        EXPECT_FALSE(host.running) << height;
        EXPECT_EQ(host.top, 2715) << height;
    }
}

TEST(PanelSlide, FallsToTheWindowHeightAndEnablesTheMainPanel)
{
    RecordingHost host;
    host.height = 4000;
    host.top = 2715;
    PanelSlide slide(host);
    slide.SlidePanel("EDIT_FRAME_DOWN");
    EXPECT_EQ(slide.SlideStep(), 500);
    EXPECT_EQ(slide.SlideInterval(), 5);
    runToEnd(slide, host);
    EXPECT_EQ(host.tops, (std::vector<int>{3215, 3715, 4215, 4000}));
    EXPECT_EQ(host.intervals, (std::vector<int>{5, 5, 5, 5}));
    EXPECT_TRUE(host.mainEnabled);
    EXPECT_FALSE(host.running);
}

TEST(PanelSlide, DownDuringARiseFallsFromWhereThePanelIs)
{
    RecordingHost host;
    host.height = host.top = 9000;
    PanelSlide slide(host);
    slide.SlidePanel("EDIT_FRAME_UP");
    slide.tick();
    slide.tick();
    EXPECT_EQ(host.top, 8400);
    slide.SlidePanel("EDIT_FRAME_DOWN");
    slide.tick();
    EXPECT_EQ(host.top, 8900);
    runToEnd(slide, host);
    EXPECT_EQ(host.top, 9000);
    EXPECT_TRUE(host.mainEnabled);
}

TEST(PanelSlide, TicksWithoutASlideDoNothing)
{
    RecordingHost host;
    host.height = host.top = 5000;
    PanelSlide slide(host);
    slide.tick();
    EXPECT_TRUE(host.tops.empty());
    EXPECT_TRUE(host.intervals.empty());
}

} // namespace
} // namespace tunevale
