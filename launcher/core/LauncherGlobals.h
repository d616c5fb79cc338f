#pragma once

#include "base/AppError.h"
#include "engine/Connection.h"

#include <QString>
#include <cstdint>
#include <optional>

// The launcher's program-wide values, owned by main() and passed by reference to whoever uses them.
struct LauncherGlobals
{
    Connection MasterConnection;
    QString MasterConnectionString;
    QString AppVersion;
    QString ServerPath;
    QString DatabasePath;
    std::int16_t CurrentCompanyID = 0;
    QString CurrentCompanyName;

    // Why the master connection could not be opened at start, so that the first routine that needs it
    // can tell the user which file failed and why, rather than only that the connection is closed.
    std::optional<AppError> MasterOpenError;
};
