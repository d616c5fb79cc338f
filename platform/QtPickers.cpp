#include "platform/QtPickers.h"

#include <QApplication>
#include <QFileDialog>
#include <QRegularExpression>

namespace {

// The offscreen and minimal platforms have no native dialogs of their own, but a desktop platform theme
// picked up from the environment could still slip one in; there the widget dialog is the one tests drive.
bool useWidgetDialog()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QStringLiteral("offscreen") || platform == QStringLiteral("minimal");
}

QFileDialog::Options dialogOptions()
{
    return useWidgetDialog() ? QFileDialog::DontUseNativeDialog : QFileDialog::Options();
}

QString withoutTrailingSeparator(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

QString QtFolderPicker::browse(const QString& startFolder, const QString& prompt)
{
    const QString chosen = QFileDialog::getExistingDirectory(
        QApplication::activeWindow(), prompt, startFolder, QFileDialog::ShowDirsOnly | dialogOptions());
    return withoutTrailingSeparator(chosen);
}

QStringList dialogNameFilters(const QString& filter)
{
    QStringList result;
    if (filter.isEmpty())
        return result;
    const QStringList pieces = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i < pieces.size(); i += 2) {
        // The original dialog read the pieces as one list of texts ended by the first empty one.
        const QString description = pieces[i].trimmed();
        if (description.isEmpty())
            break;
        const QString pattern = i + 1 < pieces.size() ? pieces[i + 1] : QString();
        QStringList patterns =
            pattern.split(QRegularExpression(QStringLiteral("[;\\s]+")), Qt::SkipEmptyParts);
        // A description without a pattern: an entry that hides nothing, rather than one that hides all.
        if (patterns.isEmpty())
            patterns.append(QStringLiteral("*"));
        result.append(description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                      QLatin1Char(')'));
    }
    return result;
}

QStringList withUpperCasePatterns(const QStringList& nameFilters)
{
    static const QRegularExpression patternList(QStringLiteral("^(.*)\\(([^()]*)\\)$"));
    QStringList result;
    for (const QString& nameFilter : nameFilters) {
        const QRegularExpressionMatch match = patternList.match(nameFilter);
        if (!match.hasMatch()) {
            result.append(nameFilter);
            continue;
        }
        QStringList patterns = match.captured(2).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QStringList given = patterns;
        for (const QString& pattern : given) {
            const QString upper = pattern.toUpper();
            if (!patterns.contains(upper))
                patterns.append(upper);
        }
        result.append(match.captured(1) + QLatin1Char('(') + patterns.join(QLatin1Char(' ')) +
                      QLatin1Char(')'));
    }
    return result;
}

QString QtFileOpenDialog::open(const QString& title, const QString& filter,
                               const QString& /*defaultExtension*/)
{
    QFileDialog dialog(QApplication::activeWindow(), title);
    dialog.setObjectName(QStringLiteral("FileOpenDialog"));
    dialog.setOptions(dialogOptions());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // "*.mdb" is meant to match the extension in any case. The widget dialog does so when its entry
    // filter lacks QDir::CaseSensitive; a native dialog takes no such option and gets each pattern in
    // upper case beside it, which covers the names other systems write ("X.MDB").
    const QStringList nameFilters = dialogNameFilters(filter);
    dialog.setNameFilters(useWidgetDialog() ? nameFilters : withUpperCasePatterns(nameFilters));
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}
