#pragma once
// A look at a connected socket's descriptor below what Qt has read from it.

class QTcpSocket;

namespace platform {

// Whether the peer's bytes wait in the system, not yet read by the socket. Closing a socket with
// unread bytes makes the system reset the connection, and the peer may lose the answer it was sent.
// Returns at once: the socket does not block (0 from the system is the peer's end-of-stream).
bool bytesWaitingInSystem(const QTcpSocket* socket);

} // namespace platform
