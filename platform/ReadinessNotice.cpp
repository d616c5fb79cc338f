#include "platform/ReadinessNotice.h"

#include "base/UniqueFd.h"

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>

namespace ReadinessNotice {

bool announce(const QString& status)
{
    const QByteArray name = qgetenv("NOTIFY_SOCKET");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.isEmpty() || size_t(name.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    // A name starting with '@' is in the abstract namespace, where the '@' stands for a NUL.
    if (address.sun_path[0] == '@')
        address.sun_path[0] = '\0';
    const UniqueFd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!socket)
        return false;
    const QByteArray message = "READY=1\nSTATUS=" + status.toUtf8() + '\n';
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(name.size()));
    return ::sendto(socket.get(), message.constData(), size_t(message.size()), MSG_NOSIGNAL,
                    reinterpret_cast<const sockaddr*>(&address), length) == message.size();
}

} // namespace ReadinessNotice
