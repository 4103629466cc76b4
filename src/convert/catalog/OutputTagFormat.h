#pragma once

namespace tunevale
{

// The tag layouts that outputs are written with.
enum class OutputTagFormat { Wav, Wma, Mp3, Ogg, Flac, OggOpus, Mp4, WavPack, Aiff };

} // namespace tunevale
