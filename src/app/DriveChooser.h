#pragma once

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace tunevale
{

// Asks which of the drives holding an audio disc to add, showing the drive's read offset (in
// samples) for the user to correct; none when the user cancels, readOffset then unchanged.
std::optional<std::string> chooseDrive(QWidget* parent, const std::vector<std::string>& drives, int& readOffset);

} // namespace tunevale
