#include "timerset.h"

#include "recordgrowth.h"

#include <QTimerEvent>

namespace platform {

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

void TimerSet::timerEvent(QTimerEvent* event)
{
    const auto found = m_running.constFind(event->timerId());
    if (found == m_running.constEnd())
        return QObject::timerEvent(event);
    emit fired(found.value());
}

void TimerSet::Element::setInterval(int milliseconds)
{
    Slot& timer = slot();
    if (milliseconds == timer.interval)
        return;
    timer.interval = milliseconds;
    if (timer.enabled)
        apply(); // a new interval counts from now
}

void TimerSet::Element::setEnabled(bool enabled)
{
    Slot& timer = slot();
    if (enabled == timer.enabled)
        return;
    timer.enabled = enabled;
    apply();
}

void TimerSet::Element::restart()
{
    setEnabled(false);
    setEnabled(true);
}

void TimerSet::Element::apply()
{
    Slot& timer = slot();
    if (timer.timerId != 0) {
        m_set->killTimer(timer.timerId);
        m_set->m_running.remove(timer.timerId);
        timer.timerId = 0;
        // A burst's timers all ran at once; their table need not stay that large.
        if (m_set->m_running.isEmpty() && m_set->m_running.capacity() > 64)
            m_set->m_running.squeeze();
    }
    // Precise: Qt's coarse timers may fire up to 5 % early.
    if (timer.enabled && timer.interval > 0
        && (timer.timerId = m_set->startTimer(timer.interval, Qt::PreciseTimer)) != 0)
        m_set->m_running.insert(timer.timerId, m_index);
}

} // namespace platform
