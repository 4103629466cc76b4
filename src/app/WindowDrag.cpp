#include "WindowDrag.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace tunevale
{

WindowDrag::WindowDrag(QWidget& handle, QWidget& window) : QObject(&handle), m_handle(handle), m_window(window)
{
    m_handle.installEventFilter(this);
}

bool WindowDrag::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &m_handle)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* press = static_cast<QMouseEvent*>(event);
        // A press that a label or a child panel passed on up is not a press on the background.
        m_pressed = press->button() == Qt::LeftButton && !m_handle.childAt(press->position().toPoint());
        m_following = false;
        m_pressGlobal = press->globalPosition().toPoint();
        m_windowAtPress = m_window.pos();
        return false;
    }
    case QEvent::MouseMove: {
        auto* move = static_cast<QMouseEvent*>(event);
        if (!m_pressed || !move->buttons().testFlag(Qt::LeftButton)) {
            m_pressed = m_following = false;
            return false;
        }
        const QPoint travel = move->globalPosition().toPoint() - m_pressGlobal;
        if (m_following) {
            m_window.move(m_windowAtPress + travel);
            return true;
        }
        if (travel.manhattanLength() < QApplication::startDragDistance())
            return false;
        DragWindow(travel);
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_pressed = m_following = false;
        return false;
    default:
        return false;
    }
}

void WindowDrag::DragWindow(QPoint travel)
{
    QWindow* window = m_window.windowHandle();
    if (window && window->startSystemMove()) {
        // The window system has the pointer now and ends the move when the button goes up.
        m_pressed = false;
        return;
    }
    m_following = true;
    m_window.move(m_windowAtPress + travel);
}

} // namespace tunevale
