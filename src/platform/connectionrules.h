#pragma once
// The rules every connection of the program's servers follows, the website port's and the live map's
// alike: how long a finished connection lingers, how long one may stay idle, how many wait to be
// accepted, which ports may be listened on, the one clock their deadlines are read from, and when a
// connection counts as silent.

#include <QtGlobal>

class QTcpSocket;

namespace platform::connection {

// After our side has sent everything and its end-of-stream, the peer gets this long to close its own.
constexpr int kLingerMs = 2000;
// A connection that has not been answered (or has not moved) within this time is closed, so that
// clients that connect and never ask, or never close, cannot hold a server's resources for ever.
constexpr int kIdleTimeoutMs = 60000;
// Connections may arrive in bursts (a map viewer refreshing many layers at once, a crowd of viewers):
// they wait their turn in the system's queue (which the system caps at net.core.somaxconn) instead of
// being dropped and asking again a second or more later.
constexpr int kListenBacklog = 4096;

constexpr int kLowestPort = 1;
constexpr int kHighestPort = 65535;
// Qt takes a 16-bit port and would quietly listen on another one; port 0 would be one the operator
// cannot know.
constexpr bool isPort(qint64 port) { return port >= kLowestPort && port <= kHighestPort; }

// Milliseconds and nanoseconds on the monotonic clock, for deadlines and ages that a change of the
// wall clock must not move.
qint64 steadyNs();
inline qint64 steadyMs() { return steadyNs() / 1000000; }

// Nothing has come or gone on the connection: neither side has handed over a byte (`heard`, `spoken`
// as its server saw them), and none waits in the socket or, unread, in the system. Closing it gives its
// descriptor back at once and loses nobody anything.
bool isSilent(const QTcpSocket& socket, bool heard, bool spoken);

} // namespace platform::connection
