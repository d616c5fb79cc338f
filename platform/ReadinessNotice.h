#pragma once

#include <QString>

// Tells whoever started the program that it is ready, the way a service manager asks for it: a datagram
// "READY=1" (with a status line) to the local socket named in NOTIFY_SOCKET. Without that variable it does
// nothing; a socket that cannot be reached is no reason to stop the program.
namespace ReadinessNotice {

// Whether the notice was sent.
bool announce(const QString& status);

} // namespace ReadinessNotice
