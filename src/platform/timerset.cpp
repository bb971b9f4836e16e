#include "timerset.h"

#include "recordgrowth.h"

#include <QTimerEvent>

#include <algorithm>
#include <chrono>

namespace platform {

namespace {

constexpr quint32 kTicketMask = 0x7fffffffU;
constexpr qint64 kNsPerMs = 1000000;
// Room the queue may keep once it has emptied; a burst's worth is given back.
constexpr size_t kKeptQueueRoom = 64;

qint64 intervalNs(qint32 milliseconds)
{
    return static_cast<qint64>(milliseconds) * kNsPerMs;
}

// Tickets count up and wrap; of two entries due at the same moment the one armed first fires first,
// as separate timers armed one after the other would.
bool ticketAfter(quint32 a, quint32 b)
{
    const quint32 distance = (a - b) & kTicketMask;
    return distance != 0 && distance <= kTicketMask / 2;
}

// The heap's order: true when `a` is to fire after `b`.
struct Later
{
    template <typename Entry>
    bool operator()(const Entry& a, const Entry& b) const
    {
        return a.due != b.due ? a.due > b.due : ticketAfter(a.ticket, b.ticket);
    }
};

} // namespace

TimerSet::TimerSet(QObject* parent)
    : QObject(parent)
{
    add();
}

TimerSet::Element TimerSet::add()
{
    reserveRecords(m_timers, m_timers.size() + 1);
    m_timers.emplace_back();
    return {this, ubound()};
}

// The system's steady clock, the one Qt's own timers count on.
qint64 TimerSet::nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool TimerSet::isLive(const Entry& entry) const
{
    const Slot& slot = m_timers[static_cast<size_t>(entry.index)];
    return slot.enabled && slot.ticket == entry.ticket;
}

void TimerSet::push(int index, qint64 due)
{
    const quint32 ticket = m_nextTicket;
    m_nextTicket = (m_nextTicket + 1) & kTicketMask;
    if (m_nextTicket == 0)
        m_nextTicket = 1; // 0 is no entry
    m_timers[static_cast<size_t>(index)].ticket = ticket;
    m_queue.push_back({due, index, ticket});
    std::push_heap(m_queue.begin(), m_queue.end(), Later{});
}

void TimerSet::popTop()
{
    std::pop_heap(m_queue.begin(), m_queue.end(), Later{});
    m_queue.pop_back();
}

void TimerSet::schedule(int index, qint64 due)
{
    Slot& slot = m_timers[static_cast<size_t>(index)];
    slot.ticket = 0;
    if (slot.enabled && slot.interval > 0)
        push(index, due);
    armClock();
}

void TimerSet::armClock()
{
    while (!m_queue.empty() && !isLive(m_queue.front()))
        popTop();
    if (m_queue.empty()) {
        m_clock.stop();
        m_clockDue = 0;
        if (m_queue.capacity() > kKeptQueueRoom)
            std::vector<Entry>().swap(m_queue);
        return;
    }
    const qint64 due = m_queue.front().due;
    // Armed no later than needed: an early wake-up finds nothing due and arms again.
    if (m_clock.isActive() && m_clockDue != 0 && m_clockDue <= due)
        return;
    const qint64 wait = due - nowNs();
    // Whole milliseconds, rounded up: a precise system timer never fires before its time, so
    // neither does an element.
    const int milliseconds = wait <= 0 ? 0 : static_cast<int>((wait + kNsPerMs - 1) / kNsPerMs);
    m_clock.start(milliseconds, Qt::PreciseTimer, this);
    m_clockDue = due;
}

void TimerSet::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_clock.timerId())
        return QObject::timerEvent(event);
    m_clockDue = 0; // whatever the clock is set for now, the end of this pass sets it again
    // Only what is due at the start of the pass fires in it, so a pass always ends.
    const qint64 now = nowNs();
    while (!m_queue.empty() && m_queue.front().due <= now) {
        const Entry entry = m_queue.front();
        popTop();
        if (!isLive(entry))
            continue;
        // While its handler runs the element has no entry: it cannot fire again inside it.
        m_timers[static_cast<size_t>(entry.index)].ticket = 0;
        emit fired(entry.index);
        // The handler may have disabled, restarted or re-timed the element (and added others).
        const Slot& slot = m_timers[static_cast<size_t>(entry.index)];
        if (slot.enabled && slot.ticket == 0 && slot.interval > 0) {
            // One period after the expiry it replaces, so the period does not drift; an expiry missed
            // altogether counts from now.
            qint64 next = entry.due + intervalNs(slot.interval);
            if (next <= now)
                next = now + intervalNs(slot.interval);
            push(entry.index, next);
        }
    }
    armClock();
}

void TimerSet::Element::setInterval(int milliseconds)
{
    Slot& timer = slot();
    if (milliseconds == timer.interval)
        return;
    timer.interval = milliseconds;
    if (timer.enabled)
        m_set->schedule(m_index, nowNs() + intervalNs(milliseconds)); // a new interval counts from now
}

void TimerSet::Element::setEnabled(bool enabled)
{
    Slot& timer = slot();
    if (enabled == static_cast<bool>(timer.enabled))
        return;
    timer.enabled = enabled ? 1 : 0;
    m_set->schedule(m_index, nowNs() + intervalNs(timer.interval));
}

void TimerSet::Element::restart()
{
    setEnabled(false);
    setEnabled(true);
}

} // namespace platform
