#include "connectionrules.h"

#include "socketcalls.h"

#include <QTcpSocket>

#include <chrono>

namespace platform::connection {

qint64 steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool isSilent(const QTcpSocket& socket, bool heard, bool spoken)
{
    return !heard && !spoken && socket.state() == QAbstractSocket::ConnectedState && socket.bytesAvailable() == 0
        && socket.bytesToWrite() == 0 && !bytesWaitingInSystem(&socket);
}

} // namespace platform::connection
