#include "httplistener.h"

#include "connectionguard.h"
#include "connectionshedder.h"
#include "lingeringcloser.h"

#include <QMetaMethod>
#include <QTcpSocket>

#include <algorithm>

namespace platform {

namespace {

// Connections may arrive in bursts (a page fetching its script, style and images at once).
using connection::kListenBacklog;

} // namespace

HttpListener::HttpListener(QObject* parent)
    : TcpListener(parent)
    , m_closer(new LingeringCloser(this))
    , m_maxStreams(streamLimit(currentOpenFileLimit()))
{
    // Qt's HTTP server module takes connections on this signal, which QTcpServer raises only from its
    // own accepting; the listener accepts by itself.
    connect(this, &QTcpServer::newConnection, this, [this] {
        static const QMetaMethod available = QMetaMethod::fromSignal(&QTcpServer::pendingConnectionAvailable);
        if (hasPendingConnections())
            available.invoke(this, Qt::DirectConnection);
    });
    m_shedder = &ConnectionShedder::instance();
    m_shedSource = m_shedder->addSource([this] {
        std::vector<SheddableConnection> silent;
        prune();
        for (const QPointer<ConnectionGuard>& guard : m_guards) {
            if (guard && guard->isSilent()) {
                silent.push_back({guard->acceptedAt(), [guard] {
                    if (!guard || !guard->isSilent())
                        return false;
                    guard->finish();
                    return true;
                }});
            }
        }
        return silent;
    });
}

HttpListener::~HttpListener()
{
    if (m_shedder)
        m_shedder->removeSource(m_shedSource);
}

int HttpListener::streamLimit(OpenFileLimit limit)
{
    const bool noLimit = limit.soft == 0 && limit.hard == 0; // where the system keeps none
    if (limit.soft == OpenFileLimit::kUnlimited || noLimit)
        return kMaxStreams;
    return static_cast<int>(std::clamp<qint64>(limit.soft - kReservedDescriptors - kMaxConnections, 0, kMaxStreams));
}

bool HttpListener::listenOnPort(int port)
{
    // Qt takes a 16-bit port and would turn 99999 into another one.
    if (!connection::isPort(port))
        return false;
    setListenBacklogSize(kListenBacklog);
    return listen(QHostAddress::Any, static_cast<quint16>(port));
}

void HttpListener::prune() const
{
    m_guards.erase(std::remove_if(m_guards.begin(), m_guards.end(),
                                  [](const QPointer<ConnectionGuard>& guard) { return !guard; }),
                   m_guards.end());
}

int HttpListener::connectionCount() const
{
    prune();
    // Closing ones are on their way out and no longer count.
    return static_cast<int>(std::count_if(m_guards.begin(), m_guards.end(), [](const QPointer<ConnectionGuard>& guard) {
        return !guard->isClosing() && !guard->isStream();
    }));
}

int HttpListener::streamCount() const
{
    prune();
    return static_cast<int>(std::count_if(m_guards.begin(), m_guards.end(), [](const QPointer<ConnectionGuard>& guard) {
        return !guard->isClosing() && guard->isStream();
    }));
}

int HttpListener::lingeringCount() const
{
    return m_closer->count();
}

ConnectionGuard* HttpListener::guardOf(QTcpSocket* socket)
{
    return socket ? socket->findChild<ConnectionGuard*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

ConnectionGuard* HttpListener::guard(ConnectionId connection) const
{
    return m_byId.value(connection, nullptr);
}

ConnectionId HttpListener::connectionOf(QTcpSocket* socket) const
{
    const ConnectionGuard* watch = guardOf(socket);
    return watch && guard(watch->id()) == watch ? watch->id() : 0;
}

bool HttpListener::isOpen(ConnectionId connection) const
{
    const ConnectionGuard* watch = guard(connection);
    return watch && watch->isOpen();
}

bool HttpListener::isHttp10(ConnectionId connection) const
{
    const ConnectionGuard* watch = guard(connection);
    return watch && watch->isHttp10();
}

bool HttpListener::keepAliveAsked(ConnectionId connection) const
{
    const ConnectionGuard* watch = guard(connection);
    return watch && watch->keepAliveAsked();
}

void HttpListener::write(ConnectionId connection, const QByteArray& bytes)
{
    if (ConnectionGuard* watch = guard(connection))
        watch->send(bytes);
}

qint64 HttpListener::unsentBytes(ConnectionId connection) const
{
    const ConnectionGuard* watch = guard(connection);
    return watch ? watch->unsentBytes() : 0;
}

bool HttpListener::startStream(ConnectionId connection)
{
    ConnectionGuard* watch = guard(connection);
    if (!watch || streamCount() >= m_maxStreams)
        return false;
    watch->becomeStream();
    return true;
}

void HttpListener::close(ConnectionId connection, const QByteArray& last)
{
    if (ConnectionGuard* watch = guard(connection))
        watch->finish(last);
}

bool HttpListener::makeRoomForOne()
{
    return connectionCount() < m_maxConnections || closeLongestAwaiting();
}

// Whoever holds a place without having asked (or asked again) gives it up first: a client that
// trickles its head, or many that do, can then keep nobody out.
bool HttpListener::closeLongestAwaiting()
{
    prune();
    ConnectionGuard* longest = nullptr;
    for (const QPointer<ConnectionGuard>& guard : m_guards) {
        if (guard->isAwaitingRequest() && (!longest || guard->awaitingSince() < longest->awaitingSince()))
            longest = guard;
    }
    if (!longest)
        return false;
    longest->finish();
    return true;
}

QTcpSocket* HttpListener::nextPendingConnection()
{
    while (QTcpSocket* socket = TcpListener::nextPendingConnection()) {
        if (socket->state() != QAbstractSocket::ConnectedState) {
            socket->deleteLater(); // gone before anyone took it
            continue;
        }
        auto* guard = new ConnectionGuard(socket, {kMaxRequestBytes, m_idleMs, m_requestMs}, m_closer);
        if (makeRoomForOne()) {
            m_guards.emplace_back(guard);
            const ConnectionId id = ++m_lastId;
            guard->setId(id);
            m_byId.insert(id, guard);
            connect(guard, &QObject::destroyed, this, [this, id] { m_byId.remove(id); });
            return socket;
        }
        // Every connection is in use: this one is told so and never reaches the server module.
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        guard->finish(ConnectionGuard::closingAnswer(503, "Service Unavailable"));
    }
    return nullptr;
}

} // namespace platform
