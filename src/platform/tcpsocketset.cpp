#include "tcpsocketset.h"

#include "connectionshedder.h"
#include "heaptrim.h"
#include "lingeringcloser.h"
#include "socketcalls.h"
#include "tcplistener.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QSignalBlocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <numeric>
#include <utility>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

// After our side has sent everything and its end-of-stream, the peer gets this long to close its own.
constexpr int kDrainMs = 2000;
// Connections may arrive in bursts (a map viewer refreshing many layers at once, a crowd of viewers):
// they wait their turn in the system's queue (which the system caps at net.core.somaxconn) instead of
// being dropped and asking again a second or more later.
constexpr int kListenBacklog = 4096;

qint32 clamp32(qint64 value)
{
    return static_cast<qint32>(std::min<qint64>(value, std::numeric_limits<qint32>::max()));
}

// The event that delivers what fell due on the elements.
QEvent::Type dueEventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// Hands as much of `bytes` as the system takes at once straight to the connection; how much that was.
qint64 sendDirectly(QTcpSocket* socket, const QByteArray& bytes)
{
#if defined(Q_OS_LINUX)
    const auto descriptor = static_cast<int>(socket->socketDescriptor());
    if (descriptor == -1)
        return 0;
    for (;;) {
        const ssize_t sent = ::send(descriptor, bytes.constData(), static_cast<size_t>(bytes.size()),
                                    MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent >= 0)
            return sent;
        if (errno != EINTR)
            return 0; // the socket's own write reports whatever is wrong
    }
#else
    Q_UNUSED(socket);
    Q_UNUSED(bytes);
    return 0;
#endif
}

// A single-shot timer owned by `owner`: destroyed with it, never firing after it.
template <typename Action>
void startOwnedTimer(QObject* owner, int milliseconds, Action action)
{
    auto* timer = new QTimer(owner);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, owner, action);
    timer->start(milliseconds);
}

} // namespace

struct TcpSocketSet::Element
{
    qint32 localPort = 0;
    SocketState::Code state = SocketState::Closed;
    TcpListener* server = nullptr;
    QTcpSocket* socket = nullptr; // holds the current connection
    QTcpSocket* spare = nullptr;  // the element's own socket while it holds none, kept for the next
    quint64 connection = 0;   // changes whenever the element takes or drops a connection
    std::vector<qint64> sends; // bytes of each send not yet reported, oldest first
    qint64 written = 0;       // bytes the socket handed to the system, not yet reported
    bool reportQueued = false;
    qint64 acceptedAt = 0;
    bool heard = false;       // a byte has arrived on the connection
    bool spoken = false;      // a byte has been handed over for the peer
};

TcpSocketSet::TcpSocketSet(QObject* parent)
    : QObject(parent)
    , m_closer(new LingeringCloser(this))
    , m_drained(new QTimer(this))
{
    m_elements.push_back(newElement());
    m_drained->setSingleShot(true);
    m_drained->setInterval(kDrainedMs);
    connect(m_drained, &QTimer::timeout, this, &TcpSocketSet::giveUpSpareSockets);
}

int TcpSocketSet::socketCount() const
{
    return static_cast<int>(std::count_if(m_elements.begin(), m_elements.end(),
                                          [](const Element* e) { return e->socket || e->spare; }));
}

// A burst of connections leaves every element it used with a socket of its own, a few KiB each,
// tens of thousands of them; once the burst is over they are given up (the elements stay), and so
// is the heap they and the connections took.
void TcpSocketSet::giveUpSpareSockets()
{
    if (m_connections > kKeptSockets)
        return; // the next connection dropped at or below the figure tries again
    if (std::exchange(m_sparesAboveKept, false)) {
        for (size_t i = kKeptSockets + 1; i < m_elements.size(); ++i) {
            // Closed, and idle since; nothing of it is under way.
            delete std::exchange(m_elements[i]->spare, nullptr);
        }
        if (m_due.empty())
            std::vector<DueEvent>().swap(m_due);
        // The heap once the last connections have finished lingering and what they left is deleted.
        m_heapToGiveBack = true;
        m_drained->start();
        return;
    }
    if (std::exchange(m_heapToGiveBack, false))
        giveBackFreedHeap();
}

