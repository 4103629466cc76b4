#include "Engine.h"
#include "FileInput.h"
#include "RegularFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tunevale;
using namespace tunevale::test;

TEST(RegularFile, ReadsAWholeFileWithinItsLimitAndRefusesALongerOneUnread)
{
    TempDir dir;
    std::string content(300'000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i % 251);
    writeFile(dir / "song.mid", content);
    const std::string path = (dir / "song.mid").string();

    std::string bytes;
    EXPECT_EQ(readRegularFile(path, content.size(), bytes), EngineCode::Ok);
    EXPECT_EQ(bytes, content);
    EXPECT_EQ(readRegularFile(path, content.size() - 1, bytes), EngineCode::Format);
    EXPECT_TRUE(bytes.empty());
    int code = EngineCode::Ok;
    const auto input = FileInput::open(path, code);
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(input->readAt(0, 12), content.substr(0, 12));
    EXPECT_EQ(input->readAt(content.size() - 2, 12), content.substr(content.size() - 2));

    writeFile(dir / "empty.mod", "");
    EXPECT_EQ(readRegularFile((dir / "empty.mod").string(), 1000, bytes), EngineCode::Ok);
    EXPECT_TRUE(bytes.empty());
    const auto empty = FileInput::open((dir / "empty.mod").string(), code);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->readAt(0, 12), "");
}

TEST(RegularFile, RefusesWhatIsNotARegularFileWithoutWaiting)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe.mid").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder.mod");
    for (const std::string& path : {(dir / "pipe.mid").string(), (dir / "folder.mod").string(),
                                    std::string("/dev/zero"), (dir / "missing.mid").string()}) {
        EXPECT_EQ(openRegularFile(path), -1) << path;
        std::string bytes;
        EXPECT_EQ(readRegularFile(path, 1000, bytes), EngineCode::FileOpen) << path;
        int code = EngineCode::Ok;
        EXPECT_EQ(FileInput::open(path, code), nullptr) << path;
        EXPECT_EQ(code, EngineCode::FileOpen) << path;
    }
}
