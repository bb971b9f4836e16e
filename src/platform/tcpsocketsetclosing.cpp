#include "tcpsocketset.h"

#include "connectionrules.h"
#include "heaptrim.h"
#include "lingeringcloser.h"
#include "socketcalls.h"
#include "tcplistener.h"
#include "tcpsocketsetelement.h"

#include <QSignalBlocker>
#include <QTcpSocket>
#include <QTimer>
#include <utility>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>
#endif

// Closing: an element's connection handed to the lingering closer (or left to finish in its socket),
// silent connections for shedding, and the sockets a burst left behind given up.

namespace platform {

namespace {

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

int TcpSocketSet::socketCount() const
{
    int count = 0;
    for (int i = 0; i <= ubound(); ++i)
        count += element(i)->socket ? 1 : 0;
    return count;
}

int TcpSocketSet::lingeringCount() const
{
    return m_lingering + m_closer->count();
}

// A burst of connections leaves every element it used with a socket of its own, a few KiB each,
// tens of thousands of them; once the burst is over they are given up (the elements stay), and so
// is the heap they and the connections took.
void TcpSocketSet::giveUpSpareSockets()
{
    if (m_connections > kKeptSockets)
        return; // the next connection dropped at or below the figure tries again
    if (std::exchange(m_sparesAboveKept, false)) {
        for (int i = kKeptSockets + 1; i <= ubound(); ++i) {
            // Closed, and idle since; nothing of it is under way.
            Element& e = *element(i);
            if (!e.connected)
                delete std::exchange(e.socket, nullptr);
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

void TcpSocketSet::close(int index)
{
    Element* e = element(index);
    if (!e)
        return;
    const auto listening = m_listening.find(index);
    if (listening != m_listening.end() && listening->second.server) {
        TcpListener* server = std::exchange(listening->second.server, nullptr);
        server->close();
        server->deleteLater(); // may be closed from inside its own notification
    }
    dropConnection(index, *e);
    e->state = SocketState::Closed;
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
    if (::recv(descriptor, &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0
        && m_closer->take(descriptor, std::min(connection::kLingerMs, m_lingerMs)))
        return;
    ::close(descriptor);
#endif
}

std::vector<TcpSocketSet::SilentConnection> TcpSocketSet::silentConnections() const
{
    std::vector<SilentConnection> silent;
    for (int i = 1; i <= ubound(); ++i) {
        const Element& e = *element(i);
        if (e.held() && e.state == SocketState::Connected && !e.heard && !e.spoken)
            silent.push_back({i, e.connection, e.acceptedAt});
    }
    std::sort(silent.begin(), silent.end(),
              [](const SilentConnection& a, const SilentConnection& b) { return a.acceptedAt < b.acceptedAt; });
    return silent;
}

bool TcpSocketSet::isSilent(const SilentConnection& silent) const
{
    const Element* e = current(silent.index, silent.connection);
    return e && e->state == SocketState::Connected && connection::isSilent(*e->socket, e->heard, e->spoken);
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
    if (!e.connected)
        return;
    e.connected = false;
    QTcpSocket* socket = std::exchange(e.socket, nullptr);
    --m_connections;
    if (letLinger(socket, untouched)) {
        e.socket = socket; // free for the element's next connection
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
    if (!LingeringCloser::available() || socket->bytesToWrite() > 0)
        return false;
    const QSignalBlocker quiet(socket); // nothing of this connection is reported any more
    return m_closer->takeFrom(socket, untouched, std::min(connection::kLingerMs, m_lingerMs));
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
    const int drainMs = std::min(connection::kLingerMs, m_lingerMs);
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
