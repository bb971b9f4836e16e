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
    // A refused connection drops back to UnconnectedState: no need to wait out the time.
    waitFor([&] { return socket.state() == QAbstractSocket::ConnectedState
                         || socket.state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
    if (socket.state() != QAbstractSocket::ConnectedState)
        return {};
    socket.write(request);
    return readUntilClosed(socket, timeoutMs);
}

QByteArray readUntilClosed(QTcpSocket& client, int timeoutMs)
{
    QByteArray data;
    waitFor([&] {
        data += client.readAll();
        return client.state() == QAbstractSocket::UnconnectedState;
    }, timeoutMs);
    return data + client.readAll();
}

} // namespace testsupport
