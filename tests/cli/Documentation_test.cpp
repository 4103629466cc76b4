#include "CliHarness.h"

#include <gtest/gtest.h>

#include <regex>

namespace tunevale::test
{
namespace
{

const std::filesystem::path kBuildDir = TUNEVALE_BUILD_DIR;
const std::filesystem::path kCompletion = std::filesystem::path(TUNEVALE_SOURCE_DIR) / "data/completion/tunevale-cli";

std::vector<std::string> manPages()
{
    return {(kBuildDir / "man" / "tunevale.1").string(), (kBuildDir / "man" / "tunevale-cli.1").string()};
}

// The long and short option names that a command's --help lists.
std::vector<std::string> helpOptions(const std::string& command)
{
    CliHarness cli;
    const auto help = cli.run({command, "--help"});
    EXPECT_EQ(help.exitCode, 0) << help.err;
    std::vector<std::string> names;
    const std::regex option(R"((^|, )(--?[a-z0-9-]+))");
    for (const auto& text : lines(help.out)) {
        if (text.rfind("  -", 0) != 0)
            continue;
        const auto names_end = text.find("  ", 2);
        const std::string head = text.substr(2, names_end - 2);
        for (std::sregex_iterator it(head.begin(), head.end(), option), end; it != end; ++it)
            names.push_back((*it)[2]);
    }
    return names;
}

// Completes the words (the last one being completed) with the completion script in bash, in folder.
std::vector<std::string> complete(const std::vector<std::string>& words, const std::filesystem::path& folder)
{
    std::string script = "cd \"$1\" && source \"$2\" && COMP_WORDS=(\"${@:3}\") && COMP_CWORD=$(($# - 3)) && "
                         "$(complete -p tunevale-cli | sed -E 's/.*-F ([^ ]+).*/\\1/') && "
                         "printf '%s\\n' \"${COMPREPLY[@]}\"";
    std::vector<std::string> argv{"bash", "-c", script, "bash", folder.string(), kCompletion.string()};
    argv.insert(argv.end(), words.begin(), words.end());
    const auto result = runProgram(argv, 30);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    auto found = lines(result.output);
    if (found.size() == 1 && found.front().empty())
        found.clear();
    std::sort(found.begin(), found.end());
    return found;
}

TEST(ManPages, RenderWithoutWarningsAndCarryTheVersion)
{
    for (const auto& page : manPages()) {
        const auto groff = runProgram({"groff", "-man", "-Tutf8", "-ww", "-z", page}, 60);
        EXPECT_EQ(groff.exitCode, 0) << page << groff.output;
        EXPECT_EQ(groff.output, "") << page;
        const auto man = runProgram({"man", "--warnings", "-l", page}, 60);
        EXPECT_EQ(man.exitCode, 0) << page << man.output;
        EXPECT_NE(man.output.find("NAME"), std::string::npos) << page;
        EXPECT_NE(readFile(page).find("\"Tunevale " TUNEVALE_VERSION "\""), std::string::npos) << page;
    }
}

TEST(ManPages, DescribeEveryOptionAndExitStatus)
{
    const std::string page = readFile(kBuildDir / "man" / "tunevale-cli.1");
    EXPECT_EQ(helpOptions("convert").size(), 35u);
    for (const auto* command : {"convert", "probe", "info", "loudness", "settings", "sync"}) {
        for (const auto& name : helpOptions(command)) {
            // Dashes are written \- in a manual page.
            const std::string written = std::regex_replace(name, std::regex("-"), "\\-");
            EXPECT_NE(page.find(written), std::string::npos) << command << " " << name;
        }
    }
    for (const auto* status : {".B 0\n", ".B 1\n", ".B 2\n", ".B 130\n"})
        EXPECT_NE(page.find(status), std::string::npos) << status;
}

TEST(BashCompletion, ParsesAndCompletesCommandsOptionsValuesAndFiles)
{
    const auto syntax = runProgram({"bash", "-n", kCompletion.string()}, 30);
    EXPECT_EQ(syntax.exitCode, 0) << syntax.output;

    TempDir dir;
    writeFile(dir / "a b.flac", "x");
    writeFile(dir / "c.mp3", "x");
    std::filesystem::create_directory(dir / "folder");

    using Words = std::vector<std::string>;
    EXPECT_EQ(complete({"tunevale-cli", "convert", "-f", ""}, dir.path()),
              (Words{"aac", "aiff", "alac", "flac", "ipod", "mp3", "ogg", "opus", "wav", "wavpack", "wma"}));
    EXPECT_EQ(complete({"tunevale-cli", "convert", "--format", "=", "o"}, dir.path()), (Words{"ogg", "opus"}));
    EXPECT_EQ(complete({"tunevale-cli", "convert", "--flac-level", ""}, dir.path()),
              (Words{"0", "1", "2", "3", "4", "5", "6", "7", "8"}));
    EXPECT_EQ(complete({"tunevale-cli", ""}, dir.path()),
              (Words{"--help", "--version", "convert", "info", "loudness", "probe", "settings", "sync"}));
    EXPECT_EQ(complete({"tunevale-cli", "convert", "--stereo", ""}, dir.path()),
              (Words{"dual", "forced", "joint", "mono", "stereo"}));
    EXPECT_EQ(complete({"tunevale-cli", "convert", "-f", "mp3", ""}, dir.path()),
              (Words{"a b.flac", "c.mp3", "folder"}));
    EXPECT_EQ(complete({"tunevale-cli", "convert", "-o", ""}, dir.path()), (Words{"folder"}));
    EXPECT_EQ(complete({"tunevale-cli", "settings", "sliderW"}, dir.path()), (Words{"sliderWMA="}));
    EXPECT_EQ(complete({"tunevale-cli", "settings", "sliderO"}, dir.path()),
              (Words{"sliderOGG=", "sliderOpusBitrate="}));

    // Every option of every command is offered.
    for (const auto* command : {"convert", "probe", "info", "loudness", "settings", "sync"}) {
        const auto offered = complete({"tunevale-cli", command, "-"}, dir.path());
        for (const auto& name : helpOptions(command))
            EXPECT_TRUE(std::binary_search(offered.begin(), offered.end(), name)) << command << " " << name;
    }
}

TEST(Version, IsTheProjectVersion)
{
    CliHarness cli;
    const auto version = cli.run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "tunevale-cli " TUNEVALE_VERSION "\n");
    const auto help = cli.run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("usage: tunevale-cli [--help] [--version] COMMAND"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("130"), std::string::npos) << help.out;
    EXPECT_EQ(cli.run({"-h"}).out, help.out);
    const auto none = cli.run({});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.err.find("usage:"), std::string::npos);
    const auto unknown = cli.run({"transcode", "x.wav"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("unknown command \"transcode\""), std::string::npos) << unknown.err;
    EXPECT_EQ(cli.run({"--bogus", "convert"}).exitCode, 2);
}

} // namespace
} // namespace tunevale::test
