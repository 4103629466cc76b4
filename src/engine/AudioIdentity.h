#pragma once

#include <string>

namespace tunevale
{

// A text naming a file's audio independently of its tags and cover: "flac-md5:<hex>" from a FLAC
// STREAMINFO's checksum of the decoded samples when it is set, otherwise "packets:<hex>", a hash of
// the codec and the data of every packet of the file's audio stream as demuxed. Retagging leaves it
// unchanged; any change to the audio changes it. Empty with errorCode set (EngineCode::FileOpen,
// EngineCode::Format) when the file cannot be read as audio.
std::string computeAudioIdentity(const std::string& path, int& errorCode);

} // namespace tunevale
