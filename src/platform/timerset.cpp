#include "timerset.h"

#include <QTimerEvent>

namespace platform {

TimerSet::TimerSet(QObject* parent)
    : QObject(parent)
{
    add();
}

TimerSet::Element& TimerSet::add()
{
    m_timers.push_back(Element(this, static_cast<int>(m_timers.size())));
    return m_timers.back();
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
    if (milliseconds == m_interval)
        return;
    m_interval = milliseconds;
    if (m_enabled)
        apply(); // a new interval counts from now
}

void TimerSet::Element::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    apply();
}

void TimerSet::Element::restart()
{
    setEnabled(false);
    setEnabled(true);
}

void TimerSet::Element::apply()
{
    if (m_timerId != 0) {
        m_set->killTimer(m_timerId);
        m_set->m_running.remove(m_timerId);
        m_timerId = 0;
        // A burst's timers all ran at once; their table need not stay that large.
        if (m_set->m_running.isEmpty() && m_set->m_running.capacity() > 64)
            m_set->m_running.squeeze();
    }
    // Precise: Qt's coarse timers may fire up to 5 % early.
    if (m_enabled && m_interval > 0 && (m_timerId = m_set->startTimer(m_interval, Qt::PreciseTimer)) != 0)
        m_set->m_running.insert(m_timerId, m_index);
}

} // namespace platform
