#include "CRegister.h"

#include "HostileFiles.h"
#include "RegistryFileTest.h"
#include "TestSupport.h"

#include <QLockFile>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tunevale;
using tunevale::test::TempDir;

namespace
{

constexpr auto HKLM = RegistryRoot::LocalMachine;
const std::string kKey = "Software\\Brindle Tunevale\\Settings";

class CRegisterTest : public test::RegistryFileTest
{
};

// Waits for a child process at most timeoutSeconds; its exit code, or -1 (then it is killed).
int waitChild(pid_t pid, int timeoutSeconds = 60)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

// Runs check in a child process that cannot override file permissions (as root: user "nobody").
template <typename Check> int runUnprivileged(Check check)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(100);
        ::_exit(check());
    }
    return waitChild(pid);
}

} // namespace

TEST_F(CRegisterTest, MissingStoreGivesTheDefaultAndSavedValuesReadBack)
{
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "txtOutPath", "dflt"), "dflt");
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "txtOutPath", "/home/u/Out Folder=x"));
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "txtOutPath", "dflt"), "/home/u/Out Folder=x");
    // A new object sees the same store: nothing is held between calls.
    EXPECT_EQ(CRegister(file).REGGetSetting(HKLM, kKey, "txtOutPath", ""), "/home/u/Out Folder=x");
    // Another root is another tree.
    EXPECT_EQ(reg.REGGetSetting(RegistryRoot::CurrentUser, kKey, "txtOutPath", "none"), "none");
}

TEST_F(CRegisterTest, NamesCompareWithoutRegardToLetterCase)
{
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "cmbOGGvBitrate", "3"));
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "cmbOGGVBitrate", "6"), "3");
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "CMBOGGVBITRATE", "4"));
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "cmbOGGvBitrate", "6"), "4");
    // Key paths too; and one value, not two, was stored.
    EXPECT_EQ(reg.REGGetSetting(HKLM, "SOFTWARE\\brindle tunevale\\SETTINGS", "cmbOggVBitrate", "6"), "4");
    const std::string text = test::readFile(file);
    EXPECT_NE(text.find("cmbOGGvBitrate=4"), std::string::npos) << text;
    EXPECT_EQ(text.find("CMBOGGVBITRATE"), std::string::npos) << text;
    EXPECT_TRUE(reg.REGDeleteSetting(HKLM, kKey, "CmbOggVBitRate"));
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "cmbOGGvBitrate", "6"), "6");
}

TEST_F(CRegisterTest, LeadingAndTrailingSeparatorsReachTheSameKey)
{
    EXPECT_EQ(CRegister::TrimKeySlashes("\\A\\B\\"), "A\\B");
    EXPECT_EQ(CRegister::TrimKeySlashes("\\\\A\\\\"), "\\A\\");
    EXPECT_EQ(CRegister::TrimKeySlashes("A"), "A");
    EXPECT_EQ(CRegister::TrimKeySlashes("\\"), "");

    ASSERT_TRUE(reg.REGSaveSetting(HKLM, "\\" + kKey + "\\", "a", "1"));
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "a", ""), "1");
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "b", "2"));
    EXPECT_EQ(reg.REGGetSetting(HKLM, "\\" + kKey + "\\", "b", ""), "2");
    EXPECT_TRUE(reg.REGDeleteSetting(HKLM, "\\" + kKey, "b"));
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "b", "gone"), "gone");
    // Only one separator is trimmed at each end; an empty part names no key.
    EXPECT_FALSE(reg.REGSaveSetting(HKLM, "\\\\" + kKey, "c", "3"));
    EXPECT_EQ(reg.REGGetSetting(HKLM, "\\\\" + kKey, "a", "none"), "none");
}

TEST_F(CRegisterTest, StarNamesTheUnnamedValue)
{
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "*", "unnamed"));
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "named", "x"));
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "*", ""), "unnamed");
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "named", ""), "x");
    EXPECT_TRUE(reg.REGDeleteSetting(HKLM, kKey, "*"));
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "*", "dflt"), "dflt");
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "named", ""), "x");
    EXPECT_FALSE(reg.REGDeleteSetting(HKLM, kKey, "*"));
}

