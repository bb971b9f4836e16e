#include "timerset.h"

namespace platform {

TimerSet::TimerSet(QObject* parent)
    : QObject(parent)
{
    add();
}

Timer& TimerSet::add()
{
    const int index = static_cast<int>(m_timers.size());
    auto timer = std::make_unique<Timer>();
    connect(timer.get(), &Timer::fired, this, [this, index] { emit fired(index); });
    m_timers.push_back(std::move(timer));
    return *m_timers.back();
}

} // namespace platform
