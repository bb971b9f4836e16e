#include "lingeringcloser.h"

#include "readinessqueue.h"
#include "socketcalls.h"
#include "timer.h"

#include <QTcpSocket>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#endif

namespace platform {

namespace {

// How often the queue is looked at while connections linger and none is taken over.
constexpr int kSweepMs = 50;
// Entries kept room for once none lingers; a burst's thousands are given back.
constexpr size_t kKeptEntries = 1024;

enum class Drain : quint8 { Open, Ended, Failed };

// Reads and drops what the peer sent: whether the connection is still open, ended by the peer, or
// failed. A bounded amount per call, so one peer that keeps sending cannot hold the event thread.
Drain drain(int descriptor)
{
    char scrap[4096];
    for (int turn = 0; turn < 16; ++turn) {
        qint64 got = 0;
        switch (receiveSome(descriptor, scrap, sizeof scrap, got)) {
        case Transfer::Moved:
            if (got == 0)
                return Drain::Ended;
            break;
        case Transfer::WouldBlock:
            return Drain::Open;
        case Transfer::PeerGone:
        case Transfer::Failed:
            return Drain::Failed;
        }
    }
    return Drain::Open;
}

} // namespace

LingeringCloser::LingeringCloser(QObject* parent)
    : QObject(parent)
    , m_queue(new ReadinessQueue(this))
{
    m_queue->setWatching(false);
    m_queue->setHandler([this](quint64 token, quint32 events) { ready(static_cast<int>(token), events); });
    connect(&m_sweep, &QTimer::timeout, this, &LingeringCloser::sweep);
}

LingeringCloser::~LingeringCloser()
{
    for (const Entry& entry : m_entries)
        closeDescriptor(entry.descriptor);
}

bool LingeringCloser::available()
{
#ifdef Q_OS_LINUX
    return true;
#else
    return false;
#endif
}

bool LingeringCloser::take(int descriptor, int milliseconds, QByteArray rest, int sendingMs)
{
    if (descriptor < 0 || !m_queue->isValid())
        return false;
    collect();
    Entry taken{descriptor, milliseconds, steadyMs() + milliseconds, std::move(rest), 0, false};
    if (taken.rest.isEmpty()) {
        shutdownSending(descriptor);
        // Most peers have not closed yet; one that has is done with at once.
        if (drain(descriptor) != Drain::Open) {
            closeDescriptor(descriptor);
            return true;
        }
    } else {
        taken.deadline = steadyMs() + sendingMs;
    }
    const quint32 events = taken.rest.isEmpty() ? ReadinessQueue::kReadable | ReadinessQueue::kPeerShut
                                                : ReadinessQueue::kReadable | ReadinessQueue::kWritable;
    if (!m_queue->add(descriptor, events, static_cast<quint64>(descriptor)))
        return false;
    const auto at = static_cast<size_t>(descriptor);
    if (m_slot.size() <= at)
        m_slot.resize(std::max(at + 1, 2 * m_slot.size()), -1);
    m_slot[at] = static_cast<int>(m_entries.size());
    if (!taken.rest.isEmpty() && m_sending++ == 0)
        m_queue->setWatching(true);
    m_entries.push_back(std::move(taken));
    if (!m_sweep.isActive())
        m_sweep.start(kSweepMs);
    return true;
}

bool LingeringCloser::takeFrom(QTcpSocket* socket, bool untouched, int milliseconds)
{
#ifdef Q_OS_LINUX
    if (socket->bytesToWrite() > 0)
        return false;
    if (socket->state() != QAbstractSocket::ConnectedState) {
        socket->close();
        return true;
    }
    if (untouched && socket->bytesAvailable() == 0 && !bytesWaitingInSystem(socket)) {
        socket->close(); // our end-of-stream; the descriptor is free again at once
        return true;
    }
    // The socket closes its descriptor; the connection lives on in the copy.
    const int kept = ::fcntl(static_cast<int>(socket->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    if (kept < 0)
        return false;
    socket->close();
    if (!take(kept, milliseconds))
        closeDescriptor(kept);
    return true;
#else
    Q_UNUSED(socket);
    Q_UNUSED(untouched);
    Q_UNUSED(milliseconds);
    return false;
#endif
}

LingeringCloser::Entry* LingeringCloser::entry(int descriptor)
{
    const auto at = static_cast<size_t>(descriptor);
    if (descriptor < 0 || at >= m_slot.size() || m_slot[at] < 0)
        return nullptr;
    return &m_entries[static_cast<size_t>(m_slot[at])];
}

// Finishes the connections whose peer has closed (or that failed), and sends what waits.
void LingeringCloser::collect()
{
    if (m_entries.empty())
        return;
    while (m_queue->poll() == ReadinessQueue::kEventsPerTurn) {
    }
}

void LingeringCloser::ready(int descriptor, quint32 events)
{
    Entry* e = entry(descriptor);
    if (!e)
        return;
    if (!e->rest.isEmpty()) {
        if ((events & (ReadinessQueue::kWritable | ReadinessQueue::kFailed | ReadinessQueue::kHungUp)) && !sendRest(*e))
            return finish(descriptor);
        if ((events & ReadinessQueue::kReadable) && !e->peerDone) {
            const Drain drained = drain(descriptor);
            if (drained == Drain::Failed)
                return finish(descriptor);
            e->peerDone = drained == Drain::Ended;
        }
        if (!e->rest.isEmpty()) {
            watch(*e);
            return;
        }
        // Everything handed over: our end-of-stream, and the peer's close awaited.
        if (--m_sending == 0)
            m_queue->setWatching(false);
        shutdownSending(descriptor);
        e->deadline = std::min(e->deadline, steadyMs() + e->drainMs);
        if (e->peerDone)
            return finish(descriptor);
        watch(*e);
        return;
    }
    if (drain(descriptor) != Drain::Open)
        finish(descriptor);
}

// Hands as much of the rest to the system as it takes; false when the connection failed.
bool LingeringCloser::sendRest(Entry& entry)
{
    while (entry.sent < entry.rest.size()) {
        qint64 moved = 0;
        switch (sendSome(entry.descriptor, entry.rest.constData() + entry.sent, entry.rest.size() - entry.sent, moved)) {
        case Transfer::Moved:
            entry.sent += moved;
            break;
        case Transfer::WouldBlock:
            return true;
        case Transfer::PeerGone:
        case Transfer::Failed:
            return false;
        }
    }
    entry.rest = QByteArray();
    entry.sent = 0;
    return true;
}

// What the queue watches the connection for: level-triggered, so a peer's end already seen is no
// longer asked about.
void LingeringCloser::watch(const Entry& entry)
{
    quint32 events = entry.peerDone ? 0 : ReadinessQueue::kReadable | ReadinessQueue::kPeerShut;
    if (!entry.rest.isEmpty())
        events |= ReadinessQueue::kWritable;
    (void)m_queue->modify(entry.descriptor, events, static_cast<quint64>(entry.descriptor));
}

// Closes the descriptor and forgets it (closing also takes it out of the readiness queue).
void LingeringCloser::finish(int descriptor)
{
    const auto at = static_cast<size_t>(descriptor);
    if (at >= m_slot.size() || m_slot[at] < 0)
        return;
    const auto index = static_cast<size_t>(m_slot[at]);
    m_slot[at] = -1;
    if (!m_entries[index].rest.isEmpty() && --m_sending == 0)
        m_queue->setWatching(false);
    if (index + 1 != m_entries.size()) {
        m_entries[index] = std::move(m_entries.back());
        m_slot[static_cast<size_t>(m_entries[index].descriptor)] = static_cast<int>(index);
    }
    m_entries.pop_back();
    closeDescriptor(descriptor);
}

// While connections linger: those finished are collected, those past their time cut off. The timer
// stops once none is left (not at once: under load another comes a moment later).
void LingeringCloser::sweep()
{
    if (m_entries.empty()) {
        m_sweep.stop();
        // A burst's connections have all finished: their lists need not stay that large.
        if (m_entries.capacity() > kKeptEntries) {
            std::vector<Entry>().swap(m_entries);
            std::vector<int>().swap(m_slot);
        }
        return;
    }
    collect();
    const qint64 now = steadyMs();
    std::vector<int> due;
    for (const Entry& entry : m_entries) {
        if (entry.deadline <= now)
            due.push_back(entry.descriptor);
    }
    for (int descriptor : due)
        finish(descriptor);
}

} // namespace platform
