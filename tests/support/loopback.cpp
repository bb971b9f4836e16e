#include "loopback.h"
#include "waitfor.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace testsupport {

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QByteArray fetch(quint16 port, const QByteArray& request, int timeoutMs)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!waitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, timeoutMs))
        return {};
    socket.write(request);
    QByteArray received;
    waitFor([&] {
        received += socket.readAll();
        return socket.state() == QAbstractSocket::UnconnectedState;
    }, timeoutMs);
    received += socket.readAll();
    return received;
}

} // namespace testsupport
