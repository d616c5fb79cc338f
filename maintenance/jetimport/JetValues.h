#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// The exact text forms of Jet's stored values. A Jet date is a count of days since 1899-12-30 whose
// fraction is the time of day; before that day the count is negative while the time still runs forward
// (-1.25 is 1899-12-29 06:00). Currency is a 64-bit count of ten-thousandths.
namespace JetValues {

// "YYYY-MM-DD HH:MM:SS", rounded to the nearest second; empty when the value lies outside the years
// 100 to 9999 that Jet accepts (or is no number at all).
std::optional<QString> dateText(double storedDays);

// The amount with exactly four decimals, "-12.3400", computed in integers.
QString currencyText(std::int64_t tenThousandths);

// A decimal number text as read ("12.5", "-0.125", "7") with exactly `scale` decimals; empty when it is
// no plain decimal number or has more decimals than the scale allows.
std::optional<QString> decimalText(const QString& text, int scale);

// The value a stored number shows with `scale` decimals, to compare it with an exact text.
QString fixedText(double value, int scale);

} // namespace JetValues