TEST_F(CRegisterTest, AnEmptyStoredTextReadsAsTheDefault)
{
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "txtOutPath", ""));
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "txtOutPath", "/home/u/Converted Files"), "/home/u/Converted Files");
    // It is stored all the same, so it can be deleted.
    EXPECT_TRUE(reg.REGDeleteSetting(HKLM, kKey, "txtOutPath"));
    EXPECT_FALSE(reg.REGDeleteSetting(HKLM, kKey, "txtOutPath"));
}

TEST_F(CRegisterTest, ValuesOfAnyTextSurviveTheFile)
{
    const std::string odd = "  lead\ttab %41 100% [x] ; # = \\ \r\n second line  ";
    const std::string utf8 = "/home/u/Müsik/日本語";
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, odd, odd));
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, "Software\\[odd] = %key%", "[name]", utf8));
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, odd, ""), odd);
    EXPECT_EQ(reg.REGGetSetting(HKLM, "Software\\[odd] = %key%", "[name]", ""), utf8);
}

TEST_F(CRegisterTest, DeletingAKeyWithSubKeysIsRefused)
{
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey + "\\Sub", "v", "1"));
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "optSameFolder", "True"));
    EXPECT_FALSE(reg.REGDeleteSetting(HKLM, kKey, ""));
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "optSameFolder", ""), "True");
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey + "\\Sub", "v", ""), "1");

    // Without sub-keys the whole key goes, with its values; its parent stays.
    ASSERT_TRUE(reg.REGDeleteSetting(HKLM, kKey + "\\Sub", ""));
    ASSERT_TRUE(reg.REGDeleteSetting(HKLM, kKey, ""));
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "optSameFolder", "gone"), "gone");
    EXPECT_FALSE(reg.REGDeleteSetting(HKLM, kKey, ""));
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, "Software\\Brindle Tunevale", "*", "parent"));
    EXPECT_EQ(reg.REGGetSetting(HKLM, "Software\\Brindle Tunevale", "*", ""), "parent");

    // The whole-key delete takes the path as passed: a trailing separator names no key.
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "a", "1"));
    EXPECT_FALSE(reg.REGDeleteSetting(HKLM, kKey + "\\", ""));
    EXPECT_FALSE(reg.REGDeleteSetting(HKLM, "", ""));
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "a", ""), "1");
}

TEST_F(CRegisterTest, DeletingWhatIsMissingFails)
{
    EXPECT_FALSE(reg.REGDeleteSetting(HKLM, kKey, "nothing"));
    EXPECT_FALSE(reg.REGDeleteSetting(HKLM, kKey, ""));
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(CRegisterTest, AReadOnlyStoreReadsButRefusesWrites)
{
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "optSameFolder", "True"));
    const std::string before = test::readFile(file);
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(file.parent_path().c_str(), 0555);
    ::chmod(file.c_str(), 0444);

    const int result = runUnprivileged([&] {
        CRegister store(file);
        if (store.REGGetSetting(HKLM, kKey, "optSameFolder", "") != "True")
            return 1;
        if (store.REGSaveSetting(HKLM, kKey, "optSameFolder", "False"))
            return 2;
        if (store.REGDeleteSetting(HKLM, kKey, "optSameFolder") || store.REGDeleteSetting(HKLM, kKey, ""))
            return 3;
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(test::readFile(file), before);
}

TEST_F(CRegisterTest, AReadOnlyFileInAWritableFolderIsNotReplaced)
{
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "a", "1"));
    ::chmod(dir.path().c_str(), 0777);
    ::chmod(file.parent_path().c_str(), 0777);
    ::chmod(file.c_str(), 0444);
    const int result = runUnprivileged([&] {
        CRegister store(file);
        return store.REGGetSetting(HKLM, kKey, "a", "") == "1" && !store.REGSaveSetting(HKLM, kKey, "a", "2") ? 0 : 1;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "a", ""), "1");
}

