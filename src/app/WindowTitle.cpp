#include "WindowTitle.h"

namespace tunevale
{

std::string runWindowTitle(int current, int total)
{
    if (total <= 0 || current < 1 || current > total)
        return "Tunevale";
    return "Tunevale \u2013 " + std::to_string(current) + " of " + std::to_string(total);
}

} // namespace tunevale
