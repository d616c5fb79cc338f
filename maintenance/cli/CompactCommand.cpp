#include "base/AppError.h"
#include "maintenance/cli/Arguments.h"
#include "maintenance/cli/Commands.h"
#include "maintenance/compaction/ComprimirAccess2000.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

namespace {

[[noreturn]] void fail(const QString& text)
{
    throw AppError(ErrorNumber::Unspecified, text);
}

// The first line, without its line break: what a password file or a pipe holds.
QString firstLine(const QByteArray& bytes)
{
    QByteArray line = bytes.left(bytes.indexOf('\n') < 0 ? bytes.size() : bytes.indexOf('\n'));
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

QString passwordFrom(const Arguments& arguments, CommandContext& context)
{
    const bool fromFile = arguments.has(QStringLiteral("--password-file"));
    const bool fromInput = arguments.has(QStringLiteral("--password-stdin"));
    if (fromFile && fromInput)
        throw UsageError(QStringLiteral("give either --password-file or --password-stdin, not both."));
    if (fromFile) {
        const QString path = arguments.value(QStringLiteral("--password-file"));
        QFile file(path);
        if (!QFileInfo::exists(path))
            fail(QStringLiteral("The password file '%1' does not exist.").arg(path));
        if (!file.open(QIODevice::ReadOnly))
            fail(QStringLiteral("The password file '%1' could not be read: %2.")
                     .arg(path, file.errorString()));
        const QString password = firstLine(file.readAll());
        if (password.isEmpty())
            fail(
                QStringLiteral("The password file '%1' is empty: its first line is the password.").arg(path));
        return password;
    }
    if (fromInput) {
        const QString password = firstLine(context.readInput());
        if (password.isEmpty())
            fail(QStringLiteral("No password came on standard input."));
        return password;
    }
    return {};
}

} // namespace

int runCompactCommand(const QStringList& list, CommandContext& context)
{
    const Arguments arguments(list, {QStringLiteral("--password-stdin")},
                              {QStringLiteral("--password-file")});
    arguments.requireOperands(1, 1, QStringLiteral("DATABASE_FILE"));
    const QString path = arguments.operands()[0];
    const QString password = passwordFrom(arguments, context);
    QElapsedTimer clock;
    clock.start();
    ComprimirAccess2000::CompactionResult result;
    try {
        result = ComprimirAccess2000::CompactFileInFolder(context.programFolder, path, password);
    } catch (const AppError& error) {
        if (error.number() != ErrorNumber::WrongPassword)
            throw;
        fail(QStringLiteral("'%1' did not open: it is protected and the password is %2.")
                 .arg(path, password.isEmpty() ? QStringLiteral("missing") : QStringLiteral("wrong")));
    }
    if (!result.warning.isEmpty())
        context.err(QStringLiteral("vaultkeep compact: %1\n").arg(result.warning));
    const QString outcome = result.replaced ? QStringLiteral("compacted and checked")
                                            : QStringLiteral("left as it was: the compacted copy was larger");
    context.out(QStringLiteral("compact %1: %2 -> %3 bytes, %4 s, %5\n")
                    .arg(path)
                    .arg(result.originalSize)
                    .arg(result.replaced ? result.compactedSize : result.originalSize)
                    .arg(double(clock.elapsed()) / 1000.0, 0, 'f', 2)
                    .arg(outcome));
    return ExitCode::Done;
}
