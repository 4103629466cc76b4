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

TEST_F(CdSettingsStore, AMissingOffsetReadsAsNone)
{
    EXPECT_EQ(loadCdSettings(reg), CdSettings{0});
}

TEST_F(CdSettingsStore, SavedValuesReadBackBesideTheOutputSettings)
{
    ASSERT_TRUE(reg.REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, "chkCarryTags", "False"));
    ASSERT_TRUE(saveCdSettings(reg, CdSettings{-1164}));
    EXPECT_EQ(loadCdSettings(CRegister(file)), CdSettings{-1164});
    EXPECT_EQ(reg.REGGetSetting(RegistryRoot::LocalMachine, SettingsKey, "CdReadOffset", ""), "-1164");
    EXPECT_EQ(reg.REGGetSetting(RegistryRoot::LocalMachine, SettingsKey, "chkCarryTags", ""), "False");
}

TEST_F(CdSettingsStore, AnUnreadableOrOutlandishOffsetReadsAsNone)
{
    for (const std::string offset : {"six", "99999", "-10001", "1e12", "10000x"}) {
        reg.REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, "CdReadOffset", offset);
        EXPECT_EQ(loadCdSettings(reg), CdSettings{0}) << offset;
    }
    reg.REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, "CdReadOffset", " +48 ");
    EXPECT_EQ(loadCdSettings(reg), CdSettings{48});
    reg.REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, "CdReadOffset", "-10000");
    EXPECT_EQ(loadCdSettings(reg), CdSettings{-10000});
}

TEST_F(CdSettingsStore, OnlineLookupIsOnUnlessStoredOff)
{
    EXPECT_TRUE(loadCdSettings(reg).onlineLookup);
    ASSERT_TRUE(saveCdSettings(reg, CdSettings{12, false}));
    EXPECT_EQ(reg.REGGetSetting(RegistryRoot::LocalMachine, SettingsKey, "CdOnlineLookup", ""), "False");
    EXPECT_EQ(loadCdSettings(CRegister(file)), (CdSettings{12, false}));
    reg.REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, "CdOnlineLookup", "perhaps");
    EXPECT_TRUE(loadCdSettings(reg).onlineLookup);
    reg.REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, "CdOnlineLookup", "0");
    EXPECT_FALSE(loadCdSettings(reg).onlineLookup);
}
