#include "CommandLine.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace tunevale
{

namespace
{

QCommandLineOption helpOption()
{
    return QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                              QStringLiteral("Show this help and exit."));
}

std::string optionNames(const QCommandLineOption& option)
{
    std::string names;
    for (const QString& name : option.names()) {
        if (!names.empty())
            names += ", ";
        names += (name.size() == 1 ? "-" : "--") + toStd(name);
    }
    if (!option.valueName().isEmpty())
        names += " " + toStd(option.valueName());
    return names;
}

} // namespace

CommandLine::CommandLine(const CommandSyntax& syntax) : m_syntax(syntax)
{
    for (const auto& option : syntax.options)
        m_parser.addOption(option);
    m_parser.addOption(helpOption());
}

std::optional<int> CommandLine::parse(const std::vector<std::string>& arguments)
{
    // The program's name stands first, as QCommandLineParser expects.
    QStringList list{QStringLiteral("tunevale-cli")};
    for (const std::string& argument : arguments) {
        list.append(QString::fromStdString(argument));
        m_given.emplace_back(list.back(), argument);
    }
    if (!m_parser.parse(list)) {
        std::string reason = toStd(m_parser.errorText());
        if (!reason.empty() && reason.back() == '.')
            reason.pop_back();
        return usageError(m_syntax.name, reason);
    }
    if (m_parser.isSet(QStringLiteral("help"))) {
        std::fputs(helpText(m_syntax).c_str(), stdout);
        return ExitStatus::Success;
    }
    return std::nullopt;
}

bool CommandLine::defines(const QString& option) const
{
    return std::any_of(m_syntax.options.begin(), m_syntax.options.end(),
                       [&](const QCommandLineOption& defined) { return defined.names().contains(option); });
}

bool CommandLine::isSet(const char* option) const
{
    const QString name = QString::fromLatin1(option);
    return defines(name) && m_parser.isSet(name);
}

std::string CommandLine::value(const char* option) const
{
    const QString name = QString::fromLatin1(option);
    return defines(name) ? original(m_parser.value(name)) : std::string();
}

std::vector<std::string> CommandLine::positionalArguments() const
{
    // In the order given, so that two names that read alike as UTF-8 keep their own bytes.
    std::vector<std::string> result;
    std::size_t next = 0;
    for (const QString& argument : m_parser.positionalArguments()) {
        while (next < m_given.size() && m_given[next].first != argument)
            ++next;
        result.push_back(next < m_given.size() ? m_given[next++].second : toStd(argument));
    }
    return result;
}

std::string CommandLine::original(const QString& text) const
{
    for (const auto& [converted, given] : m_given)
        if (converted == text)
            return given;
    return toStd(text);
}

int usageError(const std::string& command, const std::string& reason)
{
    std::fprintf(stderr, "tunevale-cli %s: %s (see tunevale-cli %s --help)\n", command.c_str(), reason.c_str(),
                 command.c_str());
    return ExitStatus::Usage;
}

std::string helpText(const CommandSyntax& syntax)
{
    std::string text = "usage: tunevale-cli " + syntax.name + " " + syntax.arguments + "\n\n" + syntax.summary + "\n";
    std::vector<QCommandLineOption> options = syntax.options;
    options.push_back(helpOption());
    std::size_t width = 0;
    for (const auto& option : options)
        width = std::max(width, optionNames(option).size());
    text += "\nOptions:\n";
    for (const auto& option : options) {
        const std::string names = optionNames(option);
        text += "  " + names + std::string(width - names.size() + 2, ' ') + toStd(option.description()) + "\n";
    }
    text += "  --" + std::string(width, ' ') + "End the options: what follows are names, even if they begin with -.\n";
    text += "\nExit status:\n" + syntax.exitStatus;
    return text;
}

std::optional<int> parseWholeNumber(const std::string& text)
{
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+' && last - first > 1 && first[1] != '-')
        ++first;
    int value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (first == last || error != std::errc() || end != last)
        return std::nullopt;
    return value;
}

std::string toStd(const QString& text)
{
    return text.toStdString();
}

} // namespace tunevale
