#include "countingrelay.h"

#include <QTcpSocket>

namespace testsupport {

CountingRelay::CountingRelay(quint16 target, QObject* parent)
    : QObject(parent)
    , m_target(target)
{
    connect(&m_server, &QTcpServer::newConnection, this, &CountingRelay::relay);
    m_server.listen(QHostAddress::LocalHost, 0);
}

void CountingRelay::relay()
{
    while (QTcpSocket* down = m_server.nextPendingConnection()) {
        ++m_connections;
        down->setParent(this);
        auto* up = new QTcpSocket(this);
        // Bytes written before the connection is up wait in the socket until it is.
        connect(down, &QTcpSocket::readyRead, up, [down, up] { up->write(down->readAll()); });
        connect(up, &QTcpSocket::readyRead, down, [down, up] { down->write(up->readAll()); });
        // Either side closing closes the other once what it sent has been passed on.
        connect(up, &QTcpSocket::disconnected, down, [down, up] {
            down->write(up->readAll());
            down->disconnectFromHost();
            up->deleteLater();
        });
        connect(down, &QTcpSocket::disconnected, up, [down, up] {
            up->write(down->readAll());
            up->disconnectFromHost();
            down->deleteLater();
        });
        connect(up, &QTcpSocket::errorOccurred, down, [down](QAbstractSocket::SocketError error) {
            if (error != QAbstractSocket::RemoteHostClosedError)
                down->abort();
        });
        up->connectToHost(QHostAddress::LocalHost, m_target);
    }
}

} // namespace testsupport
