#pragma once
// The record of an element of a TcpSocketSet that holds a connection (or listens): everything of the
// connection, made when the element takes it and dropped when it lets go. A free element has none.

#include "tcpsocketset.h"

#include <QByteArray>

#include <algorithm>
#include <limits>
#include <vector>

namespace platform {

struct TcpSocketSet::Element
{
    int descriptor = -1;    // the connection's; -1 on the listening element
    quint32 connection = 0; // the set's number for this connection, never reused
    SocketState::Code state = SocketState::Closed;
    QByteArray input;          // arrived, not yet taken by getData()
    QByteArray output;         // not yet taken by the system, from `outputAt` on
    qsizetype outputAt = 0;
    std::vector<qint64> sends; // bytes of each send not yet reported, oldest first
    qint64 written = 0;        // bytes handed to the system, not yet reported
    qint64 acceptedAt = 0;     // acceptClock() when the element took the connection over
    quint32 interest = 0;      // what the readiness queue watches the descriptor for
    bool reading = true;       // until the peer's end-of-stream, reset or an error
    bool reportQueued = false;
    bool heard = false;  // a byte has arrived on the connection
    bool spoken = false; // a byte has been handed over for the peer

    bool held() const { return descriptor >= 0; }
    bool sending() const { return outputAt < output.size(); }
};

inline qint32 clamp32(qint64 value)
{
    return static_cast<qint32>(std::min<qint64>(value, std::numeric_limits<qint32>::max()));
}

} // namespace platform
