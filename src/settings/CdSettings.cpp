#include "CdSettings.h"

#include "OutputSettingsModel.h"
#include "SettingText.h"

#include <cstdlib>

namespace tunevale
{

CdSettings loadCdSettings(const CRegister& registry)
{
    const RegistryValues values = registry.REGGetSettings(RegistryRoot::LocalMachine, SettingsKey);
    CdSettings settings;
    if (const auto text = values.find("CdReadOffset"))
        if (const auto offset = parseIntegerText(*text); offset && std::abs(*offset) <= LargestCdReadOffset)
            settings.readOffset = *offset;
    if (const auto text = values.find("CdOnlineLookup"))
        if (const auto on = parseOptionText(*text))
            settings.onlineLookup = *on;
    return settings;
}

bool saveCdSettings(CRegister& registry, const CdSettings& settings)
{
    return registry.REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, "CdReadOffset",
                                   std::to_string(settings.readOffset)) &&
           registry.REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, "CdOnlineLookup",
                                   optionText(settings.onlineLookup));
}

} // namespace tunevale
