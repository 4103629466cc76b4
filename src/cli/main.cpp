#include "CommandLine.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace tunevale
{
int InfoCommand(const std::vector<std::string>& arguments);
int SettingsCommand(const std::vector<std::string>& arguments);
int ProbeCommand(const std::vector<std::string>& arguments);
int ConvertCommand(const std::vector<std::string>& arguments);
int LoudnessCommand(const std::vector<std::string>& arguments);
int SyncCommand(const std::vector<std::string>& arguments);
} // namespace tunevale

namespace
{

using namespace tunevale;

struct Command {
    const char* name;
    const char* summary;
    int (*run)(const std::vector<std::string>&);
};

const std::vector<Command> kCommands{
    {"convert", "convert files and folders with the stored output settings or the options given", ConvertCommand},
    {"sync", "plan a mirror of a folder tree converted into another (--dry-run)", SyncCommand},
    {"probe", "show what adding each file to the list would give it", ProbeCommand},
    {"info", "decode each file and show its format and length", InfoCommand},
    {"loudness", "measure each file's loudness and its ReplayGain track and album gains", LoudnessCommand},
    {"settings", "show, change or reset the stored output settings", SettingsCommand},
};

std::string versionText()
{
    return "tunevale-cli " + std::to_string(TUNEVALE_VERSION_MAJOR) + "." + std::to_string(TUNEVALE_VERSION_MINOR) +
           ".0." + std::to_string(TUNEVALE_VERSION_REVISION);
}

std::string usageText()
{
    std::string text = "usage: tunevale-cli [--help] [--version] COMMAND [options] ARGS\n\nCommands:\n";
    for (const Command& command : kCommands)
        text += "  " + std::string(command.name) + std::string(10 - std::strlen(command.name), ' ') + command.summary +
                "\n";
    return text;
}

std::string helpText()
{
    return "Tunevale's audio converter for the command line.\n\n" + usageText() +
           "\n\"tunevale-cli COMMAND --help\" describes the options of a command.\n"
           "\nOptions:\n"
           "  -h, --help  Show this help and exit.\n"
           "  --version   Show the version and exit.\n"
           "\nExit status:\n"
           "  0    success: every job completed, every file was taken\n"
           "  1    a job or file failed (see each command's help)\n"
           "  2    wrong arguments; nothing was done\n"
           "  130  convert was stopped with Ctrl+C (143: SIGTERM, 129: SIGHUP)\n";
}

} // namespace

int main(int argc, char** argv)
{
    QCommandLineParser parser;
    // Everything after the command's name belongs to the command's own parser.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version(QStringLiteral("version"), QString());
    parser.addOption(help);
    parser.addOption(version);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "tunevale-cli: %s\n%s", toStd(parser.errorText()).c_str(), usageText().c_str());
        return ExitStatus::Usage;
    }
    if (parser.isSet(help)) {
        std::fputs(helpText().c_str(), stdout);
        return ExitStatus::Success;
    }
    if (parser.isSet(version)) {
        std::printf("%s\n", versionText().c_str());
        return ExitStatus::Success;
    }
    const QStringList rest = parser.positionalArguments();
    if (rest.isEmpty()) {
        std::fputs(usageText().c_str(), stderr);
        return ExitStatus::Usage;
    }
    // The command's arguments are passed on as the bytes given, so that any file name survives.
    const int first = argc - static_cast<int>(rest.size()) + 1;
    for (const Command& command : kCommands)
        if (rest.front() == QString::fromLatin1(command.name))
            return command.run(std::vector<std::string>(argv + first, argv + argc));
    std::fprintf(stderr, "tunevale-cli: unknown command \"%s\"\n%s", toStd(rest.front()).c_str(), usageText().c_str());
    return ExitStatus::Usage;
}
