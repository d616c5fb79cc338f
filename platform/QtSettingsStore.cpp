#include "platform/QtSettingsStore.h"

#include <QSettings>

namespace {
const QString Group = QStringLiteral("data");
} // namespace

QtSettingsStore::QtSettingsStore(QString productName) : m_productName(std::move(productName)) {}

// A QSettings per call rather than one kept open: it re-reads the file when another copy of the program
// (another process) has changed it since, as the registry always showed the current value.
QString QtSettingsStore::get(const QString& key) const
{
    QSettings settings(m_productName, m_productName);
    settings.beginGroup(Group);
    return settings.value(key).toString();
}

void QtSettingsStore::save(const QString& key, const QString& value)
{
    QSettings settings(m_productName, m_productName);
    settings.beginGroup(Group);
    settings.setValue(key, value);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        qWarning("Could not write the setting %s to %s", qPrintable(key), qPrintable(settings.fileName()));
}

QString QtSettingsStore::fileName() const
{
    return QSettings(m_productName, m_productName).fileName();
}
