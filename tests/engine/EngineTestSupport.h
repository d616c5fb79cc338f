#pragma once

#include "base/AppError.h"
#include "engine/Connection.h"
#include "engine/ConnectionString.h"
#include "engine/DatabaseFile.h"
#include "shared/AppFolder.h"
#include "tests/support/Fixtures.h"
#include "tests/support/SqlcipherShell.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

// Helpers shared by the engine tests: real database files in a temporary folder per test.
namespace EngineTest {

using AppFolder::CommonPassword;

inline QString jetConnectionString(const QString& path, const QString& password = CommonPassword)
{
    QString text =
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Persist Security Info=False")
            .arg(ConnectionString::quoteValue(path));
    if (!password.isNull())
        text += QStringLiteral(";Jet OLEDB:Database Password=%1").arg(ConnectionString::quoteValue(password));
    return text + QStringLiteral(";Jet OLEDB:Engine Type=5");
}

// A new database holding the tables the statements make (Jet dialect, run through the engine).
inline void makeDatabase(const QString& path, const QStringList& statements,
                         const QString& password = CommonPassword)
{
    DatabaseFile::create(path, password);
    Connection connection;
    connection.open(jetConnectionString(path, password));
    for (const QString& statement : statements)
        connection.execute(statement);
}

// The master database as the older program version left it.
inline QStringList legacyMaster()
{
    return {
        QStringLiteral("CREATE TABLE Company (COMPANY_ID SMALLINT PRIMARY KEY, COMPANY_NAME VARCHAR(255), "
                       "COMPANY_PATH VARCHAR(255), IS_SELECT SMALLINT, IS_DELETED SMALLINT, "
                       "DATABASE_NAME VARCHAR(255))"),
        QStringLiteral("CREATE TABLE Config_Data (Config_Head VARCHAR(50), Config_Value VARCHAR(50))"),
        QStringLiteral("CREATE INDEX Config_Data_Head ON Config_Data (Config_Head)"),
        QStringLiteral("INSERT INTO Config_Data (Config_Head, Config_Value) VALUES ('CurrentCompany', '0')")};
}

inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

inline QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// Runs body and returns the AppError it throws; a test failure when it throws none.
inline std::optional<AppError> errorOf(const std::function<void()>& body)
{
    try {
        body();
    } catch (const AppError& error) {
        return error;
    }
    ADD_FAILURE() << "no AppError was thrown";
    return std::nullopt;
}

} // namespace EngineTest
