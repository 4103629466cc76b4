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

// Applies the change to the loudness tags of a file of the format alone and saves it; a format
// without loudness tags (WAV) is left alone. False, with error set, when TagLib cannot read or save
// the file.
bool writeGainsOnly(const std::string& path, OutputTagFormat format, const GainChange& gains, std::string& error);
// Whether the file carries loudness tags that a new output of its format must not keep (the audio
// is lossy, so they describe the source's audio, not its own).
bool carriesStaleGains(const std::string& path, OutputTagFormat format);

} // namespace tunevale
