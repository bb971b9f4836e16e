#include "readinessqueue.h"

#include <QPointer>
#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <sys/epoll.h>
#include <unistd.h>
#endif

namespace platform {

#ifdef Q_OS_LINUX
static_assert(ReadinessQueue::kReadable == EPOLLIN && ReadinessQueue::kWritable == EPOLLOUT);
static_assert(ReadinessQueue::kFailed == EPOLLERR && ReadinessQueue::kHungUp == EPOLLHUP);
static_assert(ReadinessQueue::kPeerShut == EPOLLRDHUP);
#endif

ReadinessQueue::ReadinessQueue(QObject* parent)
    : QObject(parent)
{
#ifdef Q_OS_LINUX
    m_queue = ::epoll_create1(EPOLL_CLOEXEC);
    if (m_queue < 0)
        return;
    m_notifier = new QSocketNotifier(m_queue, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { poll(); });
#endif
}

ReadinessQueue::~ReadinessQueue()
{
    delete m_notifier; // before the descriptor it watches is closed
#ifdef Q_OS_LINUX
    if (m_queue >= 0)
        ::close(m_queue);
#endif
}

void ReadinessQueue::setWatching(bool watching)
{
    if (m_notifier && m_notifier->isEnabled() != watching)
        m_notifier->setEnabled(watching);
}

bool ReadinessQueue::add(int descriptor, quint32 events, quint64 token)
{
    return control(kAdd, descriptor, events, token);
}

bool ReadinessQueue::modify(int descriptor, quint32 events, quint64 token)
{
    return control(kModify, descriptor, events, token);
}

bool ReadinessQueue::control(Change change, int descriptor, quint32 events, quint64 token)
{
#ifdef Q_OS_LINUX
    epoll_event event{};
    event.events = events;
    event.data.u64 = token;
    const int operation = change == kAdd ? EPOLL_CTL_ADD : EPOLL_CTL_MOD;
    return m_queue >= 0 && ::epoll_ctl(m_queue, operation, descriptor, &event) == 0;
#else
    Q_UNUSED(change);
    Q_UNUSED(descriptor);
    Q_UNUSED(events);
    Q_UNUSED(token);
    return false;
#endif
}

void ReadinessQueue::remove(int descriptor)
{
#ifdef Q_OS_LINUX
    if (m_queue >= 0)
        ::epoll_ctl(m_queue, EPOLL_CTL_DEL, descriptor, nullptr);
#else
    Q_UNUSED(descriptor);
#endif
}

int ReadinessQueue::poll()
{
#ifdef Q_OS_LINUX
    if (m_queue < 0 || !m_handler)
        return 0;
    // On the stack: a handler that lets events run may come back here before this turn is done.
    epoll_event events[kEventsPerTurn];
    const int ready = ::epoll_wait(m_queue, events, kEventsPerTurn, 0);
    QPointer<ReadinessQueue> alive(this);
    for (int i = 0; i < ready && alive; ++i)
        m_handler(events[i].data.u64, events[i].events);
    return ready < 0 ? 0 : ready;
#else
    return 0;
#endif
}

} // namespace platform
