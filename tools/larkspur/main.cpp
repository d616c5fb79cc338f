// Larkspur.exe, the stand-in for the accounting application the launcher starts. Like the real one it
// reads datalink.udl in its own folder and opens the company database it names, holding it open while it
// runs. It shows what it was given: its arguments, its working folder and the database it opened.
//
// For tests, LARKSPUR_RECORD names a file that receives, in UTF-8, one line per fact:
//   arg=<argument>            once per argument, in order
//   cwd=<working folder>
//   database=<path>           and company_tables=<count>, when the database opened
//   error=<description>       instead, when it did not
// A backslash in a value is written doubled and a line break as \n or \r, so every fact stays on its line.
// The program then ends at once with status 0, or first holds the database open for LARKSPUR_HOLD_MS
// milliseconds. Recording needs no display.

#include "base/AppError.h"
#include "base/PathJoin.h"
#include "engine/Connection.h"
#include "engine/DataLinkFile.h"
#include "engine/Recordset.h"
#include "shared/AppFolder.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QSaveFile>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <exception>
#include <optional>

namespace {

struct Opened
{
    QString database; // the file the connection holds open
    int tables = 0;   // tables in it, proof that the password opened it
    QString error;    // why it could not be opened; empty when it was
};

// Reads datalink.udl beside the program and opens what it names. The connection stays open in `db`.
Opened openCompany(Connection& db)
{
    Opened result;
    try {
        const QString dataLink =
            joinPath({QCoreApplication::applicationDirPath(), AppFolder::CompanyDataLinkName});
        db.setCursorLocation(Ado::UseClient);
        db.open(DataLinkFile::readConnectionString(dataLink));
        Recordset tables;
        tables.open(QStringLiteral("select name from sqlite_master where type = 'table'"), db);
        result.tables = tables.recordCount();
        tables.close();
        result.database = db.databasePath();
    } catch (const AppError& e) {
        result.error = QStringLiteral("Run-time error %1: %2").arg(e.number()).arg(e.description());
    } catch (const std::exception& e) {
        result.error = QString::fromLocal8Bit(e.what());
    }
    if (!result.error.isEmpty() && db.isOpen())
        db.close();
    return result;
}

QString escaped(QString value)
{
    return value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('\n'), QStringLiteral("\\n"))
        .replace(QLatin1Char('\r'), QStringLiteral("\\r"));
}

// Written whole or not at all, so that a test polling for the file never reads half of it.
bool writeRecord(const QString& path, const QStringList& arguments, const Opened& opened)
{
    QString text;
    for (const QString& argument : arguments)
        text += QStringLiteral("arg=") + escaped(argument) + QLatin1Char('\n');
    text += QStringLiteral("cwd=") + escaped(QDir::currentPath()) + QLatin1Char('\n');
    if (opened.error.isEmpty()) {
        text += QStringLiteral("database=") + escaped(opened.database) + QLatin1Char('\n');
        text += QStringLiteral("company_tables=") + QString::number(opened.tables) + QLatin1Char('\n');
    } else {
        text += QStringLiteral("error=") + escaped(opened.error) + QLatin1Char('\n');
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text.toUtf8());
    return file.commit();
}

int record(const QString& path)
{
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    Connection db;
    const Opened opened = openCompany(db);
    if (!writeRecord(path, arguments, opened)) {
        qWarning("Larkspur.exe: the record file %s could not be written", qUtf8Printable(path));
        return 1;
    }
    bool ok = false;
    const int holdMs = qEnvironmentVariableIntValue("LARKSPUR_HOLD_MS", &ok);
    if (ok && holdMs > 0) {
        // A precise timer: a coarse one may end the hold up to 5% early.
        QTimer::singleShot(holdMs, Qt::PreciseTimer, QCoreApplication::instance(), &QCoreApplication::quit);
        QCoreApplication::exec();
    }
    return 0;
}

class LarkspurWindow : public QWidget
{
public:
    LarkspurWindow(const QStringList& arguments, const Opened& opened)
    {
        setWindowTitle(QStringLiteral("Larkspur (stand-in)"));

        auto* argumentList = new QListWidget(this);
        argumentList->setObjectName(QStringLiteral("lstArguments"));
        argumentList->addItems(arguments);
        argumentList->setMaximumHeight(argumentList->fontMetrics().height() * 7);
        if (arguments.isEmpty())
            argumentList->addItem(QStringLiteral("(no arguments)"));

        auto* folder = new QLabel(QDir::toNativeSeparators(QDir::currentPath()), this);
        folder->setObjectName(QStringLiteral("lblWorkingFolder"));
        folder->setTextInteractionFlags(Qt::TextSelectableByMouse);

        auto* database = new QLabel(this);
        database->setObjectName(QStringLiteral("lblDatabase"));
        database->setWordWrap(true);
        database->setTextInteractionFlags(Qt::TextSelectableByMouse);
        if (opened.error.isEmpty())
            database->setText(QStringLiteral("%1 (%2 tables)")
                                  .arg(QDir::toNativeSeparators(opened.database))
                                  .arg(opened.tables));
        else
            database->setText(QStringLiteral("Not opened: %1").arg(opened.error));

        auto* form = new QFormLayout;
        form->addRow(QStringLiteral("Arguments:"), argumentList);
        form->addRow(QStringLiteral("Working folder:"), folder);
        form->addRow(QStringLiteral("Company database:"), database);

        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
        connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);

        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(buttons);
        resize(560, 220);
    }
};

} // namespace

int main(int argc, char** argv)
{
    const QString recordPath = qEnvironmentVariable("LARKSPUR_RECORD");
    if (!recordPath.isEmpty()) {
        QCoreApplication app(argc, argv);
        return record(recordPath);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Larkspur"));
    Connection db; // open for as long as the window is
    const Opened opened = openCompany(db);
    LarkspurWindow window(QCoreApplication::arguments().mid(1), opened);
    window.show();
    return QApplication::exec();
}
