#pragma once
// The system's own socket calls on a connected QTcpSocket's descriptor, for what Qt does not offer.

class QTcpSocket;

namespace platform {

// Whether the peer's bytes wait in the system, not yet read by the socket. Closing a socket with
// unread bytes makes the system reset the connection, and the peer may lose the answer it was sent.
// Returns at once: the socket does not block (0 from the system is the peer's end-of-stream).
bool bytesWaitingInSystem(const QTcpSocket* socket);

// Sends our end-of-stream while the peer may still send, so that a close need not reset the
// connection: the socket reports the end once the peer has closed its end too.
void shutdownSending(const QTcpSocket* socket);

} // namespace platform
