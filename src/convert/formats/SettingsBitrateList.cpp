#include "SettingsBitrateList.h"

#include "OutputSettingsModel.h"

namespace tunevale
{

void SettingsBitrateList::showBitrates(const std::vector<WmaBitrateEntry>& entries, int selected)
{
    std::vector<std::string> texts;
    std::vector<std::int64_t> bitrates;
    for (const WmaBitrateEntry& entry : entries) {
        texts.push_back(entry.text);
        bitrates.push_back(entry.bitrate);
    }
    m_model.setComboList(OutputControl::cmbWMAEncodingBitrate, std::move(texts), std::move(bitrates));
    if (selected >= 0)
        m_model.setComboIndex(OutputControl::cmbWMAEncodingBitrate, selected);
}

} // namespace tunevale