TEST_F(CRegisterTest, AnUnreadableStoreGivesDefaultsAndIsLeftAlone)
{
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "a", "1"));
    const std::string before = test::readFile(file);
    ::chmod(dir.path().c_str(), 0777);
    ::chmod(file.parent_path().c_str(), 0777);
    ::chmod(file.c_str(), 0600);
    const int result = runUnprivileged([&] {
        CRegister store(file);
        if (store.REGGetSetting(HKLM, kKey, "a", "dflt") != "dflt")
            return 1;
        // Writing would have to drop what cannot be read.
        return store.REGSaveSetting(HKLM, kKey, "b", "2") ? 2 : 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(test::readFile(file), before);
}

TEST_F(CRegisterTest, ADamagedFileReadsAsDefaultsAndIsKeptAside)
{
    std::filesystem::create_directories(file.parent_path());
    const std::string damaged = "[HKEY_LOCAL_MACHINE\\" + kKey + "]\noptSameFolder=True\nthis line has no equals\n";
    test::writeFile(file, damaged);
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "optSameFolder", "False"), "False");
    EXPECT_FALSE(reg.REGDeleteSetting(HKLM, kKey, "optSameFolder"));
    EXPECT_EQ(test::readFile(file), damaged);

    // A write starts afresh and keeps the damaged file beside the store.
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "txtOutPath", "/x"));
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "txtOutPath", ""), "/x");
    EXPECT_EQ(test::readFile(file.string() + ".damaged"), damaged);

    // A second damaged file does not replace the first copy.
    test::writeFile(file, std::string("[k]\nbad=%zz\n"));
    EXPECT_EQ(reg.REGGetSetting(HKLM, "k", "bad", "dflt"), "dflt");
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "a", "1"));
    EXPECT_EQ(test::readFile(file.string() + ".damaged"), damaged);
    EXPECT_EQ(test::readFile(file.string() + ".damaged1"), "[k]\nbad=%zz\n");
}

TEST_F(CRegisterTest, OtherDamageIsRecognised)
{
    std::filesystem::create_directories(file.parent_path());
    for (const std::string& text :
         {std::string("a=1\n"), std::string("[unclosed\na=1\n"), std::string("[k]\na=\xff\xfe\n"),
          std::string("[k]\na=1\0b\n", 10), std::string("[k\\\\j]\na=1\n")}) {
        test::writeFile(file, text);
        EXPECT_EQ(reg.REGGetSetting(HKLM, "k", "a", "dflt"), "dflt") << text;
    }
    // Blank lines, comments, CRLF line ends and spaces around names are fine.
    test::writeFile(file, "; settings\r\n\r\n[HKEY_LOCAL_MACHINE\\k]\r\n  a = 1\r\n# end\r\n");
    EXPECT_EQ(reg.REGGetSetting(HKLM, "k", "a", "dflt"), " 1");
}

TEST_F(CRegisterTest, WritesReplaceTheFileWholeAndLeaveNoTemporaryFiles)
{
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "a", "1"));
    const auto inode = [&] {
        struct stat info {
        };
        ::stat(file.c_str(), &info);
        return info.st_ino;
    };
    const auto first = inode();
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "b", "2"));
    EXPECT_NE(inode(), first);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(file.parent_path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(CRegisterFile, FollowsXdgConfigHome)
{
    TempDir dir;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    EXPECT_EQ(CRegister::registryFile(), dir / "Tunevale" / "registry.ini");
    ::setenv("XDG_CONFIG_HOME", "relative/path", 1);
    EXPECT_EQ(CRegister::registryFile().parent_path().parent_path().filename(), ".config");
    if (old)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(CRegisterTest, TwoProcessesWritingAtOnceLoseNothing)
{
    constexpr int kWrites = 60;
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "shared", "start"));
    std::vector<pid_t> children;
    for (int child = 0; child < 2; ++child) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            CRegister store(file);
            int failures = 0;
            for (int i = 0; i < kWrites; ++i) {
                const std::string name = "p" + std::to_string(child) + "_" + std::to_string(i);
                failures += !store.REGSaveSetting(HKLM, kKey, name, std::to_string(i * 7 + child));
                failures += !store.REGSaveSetting(HKLM, kKey, "shared", std::to_string(child));
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children)
        EXPECT_EQ(waitChild(pid, 120), 0);
    for (int child = 0; child < 2; ++child)
        for (int i = 0; i < kWrites; ++i) {
            const std::string name = "p" + std::to_string(child) + "_" + std::to_string(i);
            EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, name, "lost"), std::to_string(i * 7 + child)) << name;
        }
    const std::string shared = reg.REGGetSetting(HKLM, kKey, "shared", "");
    EXPECT_TRUE(shared == "0" || shared == "1") << shared;
    EXPECT_FALSE(std::filesystem::exists(file.string() + ".lock"));
}

