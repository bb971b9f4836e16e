#pragma once
// An indexed set of timers that grows like the socket set: element 0 exists from the start and
// elements are added at the next index, never removed. Each element has a Timer's Interval and
// Enabled, and keeps its precise, drift-free period; the set raises fired(index).
//
// A web server keeps one element per channel, tens of thousands after a burst of connections, and
// thousands may run at once. So an element is a plain 8-byte record, and every running element is
// an entry in one queue ordered by due time, served by a single precise system timer armed for the
// earliest: a burst leaves no system timers behind and no table sized for it.

#include "timer.h"

#include <QBasicTimer>
#include <QObject>
#include <vector>

namespace platform {

class TimerSet : public QObject
{
    Q_OBJECT

private:
    // What the set keeps of each element. `ticket` names the element's one live queue entry; an
    // entry whose ticket differs (the element was disabled or set anew since) is dropped unseen.
    struct Slot
    {
        qint32 interval = 0;
        quint32 ticket : 31 = 0;
        quint32 enabled : 1 = 0;
    };

    struct Entry
    {
        qint64 due = 0; // steady clock, nanoseconds
        qint32 index = 0;
        quint32 ticket = 0;
    };

public:
    // One element, as a handle on the set: valid while the set lives, whatever is added after it.
    class Element
    {
    public:
        int interval() const { return slot().interval; }
        void setInterval(int milliseconds);
        bool isEnabled() const { return slot().enabled; }
        void setEnabled(bool enabled);
        // Disable, then enable: the next expiry is one full interval from now.
        void restart();

    private:
        friend class TimerSet;
        Element(TimerSet* set, int index) : m_set(set), m_index(index) {}
        Slot& slot() const { return m_set->m_timers.at(static_cast<size_t>(m_index)); }

        TimerSet* m_set = nullptr;
        int m_index = 0;
    };

    explicit TimerSet(QObject* parent = nullptr);

    // Highest index in use (0 when only element 0 exists).
    int ubound() const { return static_cast<int>(m_timers.size()) - 1; }
    // Adds the element at index ubound() + 1, disabled, with interval 0, and returns it.
    Element add();
    Element operator[](int index) { return {this, index}; }

    // Entries the queue holds, live or waiting to be dropped, and the room it keeps for them.
    size_t queued() const { return m_queue.size(); }
    size_t queueCapacity() const { return m_queue.capacity(); }

signals:
    void fired(int index);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    static qint64 nowNs();
    bool isLive(const Entry& entry) const;
    // Starts the element's countdown afresh from `due`, or stops it when it may not run.
    void schedule(int index, qint64 due);
    void push(int index, qint64 due);
    void popTop();
    void armClock();

    std::vector<Slot> m_timers;
    std::vector<Entry> m_queue; // a binary heap, earliest due (then earliest ticket) on top
    quint32 m_nextTicket = 1;
    QBasicTimer m_clock;
    qint64 m_clockDue = 0; // the due time m_clock is armed for
};

} // namespace platform
