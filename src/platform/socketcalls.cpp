#include "socketcalls.h"

#include <QTcpSocket>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

namespace platform {

bool bytesWaitingInSystem(const QTcpSocket* socket)
{
    const qintptr descriptor = socket->socketDescriptor();
    if (descriptor == -1)
        return false;
    char byte = 0;
#ifdef Q_OS_WIN
    return ::recv(static_cast<SOCKET>(descriptor), &byte, 1, MSG_PEEK) > 0;
#else
    return ::recv(static_cast<int>(descriptor), &byte, 1, MSG_PEEK) > 0;
#endif
}

void shutdownSending(const QTcpSocket* socket)
{
    const qintptr descriptor = socket->socketDescriptor();
    if (descriptor == -1)
        return;
#ifdef Q_OS_WIN
    ::shutdown(static_cast<SOCKET>(descriptor), SD_SEND);
#else
    ::shutdown(static_cast<int>(descriptor), SHUT_WR);
#endif
}

} // namespace platform
