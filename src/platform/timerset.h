#pragma once
// An indexed set of timers that grows like the socket set: element 0 exists from the start and
// elements are added at the next index, never removed. Each element has a Timer's Interval and
// Enabled, and keeps its precise, drift-free period; the set raises fired(index).
//
// The elements are plain records in one array, the set the only object behind them: a web server
// keeps one per channel, tens of thousands after a burst of connections, and a QObject with a QTimer
// of its own each would stay scattered through the memory that burst took.

#include "timer.h"

#include <QHash>
#include <QObject>
#include <vector>

namespace platform {

class TimerSet : public QObject
{
    Q_OBJECT

private:
    // What the set keeps of each element: 12 bytes, tens of thousands of them after a burst.
    struct Slot
    {
        qint32 interval = 0;
        qint32 timerId = 0; // the running system timer, 0 when none
        bool enabled = false;
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
        void apply();

        TimerSet* m_set = nullptr;
        int m_index = 0;
    };

    explicit TimerSet(QObject* parent = nullptr);

    // Highest index in use (0 when only element 0 exists).
    int ubound() const { return static_cast<int>(m_timers.size()) - 1; }
    // Adds the element at index ubound() + 1, disabled, with interval 0, and returns it.
    Element add();
    Element operator[](int index) { return {this, index}; }

signals:
    void fired(int index);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    std::vector<Slot> m_timers;
    QHash<int, int> m_running; // system timer → element index
};

} // namespace platform
