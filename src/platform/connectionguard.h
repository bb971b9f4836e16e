#pragma once
// Watches one connection of an HttpListener on behalf of an HTTP server module that sets no limits of
// its own. It sees every arrival before the module does (its slots are connected first) and:
// - closes the connection when a whole request (its head, and the body the head announces) has not
//   arrived within the request time of the connection's start or of the end of the previous answer,
//   however slowly the bytes trickle in;
// - answers 400 to a Content-Length that is no small non-negative number, 431 (still in the request
//   head) or 413 (past it) when a client sends more than the byte limit without having been answered;
// - closes the connection when nothing has moved either way for the idle time;
// - holds back reading while an answer is still going out, so that a client that ended its side after
//   asking (a half-close) still gets all of it: the socket would otherwise drop what it had not yet
//   sent the moment it reads that end;
// - closes it in a way that lets the answer reach the peer: our end-of-stream after the last byte,
//   whatever the peer still sends read and dropped; a peer that stops taking the answer is cut off
//   after the idle time, and one that does not close its end after a short while. Once the answer is
//   handed to the system the connection goes to the listener's LingeringCloser, as the website port's
//   do, and the socket is free at once.
// It is the socket's child, so it ends with the socket whoever deletes that.

#include "connectionrules.h"
#include "requesthead.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QTcpSocket;

namespace platform {

class LingeringCloser;

class ConnectionGuard : public QObject
{
    Q_OBJECT

public:
    struct Limits
    {
        qint64 maxRequestBytes = 0; // what a client may send before it is answered
        int idleMs = 0;             // how long nothing may move
        int requestMs = 0;          // how long a whole request may take to arrive
    };

    // `closer` finishes the connection once its answer is out (without one, or where it cannot, the
    // socket lingers by itself).
    ConnectionGuard(QTcpSocket* socket, const Limits& limits, LingeringCloser* closer = nullptr);

    qint64 acceptedAt() const { return m_acceptedAt; }
    bool isClosing() const { return m_closing; }
    // Connected, and not being closed.
    bool isOpen() const;
    // Bytes written that the peer has not yet taken.
    qint64 unsentBytes() const;

    // The name its listener gives the connection.
    quint64 id() const { return m_id; }
    void setId(quint64 id) { m_id = id; }

    // Nothing has come or gone on it, not even bytes the system holds unread: closing it gives its
    // descriptor back at once and loses nobody anything.
    bool isSilent() const;

    // Open, and waiting for (the rest of) a request head: nothing is being answered on it. Since when
    // (acceptClock()).
    bool isAwaitingRequest() const;
    qint64 awaitingSince() const { return m_awaitingSince; }

    // The request last seen asked in HTTP/1.0, and whether it asked to keep the connection.
    bool isHttp10() const { return m_request.http10; }
    bool keepAliveAsked() const { return m_request.keepAlive; }

    // The answer is an open-ended stream: no request time from now on.
    void becomeStream() { m_stream = true; m_requestTimer.stop(); }
    bool isStream() const { return m_stream; }

    // Writes (part of) an answer.
    void send(const QByteArray& bytes);

    // Sends `answer` (may be empty), then ends the connection as described above. Later calls do nothing.
    void finish(const QByteArray& answer = {});

    // How long a finished connection's peer gets to take the answer and close its end.
    static constexpr int kLingerMs = connection::kLingerMs;

    // A complete answer with no body that ends the connection ("HTTP/1.1 431 ..."; "HTTP/1.0 ..."
    // for a request in HTTP/1.0).
    static QByteArray closingAnswer(int status, const char* reason, bool http10 = false);

private:
    void arrived();
    void written();
    void headEnded(qsizetype bodyBytes);
    void requestArrived();
    void awaitNextRequest();
    void lingerOrDrain();
    void shutDownSending();
    void holdReading(bool hold);

    QTcpSocket* m_socket;
    QPointer<LingeringCloser> m_closer;
    qint64 m_acceptedAt;
    quint64 m_id = 0;
    qint64 m_awaitingSince;
    Limits m_limits;
    QTimer m_idle;
    QTimer m_requestTimer;
    qint64 m_unanswered = 0;  // bytes received since we last answered
    RequestHeadReader m_head; // the head of the request now arriving
    RequestHead m_request;    // the last head that ended
    bool m_headEnded = false; // the unanswered bytes hold a whole request head
    qint64 m_bodyDue = 0;     // bytes of the announced body not yet arrived
    bool m_heard = false;
    bool m_spoken = false;
    bool m_stream = false;
    bool m_closing = false;
    bool m_sentEnd = false;
    bool m_readingHeld = false;
};

} // namespace platform
