#include "listening.h"

#include "platform/eventlog.h"
#include "platform/tcpsocketset.h"

namespace web {

bool listenForMaps(platform::TcpSocketSet& server, qint32 port)
{
    server.setLocalPort(0, port);
    if (server.listen(0)) {
        platform::logEvent(QStringLiteral("Serving the map on port %1").arg(port));
        return true;
    }
    platform::logEvent(QStringLiteral("Website port %1 cannot be used: %2").arg(port).arg(server.errorString()));
    return false;
}

} // namespace web
