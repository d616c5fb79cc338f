#pragma once

#include "platform/SettingsStore.h"

#include <QMap>

class MemorySettingsStore : public ISettingsStore
{
public:
    QString get(const QString& key) const override { return m_values.value(key); }
    void save(const QString& key, const QString& value) override { m_values.insert(key, value); }
    bool contains(const QString& key) const { return m_values.contains(key); }
    const QMap<QString, QString>& values() const { return m_values; }

private:
    QMap<QString, QString> m_values;
};
