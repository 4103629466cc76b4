#include "CRegister.h"
#include "OutputSettingsModel.h"
#include "ProgramCopy.h"
#include "ProgramFolder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>

namespace tunevale
{
namespace
{

std::string storedSetting(const std::filesystem::path& configFolder, const std::string& name)
{
    return CRegister(configFolder / "Tunevale" / "registry.ini")
        .REGGetSetting(RegistryRoot::LocalMachine, SettingsKey, name, "<none>");
}

// A request to end, by any of the usual signals, closes the window the normal way: the settings are
// saved (start-up stores only the folder values; the rest are added at close) and the exit is clean.
TEST(EndSignalsTest, EachSignalClosesTheWindowAndSavesTheSettings)
{
    const auto program = programFolder() / "tunevale";
    ASSERT_TRUE(std::filesystem::exists(program)) << "build the tunevale program first";
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(::strsignal(signal));
        test::TempDir home;
        test::ProgramCopy copy(program, home.path(), "copy");
        ASSERT_TRUE(copy.waitForStartUp());
        ASSERT_EQ(storedSetting(copy.configFolder(), "sliderOGG"), "<none>");

        ASSERT_EQ(::kill(copy.pid(), signal), 0);
        EXPECT_EQ(copy.waitForExit(20000), 0);
        EXPECT_EQ(storedSetting(copy.configFolder(), "sliderOGG"), "3");
        EXPECT_EQ(storedSetting(copy.configFolder(), "optFileFormat"), "4");
        EXPECT_EQ(storedSetting(copy.configFolder(), "cmbOGGVBitrate"), "6");
    }
}

} // namespace
} // namespace tunevale
