#pragma once

#include <QString>

// Per-user settings of one application, section "data". An absent key reads as the empty text.
class ISettingsStore
{
public:
    virtual ~ISettingsStore() = default;
    virtual QString get(const QString& key) const = 0;
    virtual void save(const QString& key, const QString& value) = 0;
};
