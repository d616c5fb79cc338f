#include "base/AppError.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <exception>

namespace {

// One line on stderr, so that a script's log shows the whole reason next to the command that failed.
int failWith(const QString& message)
{
    QString line = message;
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    QTextStream(stderr) << QStringLiteral("mkappfolder: ") << line.trimmed() << Qt::endl;
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mkappfolder"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lays out the data of a fresh application folder: MCdatalink.udl, the master database "
        "MCLarkspur.mdb, "
        "the template company database CompanyData/Larkspur.mdb and N demo companies, all protected with "
        "the common password. DIR is created when missing; an existing master database is never "
        "overwritten."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption legacyOption(
        QStringLiteral("legacy-master"),
        QStringLiteral("Write the older master: no DATABASE_PATH column, no DatabasePath and UseDefaultPath "
                       "rows, Config_Value of 50 characters."));
    const QCommandLineOption companiesOption(
        QStringLiteral("companies"),
        QStringLiteral("Add N demo companies (0 to 32767), each with its "
                       "database CompanyData/N/N.mdb."),
        QStringLiteral("N"), QStringLiteral("0"));
    parser.addOption(legacyOption);
    parser.addOption(companiesOption);
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("The application folder to lay out."));

    if (!parser.parse(QCoreApplication::arguments()))
        return failWith(parser.errorText() + QStringLiteral(" (see --help)"));
    if (parser.isSet(helpOption))
        parser.showHelp(0);

    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        return failWith(positional.isEmpty() ? QStringLiteral("no folder given: mkappfolder [options] DIR")
                                             : QStringLiteral("one folder expected, %1 given: %2")
                                                   .arg(positional.size())
                                                   .arg(positional.join(QLatin1Char(' '))));

    AppFolderMaker::Options options;
    options.legacyMaster = parser.isSet(legacyOption);
    bool ok = false;
    const QString companiesText = parser.value(companiesOption);
    options.companies = companiesText.toInt(&ok);
    if (!ok || options.companies < 0 || options.companies > 32767)
        return failWith(QStringLiteral("--companies takes a whole number from 0 to 32767, not \"%1\"")
                            .arg(companiesText));

    try {
        AppFolderMaker::make(positional.first(), options);
    } catch (const AppError& e) {
        return failWith(e.description());
    } catch (const std::exception& e) {
        return failWith(QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
