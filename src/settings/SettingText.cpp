#include "SettingText.h"

#include <QString>

#include <cmath>
#include <limits>

namespace tunevale
{

namespace
{

std::optional<double> parseNumber(const std::string& text)
{
    const QString trimmed = QString::fromStdString(text).trimmed();
    // Only plain decimal notation: no "inf", "nan" or hexadecimal forms.
    for (const QChar c : trimmed)
        if (!(c.isDigit() && c.unicode() < 128) && c != u'+' && c != u'-' && c != u'.' && c != u'e' && c != u'E')
            return std::nullopt;
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<bool> parseOptionText(const std::string& text)
{
    const QString trimmed = QString::fromStdString(text).trimmed();
    if (trimmed.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    const auto number = parseNumber(text);
    if (!number)
        return std::nullopt;
    return *number != 0.0;
}

std::string optionText(bool on)
{
    return on ? "True" : "False";
}

std::optional<int> parseIntegerText(const std::string& text)
{
    const auto number = parseNumber(text);
    if (!number)
        return std::nullopt;
    const double rounded = std::nearbyint(*number);
    if (rounded < std::numeric_limits<int>::min() || rounded > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(rounded);
}

} // namespace tunevale
