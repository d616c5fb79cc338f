#pragma once

#include "engine/AppError.h"
#include "platform/FatalError.h"

#include <exception>

// A window's event handler has no error trap of its own: an error that reaches it ends the program
// through the standard run-time error report. When the report returns (a test double), the rest of the
// handler is abandoned, as the program would have ended there.
template <typename Handler> void runWindowEvent(IFatalError& fatal, Handler&& handler)
{
    try {
        handler();
    } catch (const AppError& error) {
        fatal.report(error);
    } catch (const std::exception& error) {
        fatal.report(51, QString::fromLocal8Bit(error.what()));
    }
}
