#pragma once

#include "OutputSettingsModel.h"

#include <QObject>

#include <functional>
#include <map>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QStackedWidget;
class QWidget;

namespace tunevale
{

class Slider;

// Binds the widgets of the settings panel and the output-folder controls to the output settings
// model: a user's click or edit goes to the model, and every change the model announces is shown
// by the widgets (values, lists, enabled states, the front format panel, the summary line).
class SettingsBinder : public QObject
{
    Q_OBJECT
public:
    explicit SettingsBinder(OutputSettingsModel& model, QObject* parent = nullptr);

    void option(QRadioButton* widget, OutputControl control, int index = 0);
    void check(QCheckBox* widget, OutputControl control);
    void text(QLineEdit* widget, OutputControl control, int index = 0);
    void combo(QComboBox* widget, OutputControl control);
    // The slider and the label that shows its value.
    void slider(Slider* widget, OutputControl control, QLabel* number, int index = 0);
    // A control whose enabled state alone the model holds (cmdBrowse).
    void enabledOnly(QWidget* widget, OutputControl control);
    void caption(QLabel* widget, OutputControl control);
    void frontPanel(QStackedWidget* widget);

    // While a conversion runs, these controls are disabled whatever the model says; afterwards
    // they show the model's state again.
    void setRunLocked(OutputControl control, bool locked);

    // Shows the model's whole state.
    void refresh();

private:
    bool enabled(OutputControl control, bool modelEnabled) const;

    OutputSettingsModel& m_model;
    std::vector<std::function<void(const OutputSettings&)>> m_refreshers;
    std::map<OutputControl, bool> m_runLocked;
    bool m_refreshing = false;
};

} // namespace tunevale
