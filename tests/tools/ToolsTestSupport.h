#pragma once

// Helpers shared by the tools' tests: running the built programs, reading folders and databases back.

#include "base/PathJoin.h"
#include "engine/Connection.h"
#include "engine/Recordset.h"
#include "shared/AppFolder.h"
#include "tests/support/FolderContents.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/QtPrinters.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <gtest/gtest.h>
#include <ostream>

namespace ToolsTest {

// The build's bin/ folder, where mkappfolder and Larkspur.exe are; the tests run those very programs.
// The test program itself is built into that folder too, which serves when the variable is not passed.
inline QString binDir()
{
    QString dir = qEnvironmentVariable("COMPANYDESK_BIN_DIR");
    if (dir.isEmpty())
        dir = QCoreApplication::applicationDirPath();
    EXPECT_TRUE(QFileInfo(joinPath({dir, QStringLiteral("mkappfolder")})).isExecutable())
        << "no built mkappfolder in " << dir.toStdString();
    return dir;
}

inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline QMap<QString, QByteArray> snapshot(const QString& folder)
{
    return FolderContents::take(folder);
}

using FolderContents::differences;

inline QStringList entryNames(const QString& folder)
{
    QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

inline void openDatabase(Connection& db, const QString& path)
{
    db.setCursorLocation(Ado::UseClient);
    db.open(AppFolder::JetConnectionString(path));
}

// All rows of a query, each as its values in column order.
inline QVector<QVector<QVariant>> rows(Connection& db, const QString& query)
{
    Recordset rs;
    rs.open(query, db);
    QVector<QVector<QVariant>> result;
    const int count = rs.recordCount();
    if (count > 0)
        rs.moveFirst();
    for (int i = 0; i < count; ++i) {
        QVector<QVariant> row;
        for (int c = 0; c < rs.fieldCount(); ++c)
            row.append(rs.value(c));
        result.append(row);
        rs.moveNext();
    }
    rs.close();
    return result;
}

inline QStringList fieldNames(Connection& db, const QString& table)
{
    Recordset rs;
    rs.open(QStringLiteral("select * from ") + table, db);
    QStringList names;
    for (int c = 0; c < rs.fieldCount(); ++c)
        names.append(rs.fieldName(c));
    rs.close();
    return names;
}

inline qlonglong scalar(Connection& db, const QString& query)
{
    const auto result = rows(db, query);
    return result.isEmpty() || result.first().isEmpty() ? -1 : result.first().first().toLongLong();
}

} // namespace ToolsTest
