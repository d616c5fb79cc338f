#include "base/AppError.h"
#include "maintenance/cli/Arguments.h"
#include "maintenance/cli/Commands.h"
#include "maintenance/cli/QuietOutput.h"
#include "maintenance/jetimport/DatabaseImport.h"
#include "maintenance/jetimport/FolderImport.h"
#include "maintenance/jetimport/JetDatabase.h"
#include "shared/AppFolder.h"

#include <QElapsedTimer>
#include <QFileInfo>

namespace {

constexpr qint64 ShownEveryMs = 200;

// On a terminal, one line rewritten in place: the file, the step and the rows done of the table's rows.
// Elsewhere (a log, a pipe) nothing.
class ImportProgressLine
{
public:
    ImportProgressLine(bool terminal, std::function<void(const QString&)> write)
        : m_terminal(terminal), m_write(std::move(write))
    {
        m_clock.start();
    }
    ~ImportProgressLine() { end(); }
    ImportProgressLine(const ImportProgressLine&) = delete;
    ImportProgressLine& operator=(const ImportProgressLine&) = delete;

    void show(const JetImport::ImportProgress& progress)
    {
        if (!m_terminal || (m_shown && m_clock.elapsed() - m_lastShown < ShownEveryMs))
            return;
        m_lastShown = m_clock.elapsed();
        QString text = QStringLiteral("%1: %2").arg(QFileInfo(progress.file).fileName(), progress.step);
        if (!progress.table.isEmpty())
            text += QStringLiteral(" '%1', %2 of %3 rows")
                        .arg(progress.table)
                        .arg(progress.rowsDone)
                        .arg(progress.rowsTotal);
        m_write(QStringLiteral("\r\x1b[K") + text);
        m_shown = true;
    }
    void end()
    {
        if (m_shown)
            m_write(QStringLiteral("\r\x1b[K"));
        m_shown = false;
    }

private:
    bool m_terminal;
    std::function<void(const QString&)> m_write;
    QElapsedTimer m_clock;
    qint64 m_lastShown = 0;
    bool m_shown = false;
};

int codePageFrom(const Arguments& arguments)
{
    if (!arguments.has(QStringLiteral("--code-page")))
        return 0;
    const QString text = arguments.value(QStringLiteral("--code-page"));
    bool ok = false;
    const int codePage = text.toInt(&ok);
    if (!ok || !JetImport::JetDatabase::isKnownCodePage(codePage))
        throw UsageError(
            QStringLiteral("--code-page needs the number of a Windows code page this system can read "
                           "(such as 874 or 1252), not '%1'.")
                .arg(text));
    return codePage;
}

} // namespace

int runImportCommand(const QStringList& list, CommandContext& context)
{
    const Arguments arguments(list, {}, {QStringLiteral("--code-page")});
    arguments.requireOperands(2, 2, QStringLiteral("SOURCE TARGET"));
    const QString source = arguments.operands()[0];
    const QString target = arguments.operands()[1];
    JetImport::ImportOptions options;
    options.codePage = codePageFrom(arguments);
    options.password = AppFolder::CommonPassword;
    // The reading library prints remarks of its own on damaged pages, once per page; the command
    // reports a failure in one line, so nothing else may reach the output meanwhile.
    QuietOutput quiet;
    ImportProgressLine progress(context.terminal, [&quiet, &context](const QString& text) {
        quiet.speak([&] { context.err(text); });
    });
    options.progress = [&progress](const JetImport::ImportProgress& step) {
        progress.show(step);
    };

    QElapsedTimer clock;
    clock.start();
    QStringList notes;
    int databases = 0;
    int tables = 0;
    qint64 rows = 0;
    int copied = 0;
    if (QFileInfo(source).isDir()) {
        const JetImport::FolderReport report = JetImport::importFolder(source, target, options);
        for (const JetImport::DatabaseReport& database : report.databases) {
            tables += database.tables;
            rows += database.rows;
        }
        databases = static_cast<int>(report.databases.size());
        copied = report.filesCopied;
        notes = report.notes;
    } else {
        const JetImport::DatabaseReport report = JetImport::importDatabase(source, target, options);
        databases = 1;
        tables = report.tables;
        rows = report.rows;
        notes = report.notConverted;
    }
    progress.end();
    quiet.end();
    for (const QString& note : notes)
        context.out(QStringLiteral("not converted: %1\n").arg(note));
    context.out(QStringLiteral("import %1 -> %2: %3 databases, %4 tables, %5 rows, %6 files copied, %7 not "
                               "converted, %8 s, checked\n")
                    .arg(source, target)
                    .arg(databases)
                    .arg(tables)
                    .arg(rows)
                    .arg(copied)
                    .arg(notes.size())
                    .arg(double(clock.elapsed()) / 1000.0, 0, 'f', 2));
    return ExitCode::Done;
}
