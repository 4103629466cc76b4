#pragma once

#include <string>

namespace tunevale
{

// The slide of the format and about panels over the main panel, driven by the timer tmrAnimate.
// Positions are in twips (15 to a pixel). The window does the moving through SlideHost.
class PanelSlide
{
public:
    class SlideHost
    {
    public:
        virtual ~SlideHost() = default;
        virtual int movingPanelTop() const = 0; // twips
        virtual void setMovingPanelTop(int twips) = 0;
        virtual int windowHeight() const = 0; // twips
        virtual void startTimer() = 0;
        virtual void stopTimer() = 0;
        virtual void setTimerInterval(int milliseconds) = 0;
        virtual void enableMainPanel() = 0;
    };

    static constexpr int kShownTop = 2715; // where a risen panel settles

    explicit PanelSlide(SlideHost& host) : m_host(host) {}

    // "EDIT_FRAME_UP" or "EDIT_FRAME_DOWN": sets the pace and starts the timer.
    void SlidePanel(const std::string& direction);
    // One tick of tmrAnimate.
    void tick();
    void SlidePanelUpStep();
    void SlidePanelDownStep();

    int SlideStep() const { return m_slideStep; }
    int SlideInterval() const { return m_slideInterval; }
    const std::string& sMoveObject() const { return m_moveObject; }

private:
    SlideHost& m_host;
    int m_slideStep = 0;
    int m_slideInterval = 0;
    std::string m_moveObject;
};

} // namespace tunevale
