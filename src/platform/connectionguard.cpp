#include "connectionguard.h"

#include "connectionshedder.h"
#include "lingeringcloser.h"
#include "socketcalls.h"

#include <QSocketNotifier>
#include <QTcpSocket>

#include <algorithm>

namespace platform {

ConnectionGuard::ConnectionGuard(QTcpSocket* socket, const Limits& limits, LingeringCloser* closer)
    : QObject(socket)
    , m_socket(socket)
    , m_closer(closer)
    , m_acceptedAt(acceptClock())
    , m_awaitingSince(m_acceptedAt)
    , m_limits(limits)
{
    // One byte over the limit is enough to tell; the module never holds more of a request than that.
    socket->setReadBufferSize(limits.maxRequestBytes + 1);
    m_idle.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        if (m_closing)
            m_socket->abort(); // the peer did not take its answer and close in time
        else
            finish();
    });
    m_requestTimer.setSingleShot(true);
    connect(&m_requestTimer, &QTimer::timeout, this, [this] { finish(); });
    connect(socket, &QTcpSocket::readyRead, this, &ConnectionGuard::arrived);
    connect(socket, &QTcpSocket::bytesWritten, this, &ConnectionGuard::written);
    m_idle.start(m_limits.idleMs);
    m_requestTimer.start(m_limits.requestMs);
}

QByteArray ConnectionGuard::closingAnswer(int status, const char* reason, bool http10)
{
    return (http10 ? QByteArrayLiteral("HTTP/1.0 ") : QByteArrayLiteral("HTTP/1.1 ")) + QByteArray::number(status) + ' '
        + reason + QByteArrayLiteral("\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
}

bool ConnectionGuard::isOpen() const
{
    return !m_closing && m_socket->state() == QAbstractSocket::ConnectedState;
}

qint64 ConnectionGuard::unsentBytes() const
{
    return m_socket->bytesToWrite();
}

bool ConnectionGuard::isSilent() const
{
    return !m_closing && connection::isSilent(*m_socket, m_heard, m_spoken);
}

bool ConnectionGuard::isAwaitingRequest() const
{
    return !m_closing && !m_stream && !m_headEnded && m_socket->state() == QAbstractSocket::ConnectedState
        && m_socket->bytesToWrite() == 0;
}

void ConnectionGuard::arrived()
{
    if (m_closing) {
        m_socket->readAll(); // read and dropped: the module sees none of it
        return;
    }
    const QByteArray fresh = m_socket->peek(m_socket->bytesAvailable());
    if (fresh.isEmpty())
        return;
    m_heard = true;
    m_idle.start(m_limits.idleMs);
    m_unanswered += fresh.size();
    if (!m_headEnded) {
        const qsizetype used = m_head.take(fresh);
        if (m_head.ended()) {
            headEnded(fresh.size() - used);
            if (m_closing)
                return;
        }
    } else if (m_bodyDue > 0) {
        m_bodyDue -= fresh.size();
        if (m_bodyDue <= 0 && !m_request.chunked)
            requestArrived();
    }
    if (m_unanswered > m_limits.maxRequestBytes) {
        // Past its head a client is sending a body, which nothing here accepts.
        finish(m_headEnded ? closingAnswer(413, "Payload Too Large", m_request.http10)
                           : closingAnswer(431, "Request Header Fields Too Large"));
    }
}

void ConnectionGuard::headEnded(qsizetype bodyBytes)
{
    m_request = parseRequestHead(m_head.bytes(), m_limits.maxRequestBytes);
    m_head.clear();
    m_headEnded = true;
    if (m_request.badLength) {
        finish(closingAnswer(400, "Bad Request", m_request.http10));
        return;
    }
    m_bodyDue = std::max<qint64>(0, m_request.contentLength) - bodyBytes;
    // A chunked body's end is the module's to find: the request time runs on until it answers.
    if (m_bodyDue <= 0 && !m_request.chunked)
        requestArrived();
}

void ConnectionGuard::requestArrived()
{
    m_requestTimer.stop();
}

// The answer is out: whatever comes next is a new request, with the request time from now.
void ConnectionGuard::awaitNextRequest()
{
    m_unanswered = 0;
    m_headEnded = false;
    m_bodyDue = 0;
    m_head.clear();
    m_awaitingSince = acceptClock();
    m_requestTimer.start(m_limits.requestMs);
}

void ConnectionGuard::send(const QByteArray& bytes)
{
    if (m_closing || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_socket->write(bytes);
    if (m_socket->bytesToWrite() > 0)
        holdReading(true);
}

void ConnectionGuard::written()
{
    m_spoken = true;
    if (m_closing) {
        lingerOrDrain();
        return;
    }
    m_idle.start(m_limits.idleMs);
    if (m_socket->bytesToWrite() > 0)
        return;
    holdReading(false);
    if (!m_stream)
        awaitNextRequest();
}

void ConnectionGuard::finish(const QByteArray& answer)
{
    if (m_closing)
        return;
    const bool silent = isSilent();
    m_closing = true;
    m_requestTimer.stop();
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    if (silent && answer.isEmpty()) {
        m_socket->disconnectFromHost(); // nothing to finish: the descriptor is free at once
        return;
    }
    m_socket->readAll();
    if (!answer.isEmpty())
        m_socket->write(answer);
    lingerOrDrain();
}

// While the answer is still going out the peer has the idle time from its last progress, as any
// connection has (a phone on a weak link must not lose the end of a large file); once all of it is
// out, the closer takes the connection over (the socket reports its end, and its server lets it go).
// Without the closer: our end-of-stream, and the peer has a short while to close its end.
void ConnectionGuard::lingerOrDrain()
{
    if (m_socket->bytesToWrite() > 0) {
        holdReading(true);
        m_idle.start(m_limits.idleMs);
        return;
    }
    if (!m_sentEnd && m_closer && m_closer->takeFrom(m_socket, false, kLingerMs)) {
        m_sentEnd = true;
        m_idle.stop();
        return;
    }
    shutDownSending();
    holdReading(false); // the peer's end now ends the connection, and loses it nothing
    m_idle.start(kLingerMs);
}

// Our end-of-stream while the peer may still send: closing a socket with unread bytes waiting makes
// the system reset the connection, and the peer may then lose the answer it was sent. Once the peer
// has closed its end too, the socket reports the end of the connection.
void ConnectionGuard::shutDownSending()
{
    if (m_sentEnd)
        return;
    m_sentEnd = true;
    shutdownSending(m_socket);
}

// A socket that reads the peer's end-of-stream closes at once, and what it has not yet sent is lost;
// Qt offers no half-closed state. So while an answer is going out, the socket's own read notifier
// (the socket engine's, a child of the socket) stays off: the peer's bytes, and its end, wait in the
// system. Reading the socket switches it on again, which is why every send holds it anew.
void ConnectionGuard::holdReading(bool hold)
{
    if (m_readingHeld == hold && !hold)
        return;
    m_readingHeld = hold;
    const QList<QSocketNotifier*> notifiers = m_socket->findChildren<QSocketNotifier*>();
    for (QSocketNotifier* notifier : notifiers) {
        if (notifier->type() == QSocketNotifier::Read)
            notifier->setEnabled(!hold);
    }
}

} // namespace platform
