#include "engine/DataLinkFile.h"

#include "base/AppError.h"

#include <QFile>
#include <QStringList>

namespace {

[[noreturn]] void badFile(const QString& path, const QString& what)
{
    throw AppError(ErrorNumber::Unspecified, QStringLiteral("The data-link file %1 %2").arg(path, what));
}

} // namespace

namespace DataLinkFile {

QString readConnectionString(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        badFile(path, QStringLiteral("does not exist."));
    if (!file.open(QIODevice::ReadOnly))
        badFile(path, QStringLiteral("could not be read: %1.").arg(file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        badFile(path, QStringLiteral("could not be read: %1.").arg(file.errorString()));

    if (bytes.isEmpty())
        badFile(path, QStringLiteral("is empty."));
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
        static_cast<unsigned char>(bytes[1]) != 0xFE)
        badFile(path, QStringLiteral("is not a UTF-16 text file (it lacks the byte-order mark FF FE)."));
    if (bytes.size() % 2 != 0)
        badFile(path, QStringLiteral("is damaged: it has an odd number of bytes, so it is not UTF-16 text."));

    QString text;
    text.reserve((bytes.size() - 2) / 2);
    for (qsizetype i = 2; i < bytes.size(); i += 2) {
        const auto low = static_cast<unsigned char>(bytes[i]);
        const auto high = static_cast<unsigned char>(bytes[i + 1]);
        text += QChar(static_cast<char16_t>(low | (high << 8)));
    }

    // Lines end with CR LF; a bare LF (a file edited by hand) is taken as well.
    const QStringList lines = text.split(QLatin1Char('\n'));
    bool sawHeader = false;
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        if (!sawHeader) {
            if (line.trimmed().compare(QLatin1String("[oledb]"), Qt::CaseInsensitive) != 0)
                badFile(path, QStringLiteral("does not start with the line [oledb]."));
            sawHeader = true;
            continue;
        }
        if (line.trimmed().startsWith(QLatin1Char(';')))
            continue;
        return line.trimmed();
    }
    if (!sawHeader)
        badFile(path, QStringLiteral("holds no text: it lacks the line [oledb]."));
    badFile(path, QStringLiteral("holds no connection string after the line [oledb]."));
}

} // namespace DataLinkFile
