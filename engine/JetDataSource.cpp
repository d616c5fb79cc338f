#include "engine/JetDataSource.h"

#include "engine/AppError.h"
#include "engine/ConnectionString.h"
#include "engine/DataLinkFile.h"

#include <QRegularExpression>

namespace {

const QString JetProvider = QStringLiteral("Microsoft.Jet.OLEDB.4.0");

[[noreturn]] void fail(const QString& description)
{
    throw AppError(ErrorNumber::Unspecified, description);
}

// "FILE NAME=<path>" refers to a data-link file. The path follows the '=' as it is: it may hold ';' or
// blanks, so it is not read as a key=value list.
bool dataLinkReference(const QString& connectionString, QString& udlPath)
{
    static const QRegularExpression reference(QStringLiteral(R"(^\s*file\s+name\s*=(.*)$)"),
                                              QRegularExpression::CaseInsensitiveOption |
                                                  QRegularExpression::DotMatchesEverythingOption);
    const auto match = reference.match(connectionString);
    if (!match.hasMatch())
        return false;
    udlPath = match.captured(1).trimmed();
    if (udlPath.size() >= 2 &&
        (udlPath.front() == QLatin1Char('"') || udlPath.front() == QLatin1Char('\'')) &&
        udlPath.back() == udlPath.front())
        udlPath = udlPath.mid(1, udlPath.size() - 2);
    return true;
}

} // namespace

JetDataSource JetDataSource::fromConnectionString(const QString& connectionString)
{
    QString text = connectionString;
    QString udlPath;
    if (dataLinkReference(connectionString, udlPath))
        text = DataLinkFile::readConnectionString(udlPath);
    const ConnectionString parsed = ConnectionString::parse(text);

    const QString provider = parsed.value(QStringLiteral("Provider")).trimmed();
    if (provider.compare(JetProvider, Qt::CaseInsensitive) != 0)
        throw AppError(ErrorNumber::ProviderNotFound,
                       QStringLiteral("Provider cannot be found. It may not be properly installed. %1")
                           .arg(provider.isEmpty()
                                    ? QStringLiteral("(The connection string names no provider.)")
                                    : QStringLiteral("(Provider '%1'; only %2 is available.)")
                                          .arg(provider, JetProvider)));

    JetDataSource target;
    target.path = parsed.value(QStringLiteral("Data Source"));
    if (target.path.isEmpty())
        fail(QStringLiteral(
            "The connection string names no database file: its Data Source is missing or empty."));
    if (parsed.contains(QStringLiteral("Jet OLEDB:Engine Type"))) {
        const QString engineType = parsed.value(QStringLiteral("Jet OLEDB:Engine Type")).trimmed();
        if (engineType != QLatin1String("5"))
            fail(QStringLiteral(
                     "The database format 'Jet OLEDB:Engine Type=%1' for '%2' is not supported; only "
                     "engine type 5 is.")
                     .arg(engineType, target.path));
    }
    target.password = parsed.value(QStringLiteral("Jet OLEDB:Database Password"));
    return target;
}
