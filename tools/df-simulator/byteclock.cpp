#include "byteclock.h"

namespace dfsim {

void ByteClock::startBurstAt(Clock::time_point at)
{
    if (m_started && at <= nextByteTime())
        return; // the line is still busy: keep its own pace
    m_started = true;
    m_origin = at;
    m_sent = 0;
}

Clock::time_point ByteClock::nextByteTime() const
{
    const std::int64_t nanoseconds = m_sent * 1'000'000'000 / m_rate;
    return m_origin + std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(nanoseconds));
}

} // namespace dfsim
