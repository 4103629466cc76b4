#include "Help.h"

#include "Endpoints.h"
#include "ProgramFolder.h"

namespace tunevale
{

std::filesystem::path findManual(const std::filesystem::path& programFolder)
{
    const std::filesystem::path candidates[] = {
        programFolder / "manual" / "index.html",
        programFolder / TUNEVALE_BIN_TO_DATA / "manual" / "index.html",
    };
    std::error_code error;
    for (const auto& candidate : candidates)
        if (std::filesystem::is_regular_file(candidate, error))
            return candidate.lexically_normal();
    return {};
}

void openHelp(Shell& shell)
{
    const auto manual = findManual(programFolder());
    if (!manual.empty())
        shell.open(manual.string());
}

void openMakerWebSite(Shell& shell)
{
    shell.open(endpoints::kMakerWebSite);
}

} // namespace tunevale
