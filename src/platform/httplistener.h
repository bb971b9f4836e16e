#pragma once
// The listening socket of a web application built on an HTTP server module that sets no limits of its
// own (Qt's QAbstractHttpServer binds to it, and takes its connections through
// pendingConnectionAvailable(), which this listener raises along with newConnection()). Every
// connection it hands out is already watched by a ConnectionGuard, so before the module reads a byte:
// - at most kMaxConnections (by default) are open at once, event streams aside: one more closes the
//   connection that has waited longest for a whole request head (never answered, or idle after its
//   answer), or, when every one has asked and is being answered, is answered 503 and closed;
// - event streams (startStream()) have a limit of their own, so that viewers following the station
//   never keep a page or a status request out;
// - a whole request must arrive within the request time, and a client may send at most
//   kMaxRequestBytes before it is answered (431, or 413 past the head);
// - a connection on which nothing moves for the idle time is closed;
// - a finished connection lingers, once its answer is out, in the same LingeringCloser the website
//   port's connections go to;
// - connections that have sent nothing are offered to the process's ConnectionShedder, so that running
//   out of descriptors on any port of the program can make room here too, and this port's can make
//   room elsewhere (TcpListener).

#include "connectionrules.h"
#include "filelimit.h"
#include "tcplistener.h"

#include <QHash>
#include <QPointer>
#include <vector>

namespace platform {

class ConnectionGuard;
class ConnectionShedder;
class LingeringCloser;

// A connection as the web application on an HttpListener names it: its sockets stay here. Never
// reused within a run; 0 names none.
using ConnectionId = quint64;

class HttpListener : public TcpListener
{
    Q_OBJECT

public:
    static constexpr int kMaxConnections = 256;
    static constexpr qint64 kMaxRequestBytes = 8 * 1024;
    // Nothing moving either way for a minute ends a connection, as on the website port.
    static constexpr int kIdleTimeoutMs = connection::kIdleTimeoutMs;
    // From a connection's start, or the end of its previous answer, to the end of a whole request.
    static constexpr int kRequestTimeoutMs = 10000;
    static constexpr int kMaxStreams = 4096;

    // Event streams the open-file limit leaves room for: kMaxStreams, or fewer when the limit, less the
    // descriptors every listener keeps free and the ordinary connections, is lower.
    static int streamLimit(OpenFileLimit limit);

    explicit HttpListener(QObject* parent = nullptr);
    ~HttpListener() override;

    // Every interface (IPv4 and IPv6) on `port`, which must lie in 1 to 65535.
    bool listenOnPort(int port);

    // Limits for the connections accepted from now on (tests lower them).
    void setMaxConnections(int count) { m_maxConnections = count; }
    void setIdleTimeout(int milliseconds) { m_idleMs = milliseconds; }
    void setRequestTimeout(int milliseconds) { m_requestMs = milliseconds; }
    void setMaxStreams(int count) { m_maxStreams = count; }
    int maxStreams() const { return m_maxStreams; }

    // Connections handed out and not yet closed, event streams aside.
    int connectionCount() const;
    int streamCount() const;
    // Connections finished and handed to the closer whose peer has not yet closed its end.
    int lingeringCount() const;

    // The connection the server module hands a request on (0 for a socket this listener did not hand out).
    ConnectionId connectionOf(QTcpSocket* socket) const;

    // What the web application does with a connection, by its number. One that has ended (or is being
    // closed) takes nothing more: writing to it and closing it again do nothing.

    // Open, and not being closed.
    bool isOpen(ConnectionId connection) const;
    // The request last seen on it asked in HTTP/1.0, and whether it asked to keep the connection.
    bool isHttp10(ConnectionId connection) const;
    bool keepAliveAsked(ConnectionId connection) const;
    // Writes (part of) an answer: its head, its body, an event of a stream.
    void write(ConnectionId connection, const QByteArray& bytes);
    // Bytes written that the peer has not yet taken.
    qint64 unsentBytes(ConnectionId connection) const;
    // The connection's answer becomes an event stream, if the stream limit leaves room for one more.
    bool startStream(ConnectionId connection);
    // Sends `last` (may be empty), then ends the connection once the peer has what it was sent (a
    // stream ends the same way).
    void close(ConnectionId connection, const QByteArray& last = {});

    QTcpSocket* nextPendingConnection() override;

private:
    // The watch kept over a connection this listener handed out; null for any other socket.
    static ConnectionGuard* guardOf(QTcpSocket* socket);
    ConnectionGuard* guard(ConnectionId connection) const;
    void prune() const;
    bool makeRoomForOne();
    bool closeLongestAwaiting();

    mutable std::vector<QPointer<ConnectionGuard>> m_guards; // oldest first
    QHash<ConnectionId, ConnectionGuard*> m_byId;             // each removed as its guard ends
    LingeringCloser* m_closer = nullptr; // the orderly close of every connection, as on the website port
    ConnectionId m_lastId = 0;
    int m_maxConnections = kMaxConnections;
    int m_idleMs = kIdleTimeoutMs;
    int m_requestMs = kRequestTimeoutMs;
    int m_maxStreams = kMaxStreams;
    QPointer<ConnectionShedder> m_shedder;
    int m_shedSource = 0;
};

} // namespace platform
