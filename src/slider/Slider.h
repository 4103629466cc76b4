#pragma once

#include "SliderArtwork.h"
#include "SliderModel.h"

#include <QWidget>

#include <cstdint>

namespace tunevale
{

// The program's own slider: a horizontal or vertical track with a draggable thumb whose filled part
// is coloured between ForeColor and ForeColor2 by the position. The rules live in SliderModel; this
// widget draws the model's picture and hands it mouse, click, double-click, key and resize input.
//
// The control's own Enabled property is sliderEnabled(): a slider switched off there ignores the
// mouse but still steps with the arrow keys and looks the same. QWidget::setEnabled(false) blocks all
// input as for any widget. The property setters throw std::overflow_error as SliderModel's do; an
// overflow met while handling input is logged and the input dropped, since Qt events cannot throw.
class Slider : public QWidget
{
    Q_OBJECT

public:
    explicit Slider(QWidget* parent = nullptr);

    std::int32_t value() const { return m_model.value(); }
    std::int32_t max() const { return m_model.max(); }
    std::int32_t min() const { return m_model.min(); }
    SliderColor backColor() const { return m_model.backColor(); }
    SliderColor foreColor() const { return m_model.foreColor(); }
    SliderColor foreColor2() const { return m_model.foreColor2(); }
    bool sliderEnabled() const { return m_model.enabled(); }
    bool snap() const { return m_model.snap(); }
    std::int32_t sliderStyle() const { return m_model.style(); }

    void setValue(std::int32_t value) { synced().setValue(value); }
    void setMax(std::int32_t value) { synced().setMax(value); }
    void setMin(std::int32_t value) { synced().setMin(value); }
    void setBackColor(SliderColor color) { synced().setBackColor(color); }
    void setForeColor(SliderColor color) { synced().setForeColor(color); }
    void setForeColor2(SliderColor color) { synced().setForeColor2(color); }
    void setSliderEnabled(bool enabled) { m_model.setEnabled(enabled); }
    void setSnap(bool snap) { m_model.setSnap(snap); }
    void setSliderStyle(std::int32_t style) { synced().setStyle(style); }

    void save(SliderPropertyBag& bag) const { m_model.save(bag); }
    // Loads the stored properties and then gives the control back its length from before loading,
    // laid along the loaded orientation (loading the style alone would shrink it to the minimum).
    void load(const SliderPropertyBag& bag);

    const SliderModel& model() const { return m_model; }
    const SliderArtwork& artwork() const { return m_artwork; }

    QSize sizeHint() const override;

signals:
    // In the control's fixed event order. A direct-connected DblClick handler may change Value; the
    // control then takes the new number as a set of its Value (clamped, raising Change).
    void DblClick(qint32& Value);
    void Scroll();
    void Change();
    void Click();
    void MouseUp(qint16 Button, qint16 Shift, float X, float Y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Turns the model's events into signals and its redraws and size changes into widget updates.
    class Host : public SliderHost
    {
    public:
        explicit Host(Slider& slider) : m_slider(slider) {}
        void DblClick(std::int32_t& Value) override { emit m_slider.DblClick(Value); }
        void Scroll() override { emit m_slider.Scroll(); }
        void Change() override { emit m_slider.Change(); }
        void Click() override { emit m_slider.Click(); }
        void MouseUp(std::int16_t Button, std::int16_t Shift, float X, float Y) override
        {
            emit m_slider.MouseUp(Button, Shift, X, Y);
        }
        void redraw() override { m_slider.update(); }
        void sizeChanged(SliderSize size) override { m_slider.applySize(size); }

    private:
        Slider& m_slider;
    };

    void applySize(SliderSize size);
    // A hidden widget gets its resize events only when shown: bring the model to the widget's size first.
    SliderModel& synced();
    template <typename Input> void handleInput(Input input);

    SliderArtwork m_artwork;
    bool m_applyingSize = false;
    bool m_leftPressed = false;
    Host m_host{*this};
    SliderModel m_model;
};

} // namespace tunevale