TEST_F(CRegisterTest, SeveralValuesGoInOneReplacement)
{
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "B", "old"));
    ASSERT_TRUE(reg.REGMergeSettings(HKLM, "\\" + kKey, {{"a", "1"}, {"b", "2"}, {"*", "3"}, {"c", ""}}));
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "A", ""), "1");
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "B", ""), "2");
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "*", ""), "3");
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "c", "dflt"), "dflt");
    const std::string text = test::readFile(file);
    EXPECT_LT(text.find("B=2"), text.find("a=1")); // an existing value keeps its place and spelling
    EXPECT_FALSE(reg.REGMergeSettings(HKLM, "A\\\\B", {{"a", "1"}}));
}

TEST_F(CRegisterTest, ALockLeftByACrashedCopyDoesNotBlockWrites)
{
    std::filesystem::create_directories(file.parent_path());
    const pid_t pid = ::fork();
    if (pid == 0) {
        auto* lock = new QLockFile(QString::fromStdString(file.string() + ".lock"));
        ::_exit(lock->tryLock(1000) ? 0 : 1); // ends without unlocking, as a crash would
    }
    ASSERT_EQ(waitChild(pid), 0);
    ASSERT_TRUE(std::filesystem::exists(file.string() + ".lock"));
    EXPECT_TRUE(reg.REGSaveSetting(HKLM, kKey, "a", "1"));
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "a", ""), "1");
}

TEST_F(CRegisterTest, ACopyKilledWhileWritingLeavesAWholeFile)
{
    ASSERT_TRUE(reg.REGMergeSettings(HKLM, kKey, {{"round", "0"}, {"check", "0"}}));
    const pid_t pid = ::fork();
    if (pid == 0) {
        CRegister store(file);
        const std::string padding(20000, 'p');
        for (int round = 1;; ++round)
            store.REGMergeSettings(
                HKLM, kKey, {{"round", std::to_string(round)}, {"padding", padding}, {"check", std::to_string(round)}});
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    const std::string round = reg.REGGetSetting(HKLM, kKey, "round", "damaged");
    EXPECT_NE(round, "damaged");
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "check", ""), round);
    EXPECT_TRUE(reg.REGSaveSetting(HKLM, kKey, "after", "1"));
}

TEST_F(CRegisterTest, AMergeWritesOnlyWhereItsConditionHolds)
{
    ASSERT_TRUE(reg.REGMergeSettings(HKLM, kKey, {{"read", "old"}, {"newer", "theirs"}, {"same", "x"}}));
    ASSERT_TRUE(reg.REGMergeSettings(HKLM, kKey,
                                     {{"read", "mine", "old"},        // still as read: written
                                      {"newer", "mine", "old"},       // changed by another copy: kept
                                      {"gap", "filled", ""},          // missing: filled
                                      {"same", "y", std::nullopt},    // unconditional
                                      {"NEWER", "late", "theirs"}})); // names compare without case
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "read", ""), "mine");
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "newer", ""), "late");
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "gap", ""), "filled");
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "same", ""), "y");

    // Nothing to change leaves the file itself alone.
    const auto before = std::filesystem::last_write_time(file);
    const auto inode = [&] {
        struct stat info {
        };
        ::stat(file.c_str(), &info);
        return info.st_ino;
    };
    const auto firstInode = inode();
    EXPECT_TRUE(reg.REGMergeSettings(HKLM, kKey, {{"gap", "other", ""}, {"same", "y", std::nullopt}}));
    EXPECT_EQ(inode(), firstInode);
    EXPECT_EQ(std::filesystem::last_write_time(file), before);
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "gap", ""), "filled");
}

