#include "launcher/core/DataLinks.h"

#include "engine/AppError.h"
#include "engine/ConnectionString.h"
#include "launcher/core/CompanyPaths.h"
#include "launcher/core/LauncherGlobals.h"
#include "launcher/core/MdlDAO.h"
#include "platform/PathJoin.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace DataLinks {

namespace {

const QString TestTemplate = QStringLiteral(
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=$connection;Mode=Share Deny None;Persist Security "
    "Info=True;Jet OLEDB:Database Password=Marigold4817");

QByteArray utf16Line(const QString& line)
{
    const QString withEnd = line + QStringLiteral("\r\n");
    QByteArray bytes;
    bytes.reserve(withEnd.size() * 2);
    for (const QChar c : withEnd) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

// A data-link file that is a symbolic link is written through: the link stays, its target is replaced.
QString resolvedTarget(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (info.isSymLink()) {
        const QString target = info.symLinkTarget();
        if (!target.isEmpty())
            return target;
    }
    return fileName;
}

[[noreturn]] void writeFailed(const QString& fileName, const QString& why)
{
    throw AppError(ErrorNumber::Unspecified,
                   QStringLiteral("The data-link file %1 could not be written: %2.").arg(fileName, why));
}

} // namespace

QString MasterDataLinkReference(const QString& appFolder)
{
    return QStringLiteral("FILE NAME=") + joinPath({appFolder, MasterDataLinkName});
}

QString JetConnectionString(const QString& databasePath)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
           ConnectionString::quoteValue(databasePath) +
           QStringLiteral(";Persist Security Info=False;Jet OLEDB:Database Password=") +
           ConnectionString::quoteValue(CommonPassword) + QStringLiteral(";Jet OLEDB:Engine Type=5");
}

QString TestConnectionString(const QString& databasePath)
{
    QString text = TestTemplate;
    return text.replace(QStringLiteral("$connection"), ConnectionString::quoteValue(databasePath),
                        Qt::CaseSensitive);
}

void CreateUDLFile(const QString& ConnectionString, const QString& FileName)
{
    QByteArray content("\xFF\xFE", 2);
    content += utf16Line(QStringLiteral("[oledb]"));
    content += utf16Line(QStringLiteral("; Everything after this line is an OLE DB initstring"));
    content += utf16Line(ConnectionString);

    // Written beside the target and renamed over it, so that a failure leaves the old file whole.
    const QString target = resolvedTarget(FileName);
    const QFileInfo targetInfo(target);
    // Only a regular file is replaced: renaming over a device or a pipe that a link points at would put
    // a data-link file in its place.
    if (targetInfo.exists() && !targetInfo.isFile())
        writeFailed(FileName,
                    target == FileName
                        ? QStringLiteral("it is not a regular file")
                        : QStringLiteral("it points at %1, which is not a regular file").arg(target));
    QTemporaryFile temp(targetInfo.absolutePath() + QStringLiteral("/.") + targetInfo.fileName() +
                        QStringLiteral(".XXXXXX"));
    if (!temp.open())
        writeFailed(FileName, temp.errorString());
    if (targetInfo.exists())
        temp.setPermissions(QFile(target).permissions());
    else
        temp.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                            QFileDevice::ReadOther);
    if (temp.write(content) != content.size() || !temp.flush())
        writeFailed(FileName, temp.errorString());
    if (::fsync(temp.handle()) != 0)
        writeFailed(FileName, QString::fromLocal8Bit(std::strerror(errno)));
    const QByteArray from = QFile::encodeName(temp.fileName());
    const QByteArray to = QFile::encodeName(target);
    if (std::rename(from.constData(), to.constData()) != 0)
        writeFailed(FileName, QString::fromLocal8Bit(std::strerror(errno)));
    temp.setAutoRemove(false);
}

bool WriteCompanyDataLink(LauncherGlobals& globals, const QString& appFolder, std::int16_t companyId)
{
    const QString fileName = joinPath({appFolder, CompanyDataLinkName});
    const QString databasePath = CompanyPaths::companyDatabasePath(
        globals.DatabasePath, companyId, MdlDAO::GetCompanyDatabaseName(globals, companyId));
    CreateUDLFile(JetConnectionString(databasePath), fileName);
    return true;
}

bool WriteMasterDataLink(const QString& appFolder, const QString& masterFolder)
{
    const QString fileName = joinPath({appFolder, MasterDataLinkName});
    CreateUDLFile(JetConnectionString(joinPath({masterFolder, MasterDatabaseName})), fileName);
    return true;
}

} // namespace DataLinks
