#pragma once

#include "OutputGainTags.h"
#include "OutputTags.h"

namespace tunevale
{

// Each tags one file of its format in place with TagLib and saves it. tags hold clean text and a
// front cover that fits every format (see WriteOutputTags); gains says what becomes of the loudness
// tags. The fields the format cannot carry go to leftOut. Returns false, with error set, when
// TagLib cannot read or save the file.
bool writeId3v2Tags(const std::string& path, const SourceTags& tags, const GainChange& gains,
                    std::vector<TagField>& leftOut, std::string& error);
// Vorbis comments have a place for every field.
bool writeVorbisComments(const std::string& path, const SourceTags& tags, const GainChange& gains, std::string& error);
// Texts too large for the content description's fields go to dropped.
bool writeAsfAttributes(const std::string& path, const SourceTags& tags, const std::optional<TypedWmaTags>& typed,
                        const GainChange& gains, std::vector<std::string>& dropped, std::string& error);
// The INFO list has no loudness tags.
bool writeRiffInfo(const std::string& path, const SourceTags& tags, std::vector<TagField>& leftOut, std::string& error);

// FLAC: Vorbis comments and a PICTURE block.
bool writeFlacTags(const std::string& path, const SourceTags& tags, const GainChange& gains, std::string& error);
// Ogg Opus: Vorbis comments, the cover as METADATA_BLOCK_PICTURE, R128 gains.
bool writeOpusTags(const std::string& path, const SourceTags& tags, const GainChange& gains, std::string& error);
// M4A (AAC or ALAC): iTunes' atoms and freeform gain atoms. A cover of a type MP4 has no code for
// goes to dropped. Loudness tags in AAC audio are treated as the source's (lossy).
bool writeMp4Tags(const std::string& path, const SourceTags& tags, const GainChange& gains,
                  std::vector<std::string>& dropped, std::string& error);
// WavPack: APEv2 items, the cover as "Cover Art (Front)". Hybrid (lossy) WavPack is treated as lossy.
bool writeApeTags(const std::string& path, const SourceTags& tags, const GainChange& gains,
                  std::vector<TagField>& leftOut, std::string& error);
// AIFF: an ID3v2.3 chunk, as for MP3.
bool writeAiffTags(const std::string& path, const SourceTags& tags, const GainChange& gains,
                   std::vector<TagField>& leftOut, std::string& error);

// Applies the change to the loudness tags of a file of the format alone and saves it; a format
// without loudness tags (WAV) is left alone. False, with error set, when TagLib cannot read or save
// the file.
bool writeGainsOnly(const std::string& path, OutputTagFormat format, const GainChange& gains, std::string& error);
// Whether the file carries loudness tags that a new output of its format must not keep (the audio
// is lossy, so they describe the source's audio, not its own).
bool carriesStaleGains(const std::string& path, OutputTagFormat format);

} // namespace tunevale
