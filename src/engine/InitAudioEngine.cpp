#include "InitAudioEngine.h"

#include <sstream>

namespace tunevale
{

namespace
{

std::string codeLine(int code)
{
    switch (code) {
    case EngineCode::Device:
        return "Error Code:BASS_ERROR_DEVICE";
    case EngineCode::Driver:
        return "Error Code:BASS_ERROR_DRIVER";
    case EngineCode::Format:
        return "Error Code:BASS_ERROR_FORMAT";
    case EngineCode::Mem:
        return "Error Code:BASS_ERROR_MEM";
    case EngineCode::No3D:
        return "Error Code:BASS_ERROR_NO3D";
    case EngineCode::Unknown:
        return "Error Code:BASS_ERROR_UNKNOWN";
    default:
        return "Error Code:BASS_ERROR_UNKNOWN2";
    }
}

// Shows the dialog for a failed Init; true when start-up may go on.
bool reportInitFailure(int code, MessageBox& messages)
{
    if (code == EngineCode::Already) {
        messages.show("Error: Couldn't Initialize Digital Output.\r\nError Code:BASS_ERROR_ALREADY", "Digital output",
                      MessageIcon::Critical, MessageButtons::Ok);
        return true;
    }
    const std::string text = "Error: Couldn't Initialize Digital Output, The program will not work correclty.\r\n"
                             "The sound device may not be installed correclty.\r\n" +
                             codeLine(code);
    const char* title = code == EngineCode::Device ? "Initialaization Error" : "Digital output";
    messages.show(text, title, MessageIcon::Critical, MessageButtons::Ok);
    return false;
}

} // namespace

const std::array<const char*, 14>& enginePluginNames()
{
    static const std::array<const char*, 14> names{
        "basswma.dll",  "bass_aac.dll", "bassmidi.dll", "bass_ac3.dll", "bass_alac.dll", "bass_ape.dll", "bass_mpc.dll",
        "bass_ofr.dll", "bass_spx.dll", "bass_tta.dll", "bassflac.dll", "basswv.dll",    "bass_adx.dll", "basscd.dll",
    };
    return names;
}

bool InitAudioEngine(Engine& engine, MessageBox& messages, std::array<std::string, 8>& WMATagNames)
{
    if (!engine.Init(1, 44100, 0) && !reportInitFailure(engine.ErrorGetCode(), messages))
        return false;

    // A plug-in that does not load is skipped without a word: its files simply do not open.
    for (const char* plugin : enginePluginNames())
        engine.PluginLoad(plugin, 0);

    std::istringstream names("Title,Author,WM/AlbumTitle,Description,Rating,Copyright,WM/Genre,WM/Year");
    std::string name;
    for (std::size_t i = 0; i < WMATagNames.size() && std::getline(names, name, ','); ++i)
        WMATagNames[i] = name;
    return true;
}

} // namespace tunevale
