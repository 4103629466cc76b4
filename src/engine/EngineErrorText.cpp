#include "EngineErrorText.h"

namespace tunevale
{

std::string EngineErrorText(int code)
{
    switch (code) {
    case 0:
        return "All is OK";
    case 1:
        return "Memory Error";
    case 2:
        return "Can't Open the File";
    case 3:
        return "Can't Find a Free Sound Driver";
    case 4:
        return "The Sample Buffer Was Lost - Please Report This!";
    case 5:
        return "Invalid Handle";
    case 6:
        return "Unsupported Format";
    case 7:
        return "Invalid Playback Position";
    case 8:
        return "BASS_Init Has Not Been Successfully Called";
    case 9:
        return "BASS_Start Has Not Been Successfully Called";
    case 10:
        return "Can't Initialize CD";
    case 12:
        return "No CD in drive";
    case 13:
        return "Can't Play the Selected CD Track";
    case 14:
        return "Already Initialized";
    case 17:
        return "Not An Audio Track";
    case 18:
        return "Can't Get a Free Channel";
    case 19:
        return "An Illegal Type Was Specified";
    case 20:
        return "An Illegal Parameter Was Specified";
    case 21:
        return "No 3D Support";
    case 22:
        return "No EAX Support";
    case 23:
        return "Illegal Device Number";
    case 24:
        return "Not Playing";
    case 25:
        return "Illegal Sample Rate";
    case 27:
        return "The Stream is Not a File Stream (WAV/MP3)";
    case 29:
        return "No Hardware Voices Available";
    case 31:
        return "The MOD music has no sequence data";
    case 32:
        return "No Internet connection could be opened";
    case 33:
        return "Couldn't create the file";
    case 34:
        return "Effects are not enabled";
    case 37:
        return "The requested data is not available";
    case 38:
        return "The channel is a 'decoding channel'";
    case 100:
        return "The encoder could not be started";
    case 101:
        return "The encoder ended with an error";
    case 102:
        return "The audio ends early: the file is damaged";
    case 103:
        return "The audio is damaged: part of it fails its checksum or does not decode";
    case 104:
        return "The converted file does not decode";
    case 105:
        return "The converted file is shorter than its source";
    case 106:
        return "The tags could not be written";
    case 107:
        return "Some tags were left out";
    case 108:
        return "The CD track has sectors that could not be read";
    case 109:
        return "The output does not decode to the audio that was encoded";
    case -1:
        return "Some Other Mystery Error";
    default:
        return {};
    }
}

} // namespace tunevale
