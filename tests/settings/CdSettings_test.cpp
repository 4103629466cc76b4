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
