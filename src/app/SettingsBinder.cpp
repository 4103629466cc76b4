#include "SettingsBinder.h"

#include "Slider.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStackedWidget>

namespace tunevale
{

namespace
{

void setEnabledIfChanged(QWidget* widget, bool enabled)
{
    if (widget->isEnabledTo(widget->parentWidget()) != enabled)
        widget->setEnabled(enabled);
}

} // namespace

SettingsBinder::SettingsBinder(OutputSettingsModel& model, QObject* parent) : QObject(parent), m_model(model)
{
    m_model.addChangeHandler([this](OutputControl, int) { refresh(); });
}

void SettingsBinder::refresh()
{
    // A refresh may itself make widgets announce changes; those are the model's own values.
    if (m_refreshing)
        return;
    m_refreshing = true;
    for (const auto& refresher : m_refreshers)
        refresher(m_model.settings());
    m_refreshing = false;
}

bool SettingsBinder::enabled(OutputControl control, bool modelEnabled) const
{
    const auto locked = m_runLocked.find(control);
    return modelEnabled && !(locked != m_runLocked.end() && locked->second);
}

void SettingsBinder::setRunLocked(OutputControl control, bool locked)
{
    m_runLocked[control] = locked;
    refresh();
}

void SettingsBinder::option(QRadioButton* widget, OutputControl control, int index)
{
    // The model keeps each group exclusive; it may also leave a group with none on.
    widget->setAutoExclusive(false);
    connect(widget, &QRadioButton::clicked, this, [this, widget, control, index] {
        m_model.clickOption(control, index);
        refresh();
        widget->setFocus();
    });
    m_refreshers.push_back([this, widget, control, index](const OutputSettings& s) {
        const OptionButton& option = optionField(s, control, index);
        if (widget->isChecked() != option.value) {
            const QSignalBlocker block(widget);
            widget->setChecked(option.value);
        }
        setEnabledIfChanged(widget, enabled(control, option.enabled));
    });
}

void SettingsBinder::check(QCheckBox* widget, OutputControl control)
{
    connect(widget, &QCheckBox::clicked, this, [this, control](bool ticked) { m_model.clickCheck(control, ticked); });
    m_refreshers.push_back([this, widget, control](const OutputSettings& s) {
        const CheckBox& box = checkField(s, control);
        if (widget->isChecked() != box.value) {
            const QSignalBlocker block(widget);
            widget->setChecked(box.value);
        }
        setEnabledIfChanged(widget, enabled(control, box.enabled));
    });
}

void SettingsBinder::text(QLineEdit* widget, OutputControl control, int index)
{
    connect(widget, &QLineEdit::textEdited, this,
            [this, control, index](const QString& text) { m_model.setText(control, text.toStdString(), index); });
    m_refreshers.push_back([this, widget, control, index](const OutputSettings& s) {
        const TextBox& box = textField(s, control, index);
        const QString text = QString::fromStdString(box.text);
        if (widget->text() != text) {
            const QSignalBlocker block(widget);
            widget->setText(text);
        }
        setEnabledIfChanged(widget, enabled(control, box.enabled));
    });
}

void SettingsBinder::combo(QComboBox* widget, OutputControl control)
{
    connect(widget, &QComboBox::activated, this, [this, control](int index) { m_model.setComboIndex(control, index); });
    m_refreshers.push_back([this, widget, control](const OutputSettings& s) {
        const ComboBox& combo = comboField(s, control);
        const QSignalBlocker block(widget);
        bool sameList = widget->count() == static_cast<int>(combo.list.size());
        for (int i = 0; sameList && i < widget->count(); ++i)
            sameList = widget->itemText(i).toStdString() == combo.list[i];
        if (!sameList) {
            widget->clear();
            for (std::size_t i = 0; i < combo.list.size(); ++i) {
                const QVariant data = i < combo.itemData.size() ? QVariant::fromValue(combo.itemData[i]) : QVariant();
                widget->addItem(QString::fromStdString(combo.list[i]), data);
            }
        }
        if (widget->currentIndex() != combo.listIndex)
            widget->setCurrentIndex(combo.listIndex);
        setEnabledIfChanged(widget, enabled(control, combo.enabled));
    });
}

void SettingsBinder::slider(Slider* widget, OutputControl control, QLabel* number, int index)
{
    const SliderSetting& range = sliderField(m_model.settings(), control, index);
    widget->setMax(range.max);
    widget->setMin(range.min);
    connect(widget, &Slider::Change, this, [this, widget, control, index] {
        if (!m_refreshing)
            m_model.setSliderValue(control, widget->value(), index);
    });
    m_refreshers.push_back([this, widget, control, number, index](const OutputSettings& s) {
        const SliderSetting& slider = sliderField(s, control, index);
        if (widget->value() != slider.value)
            widget->setValue(slider.value);
        number->setText(QString::number(slider.value));
        setEnabledIfChanged(widget, enabled(control, slider.enabled));
    });
}

void SettingsBinder::enabledOnly(QWidget* widget, OutputControl control)
{
    m_refreshers.push_back([this, widget, control](const OutputSettings& s) {
        if (control == OutputControl::cmdBrowse)
            setEnabledIfChanged(widget, enabled(control, s.cmdBrowse.enabled));
    });
}

void SettingsBinder::caption(QLabel* widget, OutputControl control)
{
    m_refreshers.push_back([widget, control](const OutputSettings& s) {
        if (control == OutputControl::lblFormat)
            widget->setText(QString::fromStdString(s.lblFormat));
    });
}

void SettingsBinder::frontPanel(QStackedWidget* widget)
{
    m_refreshers.push_back([widget](const OutputSettings& s) {
        if (s.frFormat >= 0 && s.frFormat < widget->count())
            widget->setCurrentIndex(s.frFormat);
    });
}

} // namespace tunevale
