#pragma once

#include "Engine.h"

#include <filesystem>
#include <string>

namespace tunevale
{

class MessageBox;
class WmaSupportInstaller;

// Where the capability check writes its test file: Tunevale's cache folder ($XDG_CACHE_HOME/Tunevale);
// empty when the user has none.
std::filesystem::path wmaProbeFile();

// True when the engine can open a WMA encoder (44.1 kHz stereo, 128 kbit/s) on probeFile; any
// failure counts as false, and so does a probeFile that is not a regular file of the user's (a
// link or FIFO planted there is neither followed nor waited on). The encoder is closed at once; the test file is left
// in place.
bool CheckWMASupport(Engine& engine, const std::filesystem::path& probeFile = wmaProbeFile());

// The four lines of the question asked when a Windows Media file cannot be opened, CR LF joined.
extern const char* const WmaInstallQuestion;
extern const char* const WmaRestartNotice;

// Asks the user how to install what WMA needs: Yes downloads and starts the installer, No opens
// the page that explains it, Cancel does nothing. Both ways first say that a restart is needed.
class WmaInstallPrompt
{
public:
    WmaInstallPrompt(MessageBox& messages, WmaSupportInstaller& installer);
    void show();

private:
    MessageBox& m_messages;
    WmaSupportInstaller& m_installer;
};

} // namespace tunevale
