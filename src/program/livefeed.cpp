#include "livefeed.h"

#include "platform/connectionguard.h"
#include "platform/httplistener.h"

#include <QTcpSocket>

#include <algorithm>

namespace web {

namespace {

// A browser whose stream broke tries again after this many milliseconds.
const QByteArray kRetry = QByteArrayLiteral("retry: 1000\n\n");
const QByteArray kHeartbeat = QByteArrayLiteral(": still here\n\n");

bool connected(const QPointer<QTcpSocket>& socket)
{
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return false;
    const platform::ConnectionGuard* guard = platform::HttpListener::guardOf(socket);
    return !guard || !guard->isClosing();
}

void write(QTcpSocket* socket, const QByteArray& bytes)
{
    if (platform::ConnectionGuard* guard = platform::HttpListener::guardOf(socket))
        guard->send(bytes);
    else
        socket->write(bytes);
}

} // namespace

LiveFeed::LiveFeed(std::function<QByteArray()> status, QObject* parent)
    : QObject(parent)
    , m_status(std::move(status))
{
    m_check.setInterval(kCheckMs);
    m_heartbeat.setInterval(kHeartbeatMs);
    connect(&m_check, &QTimer::timeout, this, &LiveFeed::check);
    connect(&m_heartbeat, &QTimer::timeout, this, [this] { send(kHeartbeat); });
}

QByteArray LiveFeed::event(const QByteArray& data)
{
    return QByteArrayLiteral("data: ") + data + QByteArrayLiteral("\n\n");
}

void LiveFeed::subscribe(QTcpSocket* socket)
{
    prune();
    if (m_subscribers.empty())
        m_sent = m_status();
    write(socket, kRetry + event(m_sent));
    m_subscribers.emplace_back(socket);
    m_check.start();
    m_heartbeat.start();
}

int LiveFeed::subscriberCount() const
{
    return static_cast<int>(std::count_if(m_subscribers.begin(), m_subscribers.end(), connected));
}

void LiveFeed::prune()
{
    m_subscribers.erase(std::remove_if(m_subscribers.begin(), m_subscribers.end(),
                                       [](const QPointer<QTcpSocket>& socket) { return !connected(socket); }),
                        m_subscribers.end());
    if (m_subscribers.empty()) {
        m_check.stop();
        m_heartbeat.stop();
    }
}

void LiveFeed::check()
{
    prune();
    if (m_subscribers.empty())
        return;
    QByteArray status = m_status();
    if (status == m_sent)
        return;
    m_sent = std::move(status);
    send(event(m_sent));
}

void LiveFeed::send(const QByteArray& bytes)
{
    prune();
    for (const QPointer<QTcpSocket>& socket : m_subscribers) {
        if (socket->bytesToWrite() > kMaxBacklog) {
            // It stopped reading: it would only hold stale positions and memory.
            if (platform::ConnectionGuard* guard = platform::HttpListener::guardOf(socket))
                guard->finish();
            else
                socket->abort();
            continue;
        }
        write(socket, bytes);
    }
}

} // namespace web
