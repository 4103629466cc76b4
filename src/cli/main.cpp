#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace tunevale
{
int InfoCommand(const std::vector<std::string>& arguments);
int SettingsCommand(const std::vector<std::string>& arguments);
int ProbeCommand(const std::vector<std::string>& arguments);
int ConvertCommand(const std::vector<std::string>& arguments);
} // namespace tunevale

namespace
{

struct Command {
    const char* name;
    const char* usage;
    std::function<int(const std::vector<std::string>&)> run;
};

const std::vector<Command>& commands()
{
    static const std::vector<Command> list{
        {"info", "FILE...", tunevale::InfoCommand},
        {"settings", "[NAME=VALUE...]", tunevale::SettingsCommand},
        {"probe", "FILE...", tunevale::ProbeCommand},
        {"convert", "[--selected] FILE...", tunevale::ConvertCommand},
    };
    return list;
}

int usage()
{
    std::fprintf(stderr, "usage:\n");
    for (const auto& command : commands())
        std::fprintf(stderr, "  tunevale-cli %s %s\n", command.name, command.usage);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    for (const auto& command : commands())
        if (std::strcmp(argv[1], command.name) == 0)
            return command.run(std::vector<std::string>(argv + 2, argv + argc));
    return usage();
}
