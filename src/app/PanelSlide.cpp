#include "PanelSlide.h"

#include <cmath>

namespace tunevale
{

namespace
{
const std::string kUp = "Edit Frame 2 Up";
const std::string kDown = "Edit Frame 2 Down";
} // namespace

void PanelSlide::SlidePanel(const std::string& direction)
{
    if (direction == "EDIT_FRAME_UP") {
        m_slideStep = 300;
        m_slideInterval = 10;
        m_moveObject = kUp;
    } else if (direction == "EDIT_FRAME_DOWN") {
        m_slideStep = 500;
        m_slideInterval = 5;
        m_moveObject = kDown;
    }
    m_host.startTimer();
}

void PanelSlide::tick()
{
    if (m_moveObject == kUp)
        SlidePanelUpStep();
    else if (m_moveObject == kDown)
        SlidePanelDownStep();
}

void PanelSlide::SlidePanelUpStep()
{
    m_host.setTimerInterval(m_slideInterval);
    const int top = m_host.movingPanelTop();
    if (top < 2650) {
        m_host.stopTimer();
        m_host.setMovingPanelTop(kShownTop);
        return;
    }
    // Slow down over the last stretch: half the step, twice the interval.
    if (top < 3100 && m_slideStep > 100) {
        m_slideStep = static_cast<int>(std::nearbyint(m_slideStep / 2.0));
        m_slideInterval *= 2;
    }
    m_host.setMovingPanelTop(top - m_slideStep);
}

void PanelSlide::SlidePanelDownStep()
{
    m_host.setTimerInterval(m_slideInterval);
    if (m_host.movingPanelTop() >= m_host.windowHeight()) {
        m_host.stopTimer();
        m_host.setMovingPanelTop(m_host.windowHeight());
        m_host.enableMainPanel();
        return;
    }
    m_host.setMovingPanelTop(m_host.movingPanelTop() + m_slideStep);
}

} // namespace tunevale
