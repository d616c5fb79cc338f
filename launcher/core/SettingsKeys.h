#pragma once

#include <QString>

// Keys of the launcher's per-user settings (section "data").
namespace SettingsKeys {
inline const QString ServerPath = QStringLiteral("ServerPath");
inline const QString Standalone = QStringLiteral("standalone");
inline const QString CompanyId = QStringLiteral("companyid");
inline const QString IsFirstStart = QStringLiteral("IsFirstStart_UpdMCDBPath");
} // namespace SettingsKeys