TEST_F(CRegisterTest, OneReadingGivesEveryValueOfAKey)
{
    ASSERT_TRUE(reg.REGMergeSettings(HKLM, kKey, {{"a", "1"}, {"B", "2"}, {"*", "3"}, {"empty", ""}}));
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey + "\\Sub", "a", "other"));
    const RegistryValues values = reg.REGGetSettings(HKLM, "\\" + kKey + "\\");
    EXPECT_EQ(values.find("A"), "1");
    EXPECT_EQ(values.find("b"), "2");
    EXPECT_EQ(values.find("*"), "3");
    EXPECT_EQ(values.find("empty"), std::nullopt);
    EXPECT_EQ(values.find("missing"), std::nullopt);
    EXPECT_EQ(reg.REGGetSettings(HKLM, "Software\\Nothing").find("a"), std::nullopt);
    EXPECT_EQ(reg.REGGetSettings(RegistryRoot::CurrentUser, kKey).find("a"), std::nullopt);
}

TEST_F(CRegisterTest, AnOversizedStoreIsTreatedAsDamagedAndKeptWhole)
{
    // A well-formed file, only too large: one value padded past the limit.
    std::string big = "[HKEY_LOCAL_MACHINE\\" + kKey + "]\nsliderOGG=7\npadding=";
    big += std::string(static_cast<std::size_t>(CRegister::kMaxStoreBytes), 'p') + "\n";
    std::filesystem::create_directories(file.parent_path());
    test::writeFile(file, big);
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "sliderOGG", "dflt"), "dflt");
    EXPECT_EQ(reg.REGGetSettings(HKLM, kKey).find("sliderOGG"), std::nullopt);
    EXPECT_EQ(test::readFile(file), big);

    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "sliderOGG", "2"));
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "sliderOGG", ""), "2");
    EXPECT_EQ(test::readFile(file.string() + ".damaged"), big);
}

TEST_F(CRegisterTest, AStoreJustUnderTheLimitWithManyKeysAndValuesReadsWhole)
{
    // Many keys and many values in one key: each is found by name, whatever its letter case.
    std::string text;
    for (int k = 0; k < 4000; ++k)
        text += "[HKEY_LOCAL_MACHINE\\Many\\K" + std::to_string(k) + "]\nv=" + std::to_string(k) + "\n";
    text += "[HKEY_LOCAL_MACHINE\\" + kKey + "]\n";
    // Room left for the blank lines and the parent key that a rewrite adds.
    for (int v = 0; text.size() < static_cast<std::size_t>(CRegister::kMaxStoreBytes) - 10000; ++v)
        text += "Name" + std::to_string(v) + "=" + std::to_string(v * 3) + "\n";
    std::filesystem::create_directories(file.parent_path());
    test::writeFile(file, text);
    ASSERT_LE(text.size(), static_cast<std::size_t>(CRegister::kMaxStoreBytes));
    EXPECT_EQ(reg.REGGetSetting(HKLM, "many\\k3999", "V", ""), "3999");
    const RegistryValues values = reg.REGGetSettings(HKLM, kKey);
    EXPECT_EQ(values.find("name0"), "0");
    EXPECT_EQ(values.find("NAME40000"), "120000");
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "name1", "changed"));
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "Name1", ""), "changed");
    EXPECT_EQ(reg.REGGetSetting(HKLM, "Many\\K0", "v", ""), "0");
    EXPECT_FALSE(std::filesystem::exists(file.string() + ".damaged"));

    // A write that would take the store past the limit fails and changes nothing.
    const std::string before = test::readFile(file);
    EXPECT_FALSE(reg.REGSaveSetting(HKLM, kKey, "huge", std::string(20000, 'h')));
    EXPECT_EQ(test::readFile(file), before);
}

