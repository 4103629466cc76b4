#include "WmaSupport.h"

#include "MessageBox.h"
#include "OwnedFile.h"
#include "UserFolder.h"
#include "WmaSupportInstaller.h"

#include <fcntl.h>
#include <unistd.h>

namespace tunevale
{

const char* const WmaInstallQuestion =
    "Your System does not support Windows Media Audio Encoding. To Support it, you have to do one of the following"
    "\r\n"
    "Click Yes to download and install Windows Media Format (~3.9 MB).\r\n"
    "Click No to open Microsoft Media Player web site to download and install Media Player Version 9.0 or later.\r\n"
    "Click Cancel to manaully install it by yourself.";

const char* const WmaRestartNotice = "You have to restart Marrowgate after installing";

std::filesystem::path wmaProbeFile()
{
    const auto folder = userFolder(UserFolder::Cache);
    return folder.empty() ? std::filesystem::path() : folder / "CheckWMASupport.wma";
}

bool CheckWMASupport(Engine& engine, const std::filesystem::path& probeFile)
{
    // The encoder writes through the descriptor checked here, by its /proc name: whatever is put at
    // the file's name meanwhile, only the user's own regular file is written.
    const int fd = openOwnedFile(probeFile, O_WRONLY | O_CREAT);
    if (fd < 0)
        return false;
    const EngineHandle encoder =
        engine.WMAEncodeOpenFile(44100, 2, WmaEncodeFlags, 128000, "/proc/self/fd/" + std::to_string(fd));
    if (encoder != 0)
        engine.WMAEncodeClose(encoder);
    ::close(fd);
    return encoder != 0;
}

WmaInstallPrompt::WmaInstallPrompt(MessageBox& messages, WmaSupportInstaller& installer)
    : m_messages(messages), m_installer(installer)
{
}

void WmaInstallPrompt::show()
{
    const auto answer =
        m_messages.show(WmaInstallQuestion, "Tunevale", MessageIcon::Critical, MessageButtons::YesNoCancel);
    if (answer != MessageAnswer::Yes && answer != MessageAnswer::No)
        return;
    m_messages.show(WmaRestartNotice, "Tunevale", MessageIcon::Information, MessageButtons::Ok);
    if (answer == MessageAnswer::Yes)
        m_installer.downloadAndInstall();
    else
        m_installer.openSupportPage();
}

} // namespace tunevale
