#include "MemoryPropertyBag.h"

namespace tunevale
{

std::optional<std::int64_t> MemoryPropertyBag::read(std::string_view name) const
{
    const auto found = m_values.find(name);
    if (found == m_values.end())
        return std::nullopt;
    return found->second;
}

void MemoryPropertyBag::write(std::string_view name, std::int64_t value)
{
    m_values.insert_or_assign(std::string(name), value);
}

} // namespace tunevale
