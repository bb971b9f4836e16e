#pragma once
// Loopback helpers for network tests: a free port, and a blocking client.

#include <QByteArray>
#include <QtGlobal>

class QTcpSocket;

namespace testsupport {

// A TCP port on loopback that nothing listens on right now.
quint16 freePort();

// Connects to 127.0.0.1:port, sends `request`, and returns everything the server sent until it closed
// the connection (or the time ran out). A refused connection returns nothing at once. Runs the event
// loop while it waits.
QByteArray fetch(quint16 port, const QByteArray& request, int timeoutMs = 5000);

// Everything `client` receives until the server closes the connection (or the time runs out).
QByteArray readUntilClosed(QTcpSocket& client, int timeoutMs = 5000);

} // namespace testsupport
