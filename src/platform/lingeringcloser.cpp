#include "lingeringcloser.h"

#include "socketcalls.h"
#include "timer.h"

#include <QTcpSocket>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

// How often the queue is looked at while connections linger and none is taken over.
constexpr int kSweepMs = 50;
// Entries kept room for once none lingers; a burst's thousands are given back.
constexpr size_t kKeptEntries = 1024;

#ifdef Q_OS_LINUX
// Reads and drops what the peer sent. True once the connection is over: the peer's end-of-stream or
// an error. A bounded amount per call, so one peer that keeps sending cannot hold the event thread.
bool drained(int descriptor)
{
    char scrap[4096];
    for (int turn = 0; turn < 16; ++turn) {
        const ssize_t got = ::recv(descriptor, scrap, sizeof scrap, MSG_DONTWAIT);
        if (got > 0)
            continue;
        if (got == 0)
            return true;
        if (errno == EINTR)
            continue;
        return errno != EAGAIN && errno != EWOULDBLOCK;
    }
    return false;
}
#endif

} // namespace

LingeringCloser::LingeringCloser(QObject* parent)
    : QObject(parent)
{
    connect(&m_sweep, &QTimer::timeout, this, &LingeringCloser::sweep);
}

LingeringCloser::~LingeringCloser()
{
#ifdef Q_OS_LINUX
    for (const Entry& entry : m_entries)
        ::close(entry.descriptor);
    if (m_queue >= 0)
        ::close(m_queue);
#endif
}

bool LingeringCloser::available()
{
#ifdef Q_OS_LINUX
    return true;
#else
    return false;
#endif
}

bool LingeringCloser::ensureQueue()
{
#ifdef Q_OS_LINUX
    if (m_queue >= 0)
        return true;
    m_queue = ::epoll_create1(EPOLL_CLOEXEC);
    return m_queue >= 0;
#else
    return false;
#endif
}

bool LingeringCloser::take(int descriptor, int milliseconds)
{
#ifdef Q_OS_LINUX
    if (descriptor < 0 || !ensureQueue())
        return false;
    collect();
    ::shutdown(descriptor, SHUT_WR);
    // Most peers have not closed yet; one that has is done with at once.
    if (drained(descriptor)) {
        ::close(descriptor);
        return true;
    }
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP;
    event.data.fd = descriptor;
    if (::epoll_ctl(m_queue, EPOLL_CTL_ADD, descriptor, &event) != 0)
        return false;
    const auto at = static_cast<size_t>(descriptor);
    if (m_slot.size() <= at)
        m_slot.resize(std::max(at + 1, 2 * m_slot.size()), -1);
    m_slot[at] = static_cast<int>(m_entries.size());
    m_entries.push_back({descriptor, steadyMs() + milliseconds});
    if (!m_sweep.isActive())
        m_sweep.start(kSweepMs);
    return true;
#else
    Q_UNUSED(descriptor);
    Q_UNUSED(milliseconds);
    return false;
#endif
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
        ::close(kept);
    return true;
#else
    Q_UNUSED(socket);
    Q_UNUSED(untouched);
    Q_UNUSED(milliseconds);
    return false;
#endif
}

// Finishes the connections whose peer has closed (or that failed).
void LingeringCloser::collect()
{
#ifdef Q_OS_LINUX
    if (m_entries.empty())
        return;
    epoll_event events[64];
    int ready = 0;
    do {
        ready = ::epoll_wait(m_queue, events, 64, 0);
        for (int i = 0; i < ready; ++i) {
            const int descriptor = events[i].data.fd;
            if (drained(descriptor))
                finish(descriptor);
        }
    } while (ready == 64);
#endif
}

// Closes the descriptor and forgets it (closing also takes it out of the readiness queue).
void LingeringCloser::finish(int descriptor)
{
#ifdef Q_OS_LINUX
    const auto at = static_cast<size_t>(descriptor);
    if (at >= m_slot.size() || m_slot[at] < 0)
        return;
    const auto index = static_cast<size_t>(m_slot[at]);
    m_slot[at] = -1;
    if (index + 1 != m_entries.size()) {
        m_entries[index] = m_entries.back();
        m_slot[static_cast<size_t>(m_entries[index].descriptor)] = static_cast<int>(index);
    }
    m_entries.pop_back();
    ::close(descriptor);
#else
    Q_UNUSED(descriptor);
#endif
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
