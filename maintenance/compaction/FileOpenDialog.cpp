#include "maintenance/compaction/ComprimirAccess2000.h"

#include "base/AppError.h"

namespace ComprimirAccess2000 {

namespace {

constexpr qsizetype LongestFilter = 32767; // the walk counts in a 16-bit signed counter

// The platform dialog takes the list in the "|" notation it was given in: the NUL list without its
// closing NUL, each NUL a "|" again. An empty description still ends the list there.
QString inServiceNotation(const QString& converted)
{
    QString text = converted;
    if (text.endsWith(QChar(0)))
        text.chop(1);
    return text.replace(QChar(0), QLatin1Char('|'));
}

} // namespace

void BuildDialogFilter(DialogRecord& record, const QString& filter)
{
    if (filter.size() > LongestFilter)
        throw AppError(ErrorNumber::Overflow, QStringLiteral("Overflow"));
    QString converted;
    converted.reserve(filter.size() + 1);
    for (const QChar c : filter)
        converted.append(c == QLatin1Char('|') ? QChar(0) : c);
    converted.append(QChar(0));
    record.filter = converted;
}

QString OpenFileDialog(Module& module, const QString& title, const QString& filter,
                       const QString& defaultExtension)
{
    DialogRecord& record = module.dialog;
    record.title = title;
    record.defaultExtension = defaultExtension;
    BuildDialogFilter(record, filter);
    // The platform dialog here has no read-only check box to hide; the flag stays part of the request.
    record.flags = HideReadOnly;
    const QString chosen =
        module.fileOpenDialog.open(record.title, inServiceNotation(record.filter), record.defaultExtension);
    return chosen.section(QChar(0), 0, 0);
}

} // namespace ComprimirAccess2000
