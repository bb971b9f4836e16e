#include "loopback.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

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
    // A refused connection reports its error at once: no need to wait out the time.
    QEventLoop connecting;
    QObject::connect(&socket, &QAbstractSocket::connected, &connecting, &QEventLoop::quit);
    QObject::connect(&socket, &QAbstractSocket::errorOccurred, &connecting, &QEventLoop::quit);
    QTimer deadline; // a stack timer: nothing is left waiting once the answer is in
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &connecting, &QEventLoop::quit);
    deadline.start(timeoutMs);
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (socket.state() != QAbstractSocket::ConnectedState && socket.state() != QAbstractSocket::UnconnectedState)
        connecting.exec();
    if (socket.state() != QAbstractSocket::ConnectedState)
        return {};
    socket.write(request);
    return readUntilClosed(socket, timeoutMs);
}

QByteArray readUntilClosed(QTcpSocket& client, int timeoutMs)
{
    // The event loop runs without pauses meanwhile, so a server in this process paces at full speed.
    if (client.state() != QAbstractSocket::UnconnectedState) {
        QSignalSpy closed(&client, &QAbstractSocket::disconnected);
        (void)closed.wait(timeoutMs);
    }
    return client.readAll();
}

} // namespace testsupport
