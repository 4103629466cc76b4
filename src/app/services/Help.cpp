#include "Help.h"

#include "Endpoints.h"
#include "MessageBox.h"
#include "ProgramFolder.h"

#include <string>

namespace tunevale
{

namespace
{

std::filesystem::path installedManual(const std::filesystem::path& programFolder)
{
    return (programFolder / TUNEVALE_BIN_TO_DATA / "manual" / "index.html").lexically_normal();
}

} // namespace

std::filesystem::path findManual(const std::filesystem::path& programFolder)
{
    const std::filesystem::path candidates[] = {
        programFolder / "manual" / "index.html",
        installedManual(programFolder),
    };
    std::error_code error;
    for (const auto& candidate : candidates)
        if (std::filesystem::is_regular_file(candidate, error))
            return candidate.lexically_normal();
    return {};
}

void openHelp(Shell& shell, MessageBox& messages)
{
    const auto manual = findManual(programFolder());
    if (manual.empty()) {
        messages.show("The manual is not installed. It belongs here:\r\n" + installedManual(programFolder()).string(),
                      "Tunevale", MessageIcon::Exclamation, MessageButtons::Ok);
        return;
    }
    const auto cannotOpen = [&messages, path = manual.string()] {
        messages.show("The manual could not be opened in a web browser. Open this file with one to read it:\r\n" + path,
                      "Tunevale", MessageIcon::Exclamation, MessageButtons::Ok);
    };
    if (!shell.open(manual.string(), cannotOpen))
        cannotOpen();
}

void openMakerWebSite(Shell& shell)
{
    shell.open(endpoints::kMakerWebSite);
}

} // namespace tunevale
