#pragma once
// Watches one connection of an HttpListener on behalf of an HTTP server module that sets no limits of
// its own. It sees every arrival before the module does (its slots are connected first) and:
// - answers 431 (still in the request head) or 413 (past it) and closes when a client sends more
//   than the byte limit without having been answered;
// - closes the connection when nothing has moved either way for the idle time;
// - closes it in a way that lets the answer reach the peer: our end-of-stream after the last byte,
//   whatever the peer still sends read and dropped; a peer that stops taking the answer is cut off
//   after the idle time, and one that does not close its end after a short while.
// It is the socket's child, so it ends with the socket whoever deletes that.

#include <QByteArray>
#include <QObject>
#include <QTimer>

class QTcpSocket;

namespace platform {

class ConnectionGuard : public QObject
{
    Q_OBJECT

public:
    // `maxRequestBytes`: what a client may send before it is answered; `idleMs`: how long nothing may move.
    ConnectionGuard(QTcpSocket* socket, qint64 maxRequestBytes, int idleMs);

    qint64 acceptedAt() const { return m_acceptedAt; }
    bool isClosing() const { return m_closing; }

    // Nothing has come or gone on it, not even bytes the system holds unread: closing it gives its
    // descriptor back at once and loses nobody anything.
    bool isSilent() const;

    // Sends `answer` (may be empty), then ends the connection as described above. Later calls do nothing.
    void finish(const QByteArray& answer = {});

    // How long a finished connection's peer gets to take the answer and close its end.
    static constexpr int kLingerMs = 2000;

    // A complete answer with no body that ends the connection ("HTTP/1.1 431 ...").
    static QByteArray closingAnswer(int status, const char* reason);

private:
    void arrived();
    void written();
    void lingerOrDrain();
    void shutDownSending();

    QTcpSocket* m_socket;
    qint64 m_acceptedAt;
    qint64 m_maxRequestBytes;
    int m_idleMs;
    QTimer m_idle;
    qint64 m_unanswered = 0;  // bytes received since we last sent anything
    QByteArray m_headTail;    // the last bytes seen, to find the blank line that ends a request head
    bool m_headEnded = false; // the unanswered bytes hold a whole request head
    bool m_heard = false;
    bool m_spoken = false;
    bool m_closing = false;
    bool m_sentEnd = false;
};

} // namespace platform