TcpSocketSet::~TcpSocketSet() = default;

int TcpSocketSet::lingeringCount() const
{
    return m_lingering + m_closer->count();
}

int TcpSocketSet::ubound() const { return static_cast<int>(m_elements.size()) - 1; }

bool TcpSocketSet::load(int index)
{
    if (index != ubound() + 1)
        return fail(QStringLiteral("Element %1 cannot be created").arg(index));
    m_elements.push_back(newElement());
    return true;
}

TcpSocketSet::Element* TcpSocketSet::newElement()
{
    const size_t at = m_elements.size() % kElementsPerBlock;
    if (at == 0)
        m_blocks.push_back(std::make_unique<Element[]>(kElementsPerBlock));
    return &m_blocks.back()[at];
}

TcpSocketSet::Element* TcpSocketSet::element(int index) const
{
    return index >= 0 && index <= ubound() ? m_elements[static_cast<size_t>(index)] : nullptr;
}

// The element, if it still holds the connection an event was raised for.
TcpSocketSet::Element* TcpSocketSet::current(int index, quint64 connection) const
{
    Element* e = element(index);
    return e && e->socket && e->connection == connection ? e : nullptr;
}

bool TcpSocketSet::fail(const QString& error)
{
    m_error = error;
    return false;
}

int TcpSocketSet::firstClosed(int from) const
{
    for (int i = std::max(from, 1); i <= ubound(); ++i) {
        if (m_elements[static_cast<size_t>(i)]->state == SocketState::Closed)
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
    if (auto* e = element(index))
        e->localPort = port;
}

qint32 TcpSocketSet::localPort(int index) const
{
    const Element* e = element(index);
    return e ? e->localPort : 0;
}

bool TcpSocketSet::listen(int index)
{
    Element* e = element(index);
    if (!e)
        return fail(QStringLiteral("No element %1").arg(index));
    if (e->socket)
        return fail(QStringLiteral("Element %1 holds a connection").arg(index));
    // Qt takes a 16-bit port and would quietly listen on another one; port 0 would be one the
    // operator cannot know.
    if (e->localPort < 1 || e->localPort > 65535)
        return fail(QStringLiteral("Port %1 is outside 1 to 65535").arg(e->localPort));
    close(index);

    auto* server = new TcpListener(this);
    server->setListenBacklogSize(kListenBacklog);
    if (!server->listen(QHostAddress::Any, static_cast<quint16>(e->localPort))) {
        m_error = server->errorString();
        delete server;
        return false;
    }
    connect(server, &QTcpServer::newConnection, this, [this, index, server] { takeConnections(index, server); });
    server->setDescriptorTaker([this, index](qintptr descriptor) { takeDescriptor(index, descriptor); });
    e->server = server;
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

void TcpSocketSet::closePending(const Pending& pending)
{
    if (pending.socket) {
        dispose(pending.socket, true);
        return;
    }
#ifdef Q_OS_UNIX
    const auto descriptor = static_cast<int>(pending.descriptor);
    char byte = 0;
    // Nothing arrived: closed at once with our end-of-stream. Otherwise it is finished like any other.
    if (::recv(descriptor, &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0 && m_closer->take(descriptor, std::min(kDrainMs, m_lingerMs)))
        return;
    ::close(descriptor);
#endif
}

bool TcpSocketSet::accept(int index, qint32 requestId)
{
    Element* e = element(index);
    if (!e || e->state != SocketState::Closed || e->server || e->socket)
        return fail(QStringLiteral("Element %1 cannot accept now").arg(index));
    const auto found = m_pending.constFind(requestId);
    if (found == m_pending.constEnd())
        return fail(QStringLiteral("No pending connection %1").arg(requestId));
    const Pending pending = *found;
    m_pending.erase(found);

    dropConnection(index, *e);
    QTcpSocket* socket = socketFor(index, pending);
    if (!socket)
        return fail(QStringLiteral("Element %1 cannot take the connection").arg(index));
    e->socket = socket;
    ++m_connections;
    e->state = SocketState::Connected;
    e->acceptedAt = acceptClock();
    e->heard = socket->bytesAvailable() > 0;
    const quint64 connection = e->connection;
    // Whatever happened before the element took the connection over is reported now.
    if (socket->state() != QAbstractSocket::ConnectedState)
        queue({index, connection, Due::PeerClose});
    else if (socket->bytesAvailable() > 0)
        queue({index, connection, Due::Arrival});
    return true;
}

// The socket that takes a pending connection: the one the listener made, or the element's own with
// the accepted descriptor handed to it.
QTcpSocket* TcpSocketSet::socketFor(int index, const Pending& pending)
{
    Element& e = *element(index);
    if (pending.socket) {
        watch(index, pending.socket);
        return pending.socket;
    }
    QTcpSocket* socket = std::exchange(e.spare, nullptr);
    if (!socket) {
        socket = new QTcpSocket(this);
        watch(index, socket);
    }
    if (!socket->setSocketDescriptor(pending.descriptor)) {
#ifdef Q_OS_UNIX
        ::close(static_cast<int>(pending.descriptor));
#endif
        e.spare = socket;
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
        if (el && el->socket == socket && el->state == SocketState::Connected && error != QAbstractSocket::RemoteHostClosedError)
            el->state = SocketState::Error;
    });
    // Raised later, so that bytes that came before the close are delivered first.
    connect(socket, &QTcpSocket::disconnected, this, [this, index, socket] {
        Element* el = element(index);
        if (!el || el->socket != socket)
            return;
        queue({index, el->connection, Due::PeerClose});
    });
}

void TcpSocketSet::readyRead(int index, QTcpSocket* socket)
{
    Element* e = element(index);
    if (!e || e->socket != socket || socket->bytesAvailable() == 0)
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
    if (!e || !e->socket)
        return fail(QStringLiteral("Element %1 holds no connection").arg(index));
    data = QString::fromLatin1(e->socket->readAll());
    return true;
}

bool TcpSocketSet::sendData(int index, const QString& data)
{
    Element* e = element(index);
    if (!e || !e->socket || e->state != SocketState::Connected)
        return fail(QStringLiteral("Element %1 is not connected").arg(index));
    const QByteArray bytes = data.toLatin1();
    // Straight to the system while nothing waits in the socket before these bytes; what the system
    // does not take at once waits in the socket, which reports it through bytesWritten when it goes.
    const qint64 direct = !bytes.isEmpty() && e->socket->bytesToWrite() == 0 ? sendDirectly(e->socket, bytes) : 0;
    if (direct < bytes.size()) {
        const qint64 rest = bytes.size() - direct;
        if (e->socket->write(bytes.constData() + direct, rest) != rest)
            return fail(e->socket->errorString());
    }
    e->spoken = e->spoken || !bytes.isEmpty();
    e->sends.push_back(bytes.size());
    e->written += direct;
    // Reported from the event loop, never from inside this call.
    if (direct > 0 || bytes.isEmpty())
        queueReport(index, *e);
    return true;
}

void TcpSocketSet::bytesWritten(int index, QTcpSocket* socket, qint64 bytes)
{
    Element* e = element(index);
    if (!e || e->socket != socket)
        return;
    e->written += bytes;
    // Reported from the event loop, never from inside the socket's own notification.
    queueReport(index, *e);
}

void TcpSocketSet::queueReport(int index, Element& e)
{
    if (e.reportQueued)
        return;
    e.reportQueued = true;
    queue({index, e.connection, Due::Reports});
}

void TcpSocketSet::queue(const DueEvent& due)
{
    m_due.push_back(due);
    postDueEvent();
}

void TcpSocketSet::postDueEvent()
{
    if (m_dueEventPosted)
        return;
    m_dueEventPosted = true;
    QCoreApplication::postEvent(this, new QEvent(dueEventType()));
}

bool TcpSocketSet::event(QEvent* event)
{
    if (event->type() != dueEventType())
        return QObject::event(event);
    m_dueEventPosted = false;
    // Delivered one by one from the shared list, in order. A handler that lets events run (the
    // channel pool's close loop) then delivers the rest from inside, in the same order, so that none
    // waits under its stack frame for that pass to return. What falls due meanwhile comes with the
    // next event.
    const size_t end = m_due.size();
    ++m_delivering;
    while (m_dueNext < std::min(end, m_due.size())) {
        const DueEvent d = m_due[m_dueNext++];
        // Whoever lets events run while this one is delivered finds the rest waiting for it.
        if (m_dueNext < m_due.size())
            postDueEvent();
        switch (d.what) {
        case Due::Reports:
            reportSends(d.index, d.connection);
            break;
        case Due::Arrival:
            if (Element* e = current(d.index, d.connection))
                readyRead(d.index, e->socket);
            break;
        case Due::PeerClose:
            peerClosed(d.index, d.connection);
            break;
        }
    }
    --m_delivering;
    // Only the outermost delivery drops what has been delivered; the list's storage is kept.
    if (m_delivering == 0) {
        m_due.erase(m_due.begin(), m_due.begin() + static_cast<std::ptrdiff_t>(m_dueNext));
        m_dueNext = 0;
    }
    if (m_dueNext < m_due.size())
        postDueEvent();
    return true;
}

// Splits the bytes written over the queued sends: each send gets progress reports that add up to its
// size, then its one completion.
void TcpSocketSet::reportSends(int index, quint64 connection)
{
    Element* e = current(index, connection);
    if (!e || !e->reportQueued)
        return;
    e->reportQueued = false;
    while (!e->sends.empty()) {
        const qint64 part = std::min(e->written, e->sends.front());
        if (part == 0 && e->sends.front() > 0)
            break;
        e->written -= part;
        e->sends.front() -= part;
        const bool done = e->sends.front() == 0;
        if (done)
            e->sends.erase(e->sends.begin());
        if (part > 0) {
            const qint64 remaining = std::accumulate(e->sends.begin(), e->sends.end(), qint64{0});
            emit sendProgress(index, clamp32(part), clamp32(remaining));
            if (!(e = current(index, connection)))
                return;
        }
        if (!done)
            break;
        emit sendComplete(index);
        if (!(e = current(index, connection)))
            return;
    }
}

void TcpSocketSet::close(int index)
{
    Element* e = element(index);
    if (!e)
        return;
    if (e->server) {
        e->server->close();
        e->server->deleteLater(); // may be closed from inside its own notification
        e->server = nullptr;
    }
    dropConnection(index, *e);
    e->state = SocketState::Closed;
}

std::vector<TcpSocketSet::SilentConnection> TcpSocketSet::silentConnections() const
{
    std::vector<SilentConnection> silent;
    for (int i = 1; i <= ubound(); ++i) {
        const Element& e = *m_elements[static_cast<size_t>(i)];
        if (e.socket && e.state == SocketState::Connected && !e.heard && !e.spoken)
            silent.push_back({i, e.connection, e.acceptedAt});
    }
    std::sort(silent.begin(), silent.end(),
              [](const SilentConnection& a, const SilentConnection& b) { return a.acceptedAt < b.acceptedAt; });
    return silent;
}

bool TcpSocketSet::isSilent(const SilentConnection& silent) const
{
    const Element* e = current(silent.index, silent.connection);
    return e && e->state == SocketState::Connected && !e->heard && !e->spoken && e->socket->bytesAvailable() == 0
        && !bytesWaitingInSystem(e->socket);
}

void TcpSocketSet::dropConnection(int index, Element& e)
{
    ++e.connection;
    std::vector<qint64>().swap(e.sends); // a free element holds no buffer
    e.written = 0;
    e.reportQueued = false;
    const bool untouched = !e.heard && !e.spoken;
    e.heard = false;
    e.spoken = false;
    QTcpSocket* socket = std::exchange(e.socket, nullptr);
    if (!socket)
        return;
    --m_connections;
    if (letLinger(socket, untouched)) {
        e.spare = socket; // free for the element's next connection
        m_sparesAboveKept = m_sparesAboveKept || index > kKeptSockets;
    } else {
        dispose(socket, untouched);
    }
    if (m_sparesAboveKept && m_connections <= kKeptSockets && !m_drained->isActive())
        m_drained->start();
}

// The usual way to finish a connection: when nothing waits in the socket, the socket lets go of it
// and the system connection is handed, as a descriptor of its own, to the lingering closer (or, when
// nothing was sent either way and nothing waits, simply closed). The socket is then free at once.
// False when the socket still holds bytes for the peer or the descriptor cannot be passed on.
bool TcpSocketSet::letLinger(QTcpSocket* socket, bool untouched)
{
#ifdef Q_OS_UNIX
    if (!LingeringCloser::available())
        return false;
    if (socket->bytesToWrite() > 0)
        return false;
    const QSignalBlocker quiet(socket); // nothing of this connection is reported any more
    if (socket->state() != QAbstractSocket::ConnectedState) {
        socket->close();
        return true;
    }
    const auto descriptor = static_cast<int>(socket->socketDescriptor());
    if (untouched && socket->bytesAvailable() == 0 && !bytesWaitingInSystem(socket)) {
        socket->close(); // our end-of-stream; the descriptor is free again at once
        return true;
    }
    // The socket closes its descriptor; the connection lives on in the copy.
    const int kept = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    if (kept < 0)
        return false;
    socket->close();
    if (!m_closer->take(kept, std::min(kDrainMs, m_lingerMs)))
        ::close(kept);
    return true;
#else
    Q_UNUSED(socket);
    Q_UNUSED(untouched);
    return false;
#endif
}

// Lets a connection the program is done with finish on its own: what was handed over is sent, then
// our end-of-stream, while whatever the peer still sends is read and dropped; the socket is deleted
// once the peer has closed too. A peer that stops reading or never closes cannot hold it for ever.
// A connection on which nothing was sent either way has nothing to finish: it is closed at once, with
// our end-of-stream, and its descriptor is free again.
void TcpSocketSet::dispose(QTcpSocket* socket, bool untouched)
{
    socket->disconnect(this);
    if (socket->state() != QAbstractSocket::ConnectedState) {
        socket->deleteLater();
        return;
    }
    if (untouched && socket->bytesAvailable() == 0 && socket->bytesToWrite() == 0 && !bytesWaitingInSystem(socket)) {
        socket->close();
        socket->deleteLater();
        return;
    }
    ++m_lingering;
    connect(socket, &QObject::destroyed, this, [this] { --m_lingering; });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    socket->readAll();

    // The timers are the socket's children, so they end with it. (A single-shot timer that merely
    // names the socket as its context lives on until it expires: one per connection served, each
    // making every later timer start slower.)
    const int drainMs = std::min(kDrainMs, m_lingerMs);
    auto finishSending = [socket, drainMs] {
        if (socket->bytesToWrite() > 0 || socket->property("tarnvale.sent").toBool())
            return;
        socket->setProperty("tarnvale.sent", true);
        shutdownSending(socket);
        startOwnedTimer(socket, drainMs, [socket] {
            socket->readAll();
            socket->close();
            socket->deleteLater();
        });
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, finishSending);
    finishSending();
    startOwnedTimer(socket, m_lingerMs, [socket] {
        socket->abort();
        socket->deleteLater();
    });
}

} // namespace platform
