#include "engine/Convert.h"

#include "base/AppError.h"

#include <QRegularExpression>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

[[noreturn]] void typeMismatch()
{
    throw AppError(ErrorNumber::TypeMismatch, QStringLiteral("Type mismatch"));
}

[[noreturn]] void overflow()
{
    throw AppError(ErrorNumber::Overflow, QStringLiteral("Overflow"));
}

[[noreturn]] void invalidUseOfNull()
{
    throw AppError(ErrorNumber::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
}

// The number a text stands for. The syntax is checked first so that a number too large for a double
// ("1e999") is an overflow, as it is for the classic conversions, and not a type mismatch.
double numberFromText(const QString& text)
{
    static const QRegularExpression numeric(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
    const QString trimmed = text.trimmed();
    if (!numeric.match(trimmed).hasMatch())
        typeMismatch();
    const QByteArray latin = trimmed.toLatin1();
    const double result = std::strtod(latin.constData(), nullptr);
    if (!std::isfinite(result))
        overflow();
    return result;
}

// Classic conversions round half to even; nearbyint does so in the default rounding mode.
qlonglong roundedWithin(double number, qlonglong low, qlonglong high)
{
    const double rounded = std::nearbyint(number);
    if (!std::isfinite(rounded) || rounded < static_cast<double>(low) || rounded > static_cast<double>(high))
        overflow();
    return static_cast<qlonglong>(rounded);
}

qlonglong convert(const QVariant& value, qlonglong low, qlonglong high)
{
    if (!value.isValid())
        invalidUseOfNull();
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? -1 : 0; // True is -1 in the classic dialect
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::SChar:
    case QMetaType::Char:
    case QMetaType::LongLong:
    case QMetaType::Long: {
        const qlonglong number = value.toLongLong();
        if (number < low || number > high)
            overflow();
        return number;
    }
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULongLong:
    case QMetaType::ULong: {
        const qulonglong number = value.toULongLong();
        if (number > static_cast<qulonglong>(high))
            overflow();
        return static_cast<qlonglong>(number);
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return roundedWithin(value.toDouble(), low, high);
    case QMetaType::QString:
        return roundedWithin(numberFromText(value.toString()), low, high);
    case QMetaType::QByteArray:
        return roundedWithin(numberFromText(QString::fromUtf8(value.toByteArray())), low, high);
    default:
        typeMismatch();
    }
}

} // namespace

namespace Convert {

std::int16_t toInt16(const QVariant& value)
{
    return static_cast<std::int16_t>(
        convert(value, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()));
}

std::int16_t toInt16(const QString& text)
{
    return toInt16(QVariant(text));
}

std::int32_t toInt32(const QVariant& value)
{
    return static_cast<std::int32_t>(
        convert(value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

QString toText(const QVariant& value)
{
    if (!value.isValid())
        invalidUseOfNull();
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
    case QMetaType::Float:
        // Fifteen significant digits, like the classic text form of a Double: 0.1 stays "0.1".
        return QString::number(value.toDouble(), 'g', 15);
    case QMetaType::QByteArray:
        return QString::fromUtf8(value.toByteArray());
    default:
        return value.toString();
    }
}

} // namespace Convert
