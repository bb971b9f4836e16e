#pragma once
// When each byte may go out on a 4800-baud line: 8N1 takes ten bit times per byte, so 480 bytes a
// second. Times are computed from the start of a burst, never added up byte by byte, so late wake-ups
// do not accumulate into drift.

#include <chrono>
#include <cstdint>

namespace dfsim {

using Clock = std::chrono::steady_clock;

class ByteClock
{
public:
    explicit ByteClock(int bytesPerSecond = 480) : m_rate(bytesPerSecond) {}

    // Bytes that follow start at `at`, or as soon as the previous byte has left, whichever is later.
    void startBurstAt(Clock::time_point at);

    // When the next byte may be written; after the last byte, when the line is free again.
    Clock::time_point nextByteTime() const;

    void byteSent() { ++m_sent; }

private:
    int m_rate;
    bool m_started = false;
    Clock::time_point m_origin{};
    std::int64_t m_sent = 0; // bytes since m_origin
};

} // namespace dfsim
