#pragma once
// The system's own socket calls on a connection's descriptor (bare, or a connected QTcpSocket's), for
// what Qt does not offer. None of them blocks.

#include <QtGlobal>

class QTcpSocket;

namespace platform {

// Whether the peer's bytes wait in the system, not yet read. Closing a connection with unread bytes
// makes the system reset it, and the peer may lose the answer it was sent. (0 from the system is the
// peer's end-of-stream, not a byte.)
bool bytesWaitingInSystem(int descriptor);
bool bytesWaitingInSystem(const QTcpSocket* socket);

// Sends our end-of-stream while the peer may still send, so that a close need not reset the
// connection: the socket reports the end once the peer has closed its end too.
void shutdownSending(int descriptor);
void shutdownSending(const QTcpSocket* socket);

// What a receive or send did beside moving bytes.
enum class Transfer : quint8 {
    Moved,      // `moved` bytes (0 from a receive: the peer's end-of-stream)
    WouldBlock, // nothing now; the readiness queue tells when
    PeerGone,   // the peer reset the connection or will take nothing more: its close
    Failed,     // any other error
};
Transfer receiveSome(int descriptor, char* into, qint64 size, qint64& moved);
Transfer sendSome(int descriptor, const char* from, qint64 size, qint64& moved);

void closeDescriptor(int descriptor);

} // namespace platform
