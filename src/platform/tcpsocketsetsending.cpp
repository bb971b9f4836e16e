#include "tcpsocketset.h"

#include "readinessqueue.h"
#include "socketcalls.h"
#include "tcpsocketsetelement.h"

#include <QCoreApplication>
#include <QEvent>

#include <numeric>

// Sending, and the reports of what was sent or closed, delivered from the event loop.

namespace platform {

namespace {

// The event that delivers what fell due on the elements.
QEvent::Type dueEventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

} // namespace

bool TcpSocketSet::sendData(int index, const QString& data)
{
    Element* e = element(index);
    if (!e || !e->held() || e->state != SocketState::Connected)
        return fail(QStringLiteral("Element %1 is not connected").arg(index));
    QByteArray bytes = data.toLatin1();
    const qint64 size = bytes.size();
    // Straight to the system while nothing waits before these bytes; what it does not take at once
    // waits in the element and goes as the connection has room (a failure shows there too).
    qint64 direct = 0;
    if (size > 0 && !e->sending() && sendSome(e->descriptor, bytes.constData(), size, direct) != Transfer::Moved)
        direct = 0;
    e->spoken = e->spoken || size > 0;
    e->sends.push_back(size);
    e->written += direct;
    if (direct < size) {
        if (!e->sending()) {
            e->output = direct == 0 ? std::move(bytes) : bytes.sliced(direct);
            e->outputAt = 0;
        } else {
            e->output.append(bytes);
        }
        watch(index, *e);
    }
    // Reported from the event loop, never from inside this call.
    if (direct > 0 || size == 0)
        queueReport(index, *e);
    return true;
}

// Hands what waits to the system as far as it takes it.
void TcpSocketSet::flush(int index, quint32 connection)
{
    Element* e = current(index, connection);
    qint64 sent = 0;
    Transfer done = Transfer::Moved;
    while (e->sending()) {
        qint64 moved = 0;
        done = sendSome(e->descriptor, e->output.constData() + e->outputAt, e->output.size() - e->outputAt, moved);
        if (done != Transfer::Moved)
            break;
        e->outputAt += moved;
        sent += moved;
    }
    if (!e->sending()) {
        e->output = QByteArray(); // a connection holds no buffer it does not need
        e->outputAt = 0;
    }
    if (sent > 0) {
        e->written += sent;
        queueReport(index, *e);
    }
    if (done == Transfer::PeerGone || done == Transfer::Failed) {
        // Whatever waits can never go; the peer's close (or the failure) ends the connection.
        e->output = QByteArray();
        e->outputAt = 0;
        if (e->reading) {
            peerGone(index, *e, done == Transfer::Failed);
            return;
        }
    }
    watch(index, *e);
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
void TcpSocketSet::reportSends(int index, quint32 connection)
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
