#include "RegularFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tunevale;
using namespace tunevale::test;

TEST(RegularFile, ReadsAFileUpToOneByteOverTheLimit)
{
    TempDir dir;
    std::string bytes(300'000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i % 251);
    writeFile(dir / "song.mid", bytes);
    EXPECT_EQ(readRegularFile((dir / "song.mid").string(), 1'000'000), bytes);
    EXPECT_EQ(readRegularFile((dir / "song.mid").string(), 1000), bytes.substr(0, 1001));
    writeFile(dir / "empty.mod", "");
    EXPECT_EQ(readRegularFile((dir / "empty.mod").string(), 1000), std::string());
}

TEST(RegularFile, RefusesWhatIsNotARegularFileWithoutWaiting)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe.mid").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder.mod");
    for (const std::string& path : {(dir / "pipe.mid").string(), (dir / "folder.mod").string(),
                                    std::string("/dev/zero"), (dir / "missing.mid").string()}) {
        EXPECT_EQ(openRegularFile(path), -1) << path;
        EXPECT_FALSE(readRegularFile(path, 1000)) << path;
    }
}
