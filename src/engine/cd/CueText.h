#pragma once

#include <string>
#include <string_view>

namespace tunevale
{

// The text of a cue sheet as UTF-8. Sheets are written in UTF-8 (with or without a byte order
// mark) by current rippers and in the Windows code page of the ripping machine by older ones: bytes
// that are not valid UTF-8 are read as Shift-JIS when they look like Japanese text, else as
// Windows-1252 (Latin-1 with the typographic quotes and dashes in 0x80-0x9F).
std::string cueTextToUtf8(std::string_view bytes);

// True when bytes are valid UTF-8 (no overlong forms, surrogates or code points above U+10FFFF).
bool isValidUtf8(std::string_view bytes);

} // namespace tunevale
