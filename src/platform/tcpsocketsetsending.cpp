#include "tcpsocketset.h"

#include "tcpsocketsetelement.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTcpSocket>

#include <numeric>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <sys/socket.h>
#endif

// Sending, and the reports of what was sent, arrived or closed, delivered from the event loop.

namespace platform {

namespace {

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

} // namespace

bool TcpSocketSet::sendData(int index, const QString& data)
{
    Element* e = element(index);
    if (!e || !e->held() || e->state != SocketState::Connected)
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
    if (!e || e->held() != socket)
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

} // namespace platform
