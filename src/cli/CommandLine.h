#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <optional>
#include <string>
#include <vector>

namespace tunevale
{

// Exit statuses of tunevale-cli.
namespace ExitStatus
{
inline constexpr int Success = 0;
inline constexpr int Failure = 1;
inline constexpr int Usage = 2;
inline constexpr int StoppedBy = 128; // + the signal that stopped the run, as shells report it: 130 Ctrl+C
} // namespace ExitStatus

// What a command accepts, for its parser and its --help text.
struct CommandSyntax {
    std::string name;                        // "convert"
    std::string arguments;                   // "[options] FILE|FOLDER..."
    std::string summary;                     // what the command does, one paragraph
    std::vector<QCommandLineOption> options; // -h/--help is added to these
    std::string exitStatus;                  // the "Exit status:" lines
};

// One command's arguments parsed by QCommandLineParser; "--" ends the options. Texts are handed
// back as the bytes given where an argument was a whole name or value, so that file names that are
// not UTF-8 survive.
class CommandLine
{
public:
    explicit CommandLine(const CommandSyntax& syntax);

    // Parses the arguments that follow the command's name. Returns an exit status when the command
    // must end at once: 0 after printing the help (-h, --help), 2 after printing a one-line reason
    // for an unknown option or a missing value.
    std::optional<int> parse(const std::vector<std::string>& arguments);

    // An option the command does not have (one that a shared reader of options asks about) is
    // never set and has no value.
    bool isSet(const char* option) const;
    std::string value(const char* option) const;
    std::vector<std::string> positionalArguments() const;

private:
    bool defines(const QString& option) const;
    std::string original(const QString& text) const;

    const CommandSyntax& m_syntax;
    QCommandLineParser m_parser;
    std::vector<std::pair<QString, std::string>> m_given;
};

// Prints "tunevale-cli COMMAND: reason" to standard error; returns ExitStatus::Usage.
int usageError(const std::string& command, const std::string& reason);

// The help of one command: usage, summary, options and exit statuses.
std::string helpText(const CommandSyntax& syntax);

// A whole decimal number with an optional sign and nothing else; none otherwise.
std::optional<int> parseWholeNumber(const std::string& text);

std::string toStd(const QString& text);

} // namespace tunevale
