#pragma once

#include <QString>
#include <QVariant>

#include <cstdint>

// Numeric conversions with the classic BASIC rules: text is parsed as a number (blanks around it allowed),
// rounded half to even, and must fit the target type. Text that is no number raises error 13
// "Type mismatch"; a value out of range raises error 6 "Overflow"; a null value raises error 94
// "Invalid use of Null".
namespace Convert {
std::int16_t toInt16(const QVariant& value);
std::int16_t toInt16(const QString& text);
std::int32_t toInt32(const QVariant& value);
// Text form of a stored value; a null raises error 94 "Invalid use of Null".
QString toText(const QVariant& value);
} // namespace Convert
