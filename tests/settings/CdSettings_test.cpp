// The stored settings of CD reading.

#include "CdSettings.h"
#include "OutputSettingsModel.h"
#include "RegistryFileTest.h"

using namespace tunevale;
using namespace tunevale::test;

namespace
{

class CdSettingsStore : public RegistryFileTest
{
};

} // namespace

TEST_F(CdSettingsStore, MissingValuesReadAsNoOffsetAndLookupOn)
{
    EXPECT_EQ(loadCdSettings(reg), (CdSettings{0, true}));
}

TEST_F(CdSettingsStore, SavedValuesReadBackBesideTheOutputSettings)
{
    ASSERT_TRUE(reg.REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, "chkCarryTags", "False"));
    ASSERT_TRUE(saveCdSettings(reg, CdSettings{-1164, false}));
    EXPECT_EQ(loadCdSettings(CRegister(file)), (CdSettings{-1164, false}));
    EXPECT_EQ(reg.REGGetSetting(RegistryRoot::LocalMachine, SettingsKey, "CdReadOffset", ""), "-1164");
    EXPECT_EQ(reg.REGGetSetting(RegistryRoot::LocalMachine, SettingsKey, "chkCarryTags", ""), "False");
}

TEST_F(CdSettingsStore, UnreadableOrOutlandishValuesReadAsTheirDefaults)
{
    for (const auto& [offset, lookup] : std::vector<std::pair<std::string, std::string>>{
             {"six", "maybe"}, {"99999", "yes"}, {"-10001", ""}, {"1e12", "2x"}}) {
        reg.REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, "CdReadOffset", offset);
        reg.REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, "CdOnlineLookup", lookup);
        EXPECT_EQ(loadCdSettings(reg), (CdSettings{0, true})) << offset << " " << lookup;
    }
    reg.REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, "CdReadOffset", " +48 ");
    reg.REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, "CdOnlineLookup", "false");
    EXPECT_EQ(loadCdSettings(reg), (CdSettings{48, false}));
}
