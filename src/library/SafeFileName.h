#pragma once

#include <string>
#include <string_view>

namespace tunevale
{

// The longest name of one file or folder, in UTF-8 bytes, that FAT, exFAT and NTFS all hold.
inline constexpr std::size_t MaxNameBytes = 255;

// One file or folder name made safe for the FAT, exFAT and NTFS cards and sticks that phones and
// cars read: \ / : * ? " < > |, control characters and a leading dot (hidden on Linux and Android)
// become "_"; trailing dots and spaces and leading spaces go; a reserved device name (CON, PRN,
// AUX, NUL, COM1-9, LPT1-9, with or without an extension) gets "_" after its stem; the stem is cut
// at a UTF-8 character boundary so that the name with extension fits MaxNameBytes. extension
// (without a dot, may be empty) is kept whole. Never empty, never "." or "..".
std::string safeFileName(std::string_view stem, std::string_view extension = {});

// The UTF-8 text cut to at most maxBytes without splitting a character.
std::string cutAtCharacter(std::string_view text, std::size_t maxBytes);

} // namespace tunevale
