#pragma once
// Load from a test itself, as a crowd of map viewers: a fixed number of raw loopback clients, each
// asking for the map (HTTP/1.0), reading the answer to its end and asking again on a new connection,
// from a thread of their own. Bounded: it stops after a number of answers, after a number of seconds,
// or when stopped.

#include <QtGlobal>

#include <atomic>
#include <thread>

namespace testsupport {

class LoopbackLoad
{
public:
    LoopbackLoad(quint16 port, int clients, qint64 maxAnswers, int maxSeconds);
    ~LoopbackLoad(); // stops
    LoopbackLoad(const LoopbackLoad&) = delete;
    LoopbackLoad& operator=(const LoopbackLoad&) = delete;

    void stop();
    // Whether it has stopped asking (stopped, or a bound reached).
    bool finished() const { return m_finished; }
    // Whole answers read (the server's end-of-stream after some bytes), and connections refused.
    qint64 answered() const { return m_answered; }
    qint64 refused() const { return m_refused; }

private:
    void run(quint16 port, int clients, qint64 maxAnswers, int maxSeconds);

    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    std::atomic<qint64> m_answered{0};
    std::atomic<qint64> m_refused{0};
    std::thread m_thread;
};

} // namespace testsupport
