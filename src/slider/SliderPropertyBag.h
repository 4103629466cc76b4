#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tunevale
{

// Where a container keeps the stored properties of its controls. Numbers, colours and booleans
// (0 or 1) travel as 64-bit integers; reading a name that was never written gives nothing.
class SliderPropertyBag
{
public:
    virtual ~SliderPropertyBag() = default;
    virtual std::optional<std::int64_t> read(std::string_view name) const = 0;
    virtual void write(std::string_view name, std::int64_t value) = 0;
};

} // namespace tunevale
