#pragma once

#include "SourceTags.h"

#include <string>

namespace tunevale
{

// A hex digest over every field of the tags and the front cover's type and bytes: equal for
// equal tags, different (but for a hash collision) when any field or the cover changed.
std::string tagsHash(const SourceTags& tags);

} // namespace tunevale
