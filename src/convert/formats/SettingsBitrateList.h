#pragma once

#include "GetWMABitRateFromQuality.h"

namespace tunevale
{

class OutputSettingsModel;

// Shows the bitrates offered for the last WMA job in cmbWMAEncodingBitrate of the settings panel.
class SettingsBitrateList : public WmaBitrateListView
{
public:
    explicit SettingsBitrateList(OutputSettingsModel& model) : m_model(model) {}
    void showBitrates(const std::vector<WmaBitrateEntry>& entries, int selected) override;

private:
    OutputSettingsModel& m_model;
};

} // namespace tunevale
