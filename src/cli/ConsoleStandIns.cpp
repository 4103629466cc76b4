#include "ConsoleStandIns.h"

#include <cstdio>
#include <filesystem>

namespace tunevale
{

MessageAnswer ConsoleMessages::show(const std::string& text, const std::string&, MessageIcon, MessageButtons buttons)
{
    if (!m_quiet) {
        std::string line = text;
        for (auto& c : line)
            if (c == '\r')
                c = '\n';
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

std::string absolutePath(const std::string& file)
{
    std::error_code error;
    const auto path = std::filesystem::absolute(file, error);
    return error ? file : path.lexically_normal().string();
}

} // namespace tunevale
