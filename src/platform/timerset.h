#pragma once
// An indexed set of timers that grows like the socket set: element 0 exists from the start and
// elements are added at the next index, never removed.

#include "timer.h"

#include <QObject>
#include <memory>
#include <vector>

namespace platform {

class TimerSet : public QObject
{
    Q_OBJECT

public:
    explicit TimerSet(QObject* parent = nullptr);

    // Highest index in use (0 when only element 0 exists).
    int ubound() const { return static_cast<int>(m_timers.size()) - 1; }

    // Adds the element at index ubound() + 1, disabled, with interval 0, and returns it.
    Timer& add();

    Timer& operator[](int index) { return *m_timers.at(static_cast<size_t>(index)); }
    const Timer& operator[](int index) const { return *m_timers.at(static_cast<size_t>(index)); }

signals:
    void fired(int index);

private:
    std::vector<std::unique_ptr<Timer>> m_timers;
};

} // namespace platform
