#include "launcher/core/CompanyFields.h"

#include "engine/Convert.h"

#include <limits>

namespace CompanyFields {

QString text(const QVariant& value)
{
    return value.isNull() ? QString() : Convert::toText(value);
}

std::optional<std::int16_t> companyId(const QString& text)
{
    // Only plain digits: the classic conversion would round "1.5" to 2 and so pick another company.
    const QString digits = text.startsWith(QLatin1Char('-')) ? text.mid(1) : text;
    if (digits.isEmpty() || digits.size() > 6)
        return std::nullopt;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    const int value = text.toInt();
    if (value == 0 || value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    return static_cast<std::int16_t>(value);
}

} // namespace CompanyFields
