#include "connectionguard.h"

#include "connectionshedder.h"
#include "socketcalls.h"

#include <QTcpSocket>

namespace platform {

namespace {

// A request head ends at its first empty line (CR LF CR LF, or bare LF LF from lax clients).
bool endsHead(const QByteArray& bytes)
{
    return bytes.contains("\r\n\r\n") || bytes.contains("\n\n");
}

} // namespace

ConnectionGuard::ConnectionGuard(QTcpSocket* socket, qint64 maxRequestBytes, int idleMs)
    : QObject(socket)
    , m_socket(socket)
    , m_acceptedAt(acceptClock())
    , m_maxRequestBytes(maxRequestBytes)
    , m_idleMs(idleMs)
{
    // One byte over the limit is enough to tell; the module never holds more of a request than that.
    socket->setReadBufferSize(maxRequestBytes + 1);
    m_idle.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        if (m_closing)
            m_socket->abort(); // the peer did not take its answer and close in time
        else
            finish();
    });
    connect(socket, &QTcpSocket::readyRead, this, &ConnectionGuard::arrived);
    connect(socket, &QTcpSocket::bytesWritten, this, &ConnectionGuard::written);
    m_idle.start(m_idleMs);
}

QByteArray ConnectionGuard::closingAnswer(int status, const char* reason)
{
    return QByteArrayLiteral("HTTP/1.1 ") + QByteArray::number(status) + ' ' + reason
        + QByteArrayLiteral("\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
}

bool ConnectionGuard::isSilent() const
{
    return !m_heard && !m_spoken && !m_closing && m_socket->state() == QAbstractSocket::ConnectedState
        && m_socket->bytesAvailable() == 0 && m_socket->bytesToWrite() == 0 && !bytesWaitingInSystem(m_socket);
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
    m_idle.start(m_idleMs);
    m_unanswered += fresh.size();
    if (!m_headEnded) {
        const QByteArray seen = m_headTail + fresh;
        m_headEnded = endsHead(seen);
        m_headTail = seen.right(3);
    }
    if (m_unanswered > m_maxRequestBytes) {
        // Past its head a client is sending a body, which nothing here accepts.
        finish(m_headEnded ? closingAnswer(413, "Payload Too Large")
                           : closingAnswer(431, "Request Header Fields Too Large"));
    }
}

void ConnectionGuard::written()
{
    m_spoken = true;
    if (m_closing) {
        lingerOrDrain();
        return;
    }
    // Answered: whatever comes next is a new request.
    m_unanswered = 0;
    m_headEnded = false;
    m_headTail.clear();
    m_idle.start(m_idleMs);
}

void ConnectionGuard::finish(const QByteArray& answer)
{
    if (m_closing)
        return;
    const bool silent = isSilent();
    m_closing = true;
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
// out, our end-of-stream, and the peer has a short while to close its end.
void ConnectionGuard::lingerOrDrain()
{
    if (m_socket->bytesToWrite() > 0) {
        m_idle.start(m_idleMs);
        return;
    }
    shutDownSending();
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

} // namespace platform
