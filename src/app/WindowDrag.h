#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

namespace tunevale
{

// Moves a frameless window when the user drags one widget's own background (not its children).
// The move starts only once the pointer has travelled QApplication::startDragDistance() with the
// left button held, so a click or a touchpad tap never starts it. The window system moves the
// window where it can (startSystemMove); elsewhere the window follows the pointer until release.
class WindowDrag : public QObject
{
    Q_OBJECT
public:
    // handle: the widget whose background is dragged, a child of window.
    WindowDrag(QWidget& handle, QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Hands the move to the window system, or makes the window follow the pointer itself.
    void DragWindow(QPoint travel);

    QWidget& m_handle;
    QWidget& m_window;
    bool m_pressed = false;
    bool m_following = false;
    QPoint m_pressGlobal;
    QPoint m_windowAtPress;
};

} // namespace tunevale
