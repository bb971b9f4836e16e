#pragma once
// One element of a TcpSocketSet: everything of the connection it holds, in one small record. A burst
// of connections leaves tens of thousands of them behind (the elements are never removed), so the
// record holds no object of its own: the socket is the one pointer, and a free element's socket (kept
// for its next connection) sits in the same place.

#include "tcpsocketset.h"

#include <QTcpSocket>

#include <algorithm>
#include <limits>
#include <vector>

namespace platform {

struct TcpSocketSet::Element
{
    // The connection's socket while `connected`; otherwise the element's own, kept for its next
    // connection, or none.
    QTcpSocket* socket = nullptr;
    std::vector<qint64> sends; // bytes of each send not yet reported, oldest first
    qint64 written = 0;        // bytes the socket handed to the system, not yet reported
    qint64 acceptedAt = 0;     // acceptClock() when the element took the connection over
    quint32 connection = 0;    // changes whenever the element takes or drops a connection
    // Bit-fields: with them the record takes 56 bytes, not 64.
    SocketState::Code state : 8 = SocketState::Closed;
    bool connected : 1 = false;
    bool reportQueued : 1 = false;
    bool heard : 1 = false;  // a byte has arrived on the connection
    bool spoken : 1 = false; // a byte has been handed over for the peer

    // The socket of the connection held, or none.
    QTcpSocket* held() const { return connected ? socket : nullptr; }
};

inline qint32 clamp32(qint64 value)
{
    return static_cast<qint32>(std::min<qint64>(value, std::numeric_limits<qint32>::max()));
}

} // namespace platform
