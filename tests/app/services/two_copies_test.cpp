#include "ProgramCopy.h"
#include "ProgramFolder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace tunevale
{
namespace
{

TEST(TwoCopiesTest, RunSideBySideAndTheMarkerLastsWhileEitherRuns)
{
    const auto program = programFolder() / "tunevale";
    ASSERT_TRUE(std::filesystem::exists(program)) << "build the tunevale program first";
    if (test::markerVisible())
        GTEST_SKIP() << "a copy of Tunevale runs on this machine";
    test::TempDir home;

    test::ProgramCopy first(program, home.path(), "first");
    ASSERT_TRUE(first.waitForStartUp());
    const pid_t firstPid = first.pid();
    EXPECT_EQ(test::markerHolder(), firstPid);

    test::ProgramCopy second(program, home.path(), "second");
    EXPECT_TRUE(second.waitForStartUp());
    EXPECT_TRUE(first.running());
    const pid_t secondPid = second.pid();

    // The marker stays while either copy runs, and goes with the last one.
    first.end();
    EXPECT_TRUE(second.running());
    EXPECT_TRUE(test::eventually([&] { return test::markerHolder() == secondPid; }, 60000, 100));

    second.end();
    EXPECT_FALSE(test::markerVisible()) << "held by process " << test::markerHolder();
}

} // namespace
} // namespace tunevale
