#pragma once

namespace tunevale
{

// The two ways offered to install what WMA output needs; UI thread only; outcomes are not reported.
class WmaSupportInstaller
{
public:
    virtual ~WmaSupportInstaller() = default;
    // Downloads the support package and opens it, whether or not the download succeeded.
    virtual void downloadAndInstall() = 0;
    // Opens the page that tells how to install the support in the browser.
    virtual void openSupportPage() = 0;
};

} // namespace tunevale
