#include "tests/compaction/CompactionTestSupport.h"

#include "engine/Connection.h"
#include "engine/Recordset.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace CompactionTest {

QString jetConnectionString(const QString& path, const QString& password)
{
    QString text = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1")
                       .arg(ConnectionString::quoteValue(path));
    if (!password.isEmpty())
        text += QStringLiteral(";Jet OLEDB:Database Password=%1").arg(ConnectionString::quoteValue(password));
    return text;
}

void makeBooks(const QString& path, const QString& password, int entries)
{
    DatabaseFile::create(path, password);
    Connection connection;
    connection.open(jetConnectionString(path, password));
    const QStringList statements = {
        QStringLiteral("CREATE TABLE Ledger (ID INTEGER PRIMARY KEY AUTOINCREMENT, Account VARCHAR(20), "
                       "Memo MEMO, Amount DOUBLE)"),
        QStringLiteral("CREATE INDEX Ledger_Account ON Ledger (Account)"),
        QStringLiteral("CREATE TABLE Config_Data (Config_Head VARCHAR(50), Config_Value VARCHAR(255))"),
        QStringLiteral("INSERT INTO Config_Data (Config_Head, Config_Value) VALUES ('CurrentCompany', '1')"),
        QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                       "INSERT INTO Ledger (Account, Memo, Amount) SELECT 'A' || (i % 7), "
                       "hex(randomblob(150)), i * 1.5 FROM n")
            .arg(entries),
        QStringLiteral("DELETE FROM Ledger WHERE ID % 3 <> 0"),
    };
    for (const QString& statement : statements)
        connection.execute(statement);
}

QByteArray booksDigest(const QString& path, const QString& password)
{
    try {
        Connection connection;
        connection.open(jetConnectionString(path, password));
        QCryptographicHash hash(QCryptographicHash::Sha256);
        for (const char* sql : {"select * from Ledger order by ID", "select * from Config_Data"}) {
            Recordset rs;
            rs.open(QString::fromLatin1(sql), connection);
            while (!rs.eof()) {
                for (int i = 0; i < rs.fieldCount(); ++i)
                    hash.addData(rs.value(i).toString().toUtf8() + '\x1f');
                rs.moveNext();
            }
        }
        return hash.result();
    } catch (...) {
        return {};
    }
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QStringList listing(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        entries.append(path.mid(folder.size()) + QLatin1Char(' ') + QString::number(QFileInfo(path).size()));
    }
    entries.sort();
    return entries;
}

Page::Page(const QString& toolFolder)
    : module{messages, fileDialog, pointer, events, toolFolder, {}, false},
      txtCompactFileName(new QLineEdit(&window)), TxtPassword(new QLineEdit(&window)),
      lblOriginalSize(new QLabel(&window)),
      lblFinalSize(new QLabel(&window)), controls{*txtCompactFileName, *TxtPassword, *lblOriginalSize,
                                                  *lblFinalSize}
{
    txtCompactFileName->setObjectName(QStringLiteral("txtCompactFileName"));
    TxtPassword->setObjectName(QStringLiteral("TxtPassword"));
    TxtPassword->setEchoMode(QLineEdit::Password);
    lblOriginalSize->setObjectName(QStringLiteral("lblOriginalSize"));
    lblFinalSize->setObjectName(QStringLiteral("lblFinalSize"));
}

void Page::compact(const QString& path, const QString& password)
{
    txtCompactFileName->setText(path);
    TxtPassword->setText(password);
    messages.queueAnswer(MsgResult::Yes);
    ComprimirAccess2000::cmdCompactDatabase(module, controls);
}

ScriptedMessageBox::Call Page::question() const
{
    return {QStringLiteral("Do you want to compact Database ? "), MsgStyle::YesNoQuestion,
            QStringLiteral("Question")};
}

} // namespace CompactionTest
