#include "tcpsocketset.h"

#include "connectionrules.h"
#include "connectionshedder.h"
#include "lingeringcloser.h"
#include "tcplistener.h"
#include "tcpsocketsetelement.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

// The elements and their connections' arrival: listening, accepting, reading and the peer's close.
// Sending and its reports are in tcpsocketsetsending.cpp, closing and lingering in
// tcpsocketsetclosing.cpp.

namespace platform {

TcpSocketSet::TcpSocketSet(QObject* parent)
    : QObject(parent)
    , m_closer(new LingeringCloser(this))
    , m_drained(new QTimer(this))
{
    (void)load(0);
    m_drained->setSingleShot(true);
    m_drained->setInterval(kDrainedMs);
    connect(m_drained, &QTimer::timeout, this, &TcpSocketSet::giveUpSpareSockets);
}

TcpSocketSet::~TcpSocketSet() = default;

int TcpSocketSet::ubound() const { return m_count - 1; }

bool TcpSocketSet::load(int index)
{
    static_assert(sizeof(Element) <= 64, "a burst leaves tens of thousands of elements behind");
    if (index != ubound() + 1)
        return fail(QStringLiteral("Element %1 cannot be created").arg(index));
    if (m_count % kElementsPerBlock == 0)
        m_blocks.push_back(std::make_unique<Element[]>(kElementsPerBlock));
    ++m_count;
    return true;
}

TcpSocketSet::Element* TcpSocketSet::element(int index) const
{
    if (index < 0 || index > ubound())
        return nullptr;
    return &m_blocks[static_cast<size_t>(index / kElementsPerBlock)][static_cast<size_t>(index % kElementsPerBlock)];
}

// The element, if it still holds the connection an event was raised for.
TcpSocketSet::Element* TcpSocketSet::current(int index, quint64 connection) const
{
    Element* e = element(index);
    return e && e->held() && e->connection == connection ? e : nullptr;
}

bool TcpSocketSet::fail(const QString& error)
{
    m_error = error;
    return false;
}

int TcpSocketSet::firstClosed(int from) const
{
    for (int i = std::max(from, 1); i <= ubound(); ++i) {
        if (element(i)->state == SocketState::Closed)
            return i;
    }
    return 0;
}

SocketState::Code TcpSocketSet::state(int index) const
{
    const Element* e = element(index);
    return e ? e->state : SocketState::Closed;
}

void TcpSocketSet::setLocalPort(int index, qint32 port)
{
    if (element(index))
        m_listening[index].localPort = port;
}

qint32 TcpSocketSet::localPort(int index) const
{
    const auto found = m_listening.find(index);
    return found == m_listening.end() ? 0 : found->second.localPort;
}

bool TcpSocketSet::listen(int index)
{
    Element* e = element(index);
    if (!e)
        return fail(QStringLiteral("No element %1").arg(index));
    if (e->held())
        return fail(QStringLiteral("Element %1 holds a connection").arg(index));
    const qint32 port = localPort(index);
    if (!connection::isPort(port))
        return fail(QStringLiteral("Port %1 is outside 1 to 65535").arg(port));
    close(index);

    auto* server = new TcpListener(this);
    server->setListenBacklogSize(connection::kListenBacklog);
    if (!server->listen(QHostAddress::Any, static_cast<quint16>(port))) {
        m_error = server->errorString();
        delete server;
        return false;
    }
    connect(server, &QTcpServer::newConnection, this, [this, index, server] { takeConnections(index, server); });
    server->setDescriptorTaker([this, index](qintptr descriptor) { takeDescriptor(index, descriptor); });
    m_listening[index].server = server;
    e->state = SocketState::Listening;
    return true;
}

qint32 TcpSocketSet::nextRequestId()
{
    do {
        m_nextRequestId = m_nextRequestId == std::numeric_limits<qint32>::max() ? 1 : m_nextRequestId + 1;
    } while (m_pending.contains(m_nextRequestId));
    return m_nextRequestId;
}

void TcpSocketSet::takeConnections(int index, QTcpServer* server)
{
    QPointer<QTcpServer> guard(server);
    while (guard && server->hasPendingConnections()) {
        QTcpSocket* socket = server->nextPendingConnection();
        if (!socket)
            break;
        socket->setParent(this); // outlives a server that stops listening
        offer(index, {-1, socket});
    }
}

void TcpSocketSet::takeDescriptor(int index, qintptr descriptor)
{
    offer(index, {descriptor, nullptr});
}

void TcpSocketSet::offer(int index, const Pending& pending)
{
    const qint32 id = nextRequestId();
    m_pending.insert(id, pending);
    emit connectionRequest(index, id);
    const auto left = m_pending.constFind(id);
    if (left != m_pending.constEnd()) { // not taken over by the handler
        const Pending untaken = *left;
        m_pending.erase(left);
        closePending(untaken);
    }
}

bool TcpSocketSet::accept(int index, qint32 requestId)
{
    Element* e = element(index);
    if (!e || e->state != SocketState::Closed || e->held())
        return fail(QStringLiteral("Element %1 cannot accept now").arg(index));
    const auto found = m_pending.constFind(requestId);
    if (found == m_pending.constEnd())
        return fail(QStringLiteral("No pending connection %1").arg(requestId));
    const Pending pending = *found;
    m_pending.erase(found);

    dropConnection(index, *e);
    QTcpSocket* socket = socketFor(*e, pending, index);
    if (!socket)
        return fail(QStringLiteral("Element %1 cannot take the connection").arg(index));
    e->socket = socket;
    e->connected = true;
    ++m_connections;
    e->state = SocketState::Connected;
    e->acceptedAt = acceptClock();
    e->heard = socket->bytesAvailable() > 0;
    const quint32 connection = e->connection;
    // Whatever happened before the element took the connection over is reported now.
    if (socket->state() != QAbstractSocket::ConnectedState)
        queue({index, connection, Due::PeerClose});
    else if (socket->bytesAvailable() > 0)
        queue({index, connection, Due::Arrival});
    return true;
}

// The socket that takes a pending connection: the one the listener made, or the element's own with
// the accepted descriptor handed to it.
QTcpSocket* TcpSocketSet::socketFor(Element& e, const Pending& pending, int index)
{
    if (pending.socket) {
        // The element's own socket is not needed for this one; it stays for the next.
        if (QTcpSocket* own = std::exchange(e.socket, nullptr))
            delete own;
        watch(index, pending.socket);
        return pending.socket;
    }
    QTcpSocket* socket = std::exchange(e.socket, nullptr);
    if (!socket) {
        socket = new QTcpSocket(this);
        watch(index, socket);
    }
    if (!socket->setSocketDescriptor(pending.descriptor)) {
#ifdef Q_OS_UNIX
        ::close(static_cast<int>(pending.descriptor));
#endif
        e.socket = socket; // kept, free, for the next
        return nullptr;
    }
    return socket;
}

// The socket's notifications, for as long as it serves the element at `index`.
void TcpSocketSet::watch(int index, QTcpSocket* socket)
{
    connect(socket, &QTcpSocket::readyRead, this, [this, index, socket] { readyRead(index, socket); });
    connect(socket, &QTcpSocket::bytesWritten, this,
            [this, index, socket](qint64 bytes) { bytesWritten(index, socket, bytes); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, index, socket](QAbstractSocket::SocketError error) {
        Element* el = element(index);
        // A peer's close is reported as an error too; it is handled as the close it is.
        if (el && el->held() == socket && el->state == SocketState::Connected && error != QAbstractSocket::RemoteHostClosedError)
            el->state = SocketState::Error;
    });
    // Raised later, so that bytes that came before the close are delivered first.
    connect(socket, &QTcpSocket::disconnected, this, [this, index, socket] {
        Element* el = element(index);
        if (!el || el->held() != socket)
            return;
        queue({index, el->connection, Due::PeerClose});
    });
}

void TcpSocketSet::readyRead(int index, QTcpSocket* socket)
{
    Element* e = element(index);
    if (!e || e->held() != socket || socket->bytesAvailable() == 0)
        return;
    e->heard = true;
    if (e->state == SocketState::Connected)
        emit dataArrival(index, clamp32(socket->bytesAvailable()));
}

void TcpSocketSet::peerClosed(int index, quint64 connection)
{
    Element* e = current(index, connection);
    if (!e || e->state == SocketState::PeerClosing)
        return;
    if (e->state == SocketState::Connected && e->socket->bytesAvailable() > 0) {
        emit dataArrival(index, clamp32(e->socket->bytesAvailable()));
        e = current(index, connection); // the handler may have closed the element
        if (!e)
            return;
    }
    e->state = SocketState::PeerClosing;
    emit closed(index);
}

QString TcpSocketSet::getData(int index)
{
    QString data;
    (void)getData(index, data);
    return data;
}

bool TcpSocketSet::getData(int index, QString& data)
{
    Element* e = element(index);
    if (!e || !e->held())
        return fail(QStringLiteral("Element %1 holds no connection").arg(index));
    data = QString::fromLatin1(e->socket->readAll());
    return true;
}

} // namespace platform
