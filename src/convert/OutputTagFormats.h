#pragma once

#include "OutputTags.h"

namespace tunevale
{

// Each tags one file of its format in place with TagLib and saves it. tags hold clean text and a
// front cover that fits every format (see WriteOutputTags). The fields the format cannot carry go
// to leftOut. Returns false, with error set, when TagLib cannot read or save the file.
bool writeId3v2Tags(const std::string& path, const SourceTags& tags, std::vector<TagField>& leftOut,
                    std::string& error);
// Vorbis comments have a place for every field.
bool writeVorbisComments(const std::string& path, const SourceTags& tags, std::string& error);
// Texts too large for the content description's fields go to dropped.
bool writeAsfAttributes(const std::string& path, const SourceTags& tags, const std::optional<TypedWmaTags>& typed,
                        std::vector<std::string>& dropped, std::string& error);
bool writeRiffInfo(const std::string& path, const SourceTags& tags, std::vector<TagField>& leftOut, std::string& error);

} // namespace tunevale
