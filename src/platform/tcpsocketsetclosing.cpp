#include "tcpsocketset.h"

#include "connectionrules.h"
#include "heaptrim.h"
#include "lingeringcloser.h"
#include "readinessqueue.h"
#include "socketcalls.h"
#include "tcplistener.h"
#include "tcpsocketsetelement.h"

#include <QTimer>

#include <algorithm>
#include <utility>

// Closing: an element's connection handed to the lingering closer, silent connections for shedding,
// and the room a burst took given back.

namespace platform {

int TcpSocketSet::recordCount() const
{
    return static_cast<int>(std::count_if(m_elements.begin(), m_elements.end(),
                                          [](const std::unique_ptr<Element>& e) { return e != nullptr; }));
}

int TcpSocketSet::lingeringCount() const
{
    return m_closer->count();
}

int TcpSocketSet::lingeringInSockets() const
{
    return m_closer->sendingCount();
}

void TcpSocketSet::close(int index)
{
    if (index < 0 || index > ubound())
        return;
    const auto listening = m_listening.find(index);
    if (listening != m_listening.end() && listening->second.server) {
        TcpListener* server = std::exchange(listening->second.server, nullptr);
        server->close();
        server->deleteLater(); // may be closed from inside its own notification
    }
    // The record goes first: whatever letting go of the connection leads to finds the element free.
    std::unique_ptr<Element> e = std::move(m_elements[static_cast<size_t>(index)]);
    if (e && e->held())
        letGo(index, *e);
}

// Hands the connection to the lingering closer with whatever the system has not taken yet, or, when
// nothing was sent either way and nothing waits (or the peer is gone and nothing is owed), closes it
// at once and gives its descriptor back.
void TcpSocketSet::letGo(int index, Element& e)
{
    --m_connections;
    if (e.interest != 0)
        m_queue->remove(e.descriptor);
    const bool untouched = !e.heard && !e.spoken;
    const bool finished = !e.reading || (untouched && e.input.isEmpty() && !bytesWaitingInSystem(e.descriptor));
    QByteArray rest = e.sending() ? e.output.sliced(e.outputAt) : QByteArray();
    const int drainMs = std::min(connection::kLingerMs, m_lingerMs);
    if ((finished && rest.isEmpty()) || !m_closer->take(e.descriptor, drainMs, std::move(rest), m_lingerMs))
        closeDescriptor(e.descriptor);
    e.descriptor = -1;
    m_burstLeft = m_burstLeft || index > kQuietConnections;
    if (m_burstLeft && m_connections <= kQuietConnections && !m_drained->isActive())
        m_drained->start();
}

// A burst of connections left its room in the lists that grew with it and freed heap among the pages
// still in use; once it has drained, both go back (the elements stay, each a null pointer).
void TcpSocketSet::giveBackBurst()
{
    if (m_connections > kQuietConnections)
        return; // the next connection let go at or below the figure tries again
    m_burstLeft = false;
    if (m_due.empty())
        std::vector<DueEvent>().swap(m_due);
    m_pending.squeeze();
    giveBackFreedHeap();
    // The burst's connections still lingering leave theirs when they finish: looked at once more.
    if (m_closer->count() > kQuietConnections) {
        m_burstLeft = true;
        m_drained->start();
    }
}

void TcpSocketSet::closePending(int descriptor)
{
    // Nothing arrived: closed at once with our end-of-stream. Otherwise it is finished like any other.
    if (bytesWaitingInSystem(descriptor) && m_closer->take(descriptor, std::min(connection::kLingerMs, m_lingerMs)))
        return;
    closeDescriptor(descriptor);
}

std::vector<TcpSocketSet::SilentConnection> TcpSocketSet::silentConnections() const
{
    std::vector<SilentConnection> silent;
    for (int i = 1; i <= ubound(); ++i) {
        const Element* e = element(i);
        if (e && e->held() && e->state == SocketState::Connected && !e->heard && !e->spoken)
            silent.push_back({i, e->connection, e->acceptedAt});
    }
    std::sort(silent.begin(), silent.end(),
              [](const SilentConnection& a, const SilentConnection& b) { return a.acceptedAt < b.acceptedAt; });
    return silent;
}

bool TcpSocketSet::isSilent(const SilentConnection& silent) const
{
    const Element* e = current(silent.index, static_cast<quint32>(silent.connection));
    return e && e->state == SocketState::Connected && e->reading && !e->heard && !e->spoken && e->input.isEmpty()
        && !e->sending() && !bytesWaitingInSystem(e->descriptor);
}

} // namespace platform
