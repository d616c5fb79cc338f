#pragma once

#include <QString>
#include <QVariant>
#include <cstdint>
#include <optional>

// Reading Company rows that other programs may have written: the file format does not enforce column
// types, so a value may be null, text where a number belongs, or a number outside 16 bits.
namespace CompanyFields {

// The text a stored value shows as: empty for a null.
QString text(const QVariant& value);

// The company a text names: a whole number in decimal that fits 16 bits and is not 0 (which means no
// company); nothing otherwise.
std::optional<std::int16_t> companyId(const QString& text);

} // namespace CompanyFields
