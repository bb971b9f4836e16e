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

public:
    class Element
    {
    public:
        int interval() const { return m_interval; }
        void setInterval(int milliseconds);
        bool isEnabled() const { return m_enabled; }
        void setEnabled(bool enabled);
        // Disable, then enable: the next expiry is one full interval from now.
        void restart();

    private:
        friend class TimerSet;
        Element(TimerSet* set, int index) : m_set(set), m_index(index) {}
        void apply();

        TimerSet* m_set = nullptr;
        int m_index = 0;
        int m_interval = 0;
        int m_timerId = 0; // the running system timer, 0 when none
        bool m_enabled = false;
    };

    explicit TimerSet(QObject* parent = nullptr);

    // Highest index in use (0 when only element 0 exists).
    int ubound() const { return static_cast<int>(m_timers.size()) - 1; }
    // Adds the element at index ubound() + 1, disabled, with interval 0, and returns it (a reference
    // to an element holds until the next add()).
    Element& add();
    Element& operator[](int index) { return m_timers.at(static_cast<size_t>(index)); }
    const Element& operator[](int index) const { return m_timers.at(static_cast<size_t>(index)); }

signals:
    void fired(int index);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    std::vector<Element> m_timers;
    QHash<int, int> m_running; // system timer → element index
};

} // namespace platform
