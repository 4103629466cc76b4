#pragma once

#include <string>

namespace tunevale
{

// The window's title, which the taskbar shows: "Tunevale – 7 of 20" while a run works on its 7th
// file of 20, "Tunevale" otherwise (no run, or numbers that name no file of the run).
std::string runWindowTitle(int current, int total);

} // namespace tunevale
