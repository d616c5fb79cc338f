#pragma once

#include "platform/SettingsStore.h"

// The per-user settings of one product (organisation and application both the product name), group
// "data", through QSettings in its native place ($XDG_CONFIG_HOME/<product>/<product>.conf on Linux).
class QtSettingsStore : public ISettingsStore
{
public:
    explicit QtSettingsStore(QString productName);
    QString get(const QString& key) const override;
    void save(const QString& key, const QString& value) override;

    // The file the settings live in.
    QString fileName() const;

private:
    QString m_productName;
};
