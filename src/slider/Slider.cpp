#include "Slider.h"

#include "SliderMetrics.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QtGlobal>

#include <stdexcept>

namespace tunevale
{

namespace
{

using namespace SliderMetrics;

constexpr SliderSize CreationSize{150, Thickness};

// Mouse buttons and modifier keys as the control's events carry them.
std::int16_t buttonMask(Qt::MouseButtons buttons)
{
    std::int16_t mask = 0;
    if (buttons & Qt::LeftButton)
        mask |= 1;
    if (buttons & Qt::RightButton)
        mask |= 2;
    if (buttons & Qt::MiddleButton)
        mask |= 4;
    return mask;
}

std::int16_t shiftMask(Qt::KeyboardModifiers modifiers)
{
    std::int16_t mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= 1;
    if (modifiers & Qt::ControlModifier)
        mask |= 2;
    if (modifiers & Qt::AltModifier)
        mask |= 4;
    return mask;
}

// Windows virtual key codes: the arrows by name, digits and letters share Qt's codes, others are 0.
int virtualKeyCode(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Left:
        return SliderModel::KeyLeft;
    case Qt::Key_Up:
        return SliderModel::KeyUp;
    case Qt::Key_Right:
        return SliderModel::KeyRight;
    case Qt::Key_Down:
        return SliderModel::KeyDown;
    default:
        return (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) ? qtKey : 0;
    }
}

} // namespace

Slider::Slider(QWidget* parent) : QWidget(parent), m_model(m_host, CreationSize)
{
    setMouseTracking(true); // a click acts where the mouse last moved, so moves without a button count
    setFocusPolicy(Qt::StrongFocus);
    applySize(m_model.size());
}

void Slider::load(const SliderPropertyBag& bag)
{
    const SliderSize before = synced().size();
    const int length = m_model.horizontal() ? before.width : before.height;
    m_model.load(bag);
    m_model.resize(m_model.horizontal() ? SliderSize{length, Thickness} : SliderSize{Thickness, length});
}

QSize Slider::sizeHint() const
{
    return {m_model.size().width, m_model.size().height};
}

void Slider::applySize(SliderSize size)
{
    // Changing the limits resizes the widget on its own; those resizes must not reach the model.
    m_applyingSize = true;
    if (m_model.horizontal()) {
        setMinimumSize(MinimumLength, Thickness);
        setMaximumSize(QWIDGETSIZE_MAX, Thickness);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    } else {
        setMinimumSize(Thickness, MinimumLength);
        setMaximumSize(Thickness, QWIDGETSIZE_MAX);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    }
    resize(size.width, size.height);
    m_applyingSize = false;
    updateGeometry();
}

SliderModel& Slider::synced()
{
    const SliderSize size{width(), height()};
    if (!m_applyingSize && size != m_model.size())
        m_model.resize(size);
    return m_model;
}

template <typename Input> void Slider::handleInput(Input input)
{
    try {
        input();
    } catch (const std::overflow_error& error) {
        qWarning("%s", error.what());
    }
}

void Slider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_artwork.paint(painter, m_model.picture());
}

void Slider::resizeEvent(QResizeEvent*)
{
    const SliderSize size{width(), height()};
    if (m_applyingSize || size == m_model.size())
        return;
    handleInput([&] { m_model.resize(size); });
}

void Slider::mousePressEvent(QMouseEvent* event)
{
    // The press itself does nothing: a click acts on release, at the position of the last move.
    if (event->button() == Qt::LeftButton)
        m_leftPressed = true;
    event->accept();
}

void Slider::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF position = event->position();
    handleInput([&] { m_model.mouseMove(buttonMask(event->buttons()), position.x(), position.y()); });
}

void Slider::mouseReleaseEvent(QMouseEvent* event)
{
    const QPointF position = event->position();
    const bool click = event->button() == Qt::LeftButton && m_leftPressed && rect().contains(position.toPoint());
    if (event->button() == Qt::LeftButton)
        m_leftPressed = false;
    handleInput([&] {
        m_model.mouseUp(buttonMask(event->button()), shiftMask(event->modifiers()), float(position.x()),
                        float(position.y()));
        if (click)
            m_model.click();
    });
}

void Slider::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The release that follows a double click is not a click of its own.
    m_leftPressed = false;
    if (event->button() == Qt::LeftButton)
        handleInput([&] { m_model.dblClick(); });
}

void Slider::keyPressEvent(QKeyEvent* event)
{
    handleInput([&] { m_model.keyDown(virtualKeyCode(event->key())); });
    // Keys other than left and right travel on to the window (default buttons, shortcuts).
    if (event->key() != Qt::Key_Left && event->key() != Qt::Key_Right)
        event->ignore();
}

} // namespace tunevale
