#pragma once

#include "SliderPropertyBag.h"

#include <map>
#include <string>

namespace tunevale
{

// A property bag held in memory, for containers that keep their design in code.
class MemoryPropertyBag : public SliderPropertyBag
{
public:
    std::optional<std::int64_t> read(std::string_view name) const override;
    void write(std::string_view name, std::int64_t value) override;

    const std::map<std::string, std::int64_t, std::less<>>& values() const { return m_values; }

private:
    std::map<std::string, std::int64_t, std::less<>> m_values;
};

} // namespace tunevale
