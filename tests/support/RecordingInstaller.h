#pragma once

#include "WmaSupportInstaller.h"

#include <string>
#include <vector>

namespace tunevale::test
{

// The network and the desktop cannot be reached in tests: the installer only records which way it
// was asked to go ("download" or "page"), in order. Tests that use it link the download interface.
class RecordingInstaller : public WmaSupportInstaller
{
public:
    std::vector<std::string> calls;
    int downloads = 0, pages = 0;

    void downloadAndInstall() override
    {
        ++downloads;
        calls.push_back("download");
    }
    void openSupportPage() override
    {
        ++pages;
        calls.push_back("page");
    }
};

} // namespace tunevale::test
