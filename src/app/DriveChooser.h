#pragma once

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace tunevale
{

// Asks which of the drives holding an audio disc to add; none when the user cancels.
std::optional<std::string> chooseDrive(QWidget* parent, const std::vector<std::string>& drives);

} // namespace tunevale