TEST_F(CRegisterTest, KeyPathsGoNoDeeperThanARegistryAllows)
{
    std::string path = "Software";
    for (int depth = 2; depth <= 511; ++depth)
        path += "\\p";
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, path, "a", "deep")); // 511 parts below the root's name
    EXPECT_EQ(reg.REGGetSetting(HKLM, path, "a", ""), "deep");
    EXPECT_FALSE(reg.REGSaveSetting(HKLM, path + "\\p", "a", "deeper"));
    EXPECT_EQ(reg.REGGetSetting(HKLM, "Software\\p", "a", "none"), "none"); // the parents exist, empty
}

TEST_F(CRegisterTest, ALinkFifoOrDeviceAtTheStoresNameIsNeverReadAndIsSetAsideOnWrite)
{
    std::filesystem::create_directories(file.parent_path());
    const auto victim = dir / "victim.ini";
    const std::string victimText = "[HKEY_LOCAL_MACHINE\\" + kKey + "]\na=from the victim\n";
    test::writeFile(victim, victimText);
    const auto fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::filesystem::path& target :
         {victim, fifo, std::filesystem::path("/dev/zero"), std::filesystem::path("/dev/urandom"), dir / "dangling"}) {
        std::filesystem::create_symlink(target, file);
        const auto read = test::within<std::string>(10, [this] { return reg.REGGetSetting(HKLM, kKey, "a", "dflt"); });
        ASSERT_TRUE(read.has_value()) << target << " held up the read";
        EXPECT_EQ(*read, "dflt") << target;
        ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "a", "1")) << target;
        EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "a", "dflt"), "1");
        EXPECT_TRUE(std::filesystem::is_symlink(file.string() + ".damaged")) << "the link itself is kept aside";
        EXPECT_EQ(std::filesystem::read_symlink(file.string() + ".damaged"), target);
        std::filesystem::remove(file);
        std::filesystem::remove(file.string() + ".damaged");
    }
    EXPECT_EQ(test::readFile(victim), victimText);
    EXPECT_FALSE(std::filesystem::exists(dir / "dangling"));

    // A FIFO at the name itself.
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    const auto read = test::within<std::string>(10, [this] { return reg.REGGetSetting(HKLM, kKey, "a", "dflt"); });
    ASSERT_TRUE(read.has_value()) << "a FIFO held up the read";
    EXPECT_EQ(*read, "dflt");
}

TEST_F(CRegisterTest, AnotherUsersFileAtTheStoresNameIsNotTaken)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give the file to another user";
    ASSERT_TRUE(reg.REGSaveSetting(HKLM, kKey, "a", "planted"));
    ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    EXPECT_EQ(reg.REGGetSetting(HKLM, kKey, "a", "dflt"), "dflt");
}

TEST(CRegisterFile, AnUnsetOrBogusHomeLeadsToThePasswordDatabasesHome)
{
    const passwd* entry = ::getpwuid(::geteuid());
    ASSERT_NE(entry, nullptr);
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::optional<std::string> savedConfig = old ? std::optional<std::string>(old) : std::nullopt;
    const char* oldHome = std::getenv("HOME");
    const std::optional<std::string> savedHome = oldHome ? std::optional<std::string>(oldHome) : std::nullopt;
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("HOME");
    EXPECT_EQ(CRegister::registryFile(),
              std::filesystem::path(entry->pw_dir) / ".config" / "Tunevale" / "registry.ini");
    ::setenv("HOME", "/nonexistent/x", 1);
    EXPECT_EQ(CRegister::registryFile(),
              std::filesystem::path(entry->pw_dir) / ".config" / "Tunevale" / "registry.ini");
    EXPECT_FALSE(std::filesystem::exists("/nonexistent"));
    for (const auto& [name, value] : {std::pair{"XDG_CONFIG_HOME", savedConfig}, std::pair{"HOME", savedHome}}) {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
}
