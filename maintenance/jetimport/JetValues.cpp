#include "maintenance/jetimport/JetValues.h"

#include <QDate>
#include <QRegularExpression>

#include <cmath>

namespace JetValues {

namespace {

constexpr qint64 SecondsPerDay = 86400;

// A text with only zeros in it shows no sign: "-0.00" is "0.00".
QString withoutNegativeZero(const QString& text)
{
    if (!text.startsWith(QLatin1Char('-')))
        return text;
    for (const QChar c : text) {
        if (c != QLatin1Char('-') && c != QLatin1Char('0') && c != QLatin1Char('.'))
            return text;
    }
    return text.mid(1);
}

} // namespace

std::optional<QString> dateText(double storedDays)
{
    // Outside these bounds the value is no date Jet could have written; the test also keeps the
    // conversions below inside the range of their integer types.
    if (!std::isfinite(storedDays) || storedDays < -657435.0 || storedDays > 2958466.0)
        return std::nullopt;
    const double whole = std::trunc(storedDays);
    qint64 day = static_cast<qint64>(whole);
    qint64 seconds = std::llround(std::fabs(storedDays - whole) * SecondsPerDay);
    if (seconds == SecondsPerDay) {
        seconds = 0;
        ++day;
    }
    const QDate date = QDate(1899, 12, 30).addDays(day);
    int year = 0;
    int month = 0;
    int dayOfMonth = 0;
    date.getDate(&year, &month, &dayOfMonth);
    if (!date.isValid() || year < 100 || year > 9999)
        return std::nullopt;
    // Formatted by hand: every date of every row passes here twice (writing and checking).
    char16_t text[19];
    const auto put = [&text](int at, long long value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + i] = static_cast<char16_t>(u'0' + value % 10);
    };
    put(0, year, 4);
    text[4] = u'-';
    put(5, month, 2);
    text[7] = u'-';
    put(8, dayOfMonth, 2);
    text[10] = u' ';
    put(11, seconds / 3600, 2);
    text[13] = u':';
    put(14, seconds / 60 % 60, 2);
    text[16] = u':';
    put(17, seconds % 60, 2);
    return QString(reinterpret_cast<const QChar*>(text), 19);
}

QString currencyText(std::int64_t tenThousandths)
{
    const bool negative = tenThousandths < 0;
    // Negated in unsigned arithmetic, so that the most negative amount has its magnitude too.
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(tenThousandths)
                                             : static_cast<std::uint64_t>(tenThousandths);
    return QStringLiteral("%1%2.%3")
        .arg(negative ? QStringLiteral("-") : QString())
        .arg(magnitude / 10000)
        .arg(magnitude % 10000, 4, 10, QLatin1Char('0'));
}

std::optional<QString> decimalText(const QString& text, int scale)
{
    static const QRegularExpression shape(QStringLiteral(R"(^\s*(-)?(\d*)(?:\.(\d*))?\s*$)"));
    const auto match = shape.match(text);
    if (!match.hasMatch() || scale < 0 || (match.captured(2).isEmpty() && match.captured(3).isEmpty()))
        return std::nullopt;
    QString whole = match.captured(2);
    while (whole.size() > 1 && whole.startsWith(QLatin1Char('0')))
        whole.remove(0, 1);
    if (whole.isEmpty())
        whole = QStringLiteral("0");
    QString fraction = match.captured(3);
    while (fraction.size() > scale && fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (fraction.size() > scale)
        return std::nullopt;
    fraction = fraction.leftJustified(scale, QLatin1Char('0'));
    const QString result = match.captured(1) + whole + (scale > 0 ? QLatin1Char('.') + fraction : QString());
    return withoutNegativeZero(result);
}

QString fixedText(double value, int scale)
{
    return withoutNegativeZero(QString::number(value, 'f', scale));
}

} // namespace JetValues
