#include "lingeringcloser.h"

#include <QSocketNotifier>

#include <algorithm>
#include <chrono>
#include <limits>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

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
    m_expiry.setSingleShot(true);
    connect(&m_expiry, &QTimer::timeout, this, &LingeringCloser::expire);
}

LingeringCloser::~LingeringCloser()
{
#ifdef Q_OS_LINUX
    for (const Entry& entry : m_entries)
        ::close(entry.descriptor);
    delete m_notifier;
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
    if (m_queue < 0)
        return false;
    m_notifier = new QSocketNotifier(m_queue, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &LingeringCloser::readable);
    return true;
#else
    return false;
#endif
}

bool LingeringCloser::take(int descriptor, int milliseconds)
{
#ifdef Q_OS_LINUX
    if (descriptor < 0 || !ensureQueue())
        return false;
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
    const qint64 deadline = nowMs() + milliseconds;
    m_entries.push_back({descriptor, deadline});
    scheduleExpiry(deadline);
    return true;
#else
    Q_UNUSED(descriptor);
    Q_UNUSED(milliseconds);
    return false;
#endif
}

void LingeringCloser::readable()
{
#ifdef Q_OS_LINUX
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
    if (m_entries.empty())
        m_expiry.stop();
#else
    Q_UNUSED(descriptor);
#endif
}

// One timer for every deadline: it runs for the earliest.
void LingeringCloser::scheduleExpiry(qint64 deadline)
{
    if (m_expiry.isActive() && m_expiryAt <= deadline)
        return;
    m_expiryAt = deadline;
    m_expiry.start(static_cast<int>(std::max<qint64>(0, deadline - nowMs())));
}

void LingeringCloser::expire()
{
    const qint64 now = nowMs();
    std::vector<int> due;
    qint64 next = std::numeric_limits<qint64>::max();
    for (const Entry& entry : m_entries) {
        if (entry.deadline <= now)
            due.push_back(entry.descriptor);
        else
            next = std::min(next, entry.deadline);
    }
    for (int descriptor : due)
        finish(descriptor);
    if (!m_entries.empty())
        scheduleExpiry(next);
}

} // namespace platform
