#include "livefeed.h"

#include <algorithm>
#include <utility>

namespace web {

namespace {

// A browser whose stream broke tries again after this many milliseconds.
const QByteArray kRetry = QByteArrayLiteral("retry: 1000\n\n");
const QByteArray kHeartbeat = QByteArrayLiteral(": still here\n\n");
const QByteArray kFixEvent = QByteArrayLiteral("fix");

} // namespace

LiveFeed::LiveFeed(std::function<QByteArray()> status, QObject* parent)
    : QObject(parent)
    , m_status(std::move(status))
{
    m_heartbeat.setInterval(kHeartbeatMs);
    connect(&m_heartbeat, &QTimer::timeout, this, [this] { send(kHeartbeat); });
}

QByteArray LiveFeed::event(const QByteArray& data, const QByteArray& type)
{
    // A line break would end the field: each line of a text that has one goes in a data line of its
    // own, which the browser joins again.
    QByteArray lines = data;
    if (lines.contains('\n') || lines.contains('\r'))
        lines.replace("\r\n", "\n").replace('\r', '\n').replace("\n", "\ndata: ");
    const QByteArray field = QByteArrayLiteral("data: ") + lines + QByteArrayLiteral("\n\n");
    return type.isEmpty() ? field : QByteArrayLiteral("event: ") + type + '\n' + field;
}

void LiveFeed::subscribe(platform::ConnectionId connection)
{
    prune();
    if (!m_listener)
        return;
    if (m_subscribers.empty()) {
        m_sent = m_status();
        m_fixSent = m_fix ? m_fix() : QByteArray();
    }
    // (A fix given while others subscribe goes to everyone with the check setFix() posted.)
    m_listener->write(connection, kRetry + event(m_sent) + (m_fixSent.isEmpty() ? QByteArray() : event(m_fixSent, kFixEvent)));
    m_subscribers.push_back(connection);
    m_heartbeat.start();
}

int LiveFeed::subscriberCount() const
{
    if (!m_listener)
        return 0;
    return static_cast<int>(std::count_if(m_subscribers.begin(), m_subscribers.end(),
                                          [this](platform::ConnectionId connection) { return m_listener->isOpen(connection); }));
}

void LiveFeed::prune()
{
    m_subscribers.erase(std::remove_if(m_subscribers.begin(), m_subscribers.end(),
                                       [this](platform::ConnectionId connection) {
                                           return !m_listener || !m_listener->isOpen(connection);
                                       }),
                        m_subscribers.end());
    if (m_subscribers.empty())
        m_heartbeat.stop();
}

void LiveFeed::statusChanged()
{
    m_statusDue = true;
    postCheck();
}

void LiveFeed::setFix(std::function<QByteArray()> fix)
{
    m_fix = std::move(fix);
    fixChanged();
}

void LiveFeed::fixChanged()
{
    if (!m_fix)
        return;
    m_fixDue = true;
    postCheck();
}

void LiveFeed::postCheck()
{
    if (m_checkPosted || m_subscribers.empty())
        return;
    // Posted, not timed: it runs as soon as the station's handler has returned to the event loop.
    m_checkPosted = true;
    QMetaObject::invokeMethod(this, [this] {
        m_checkPosted = false;
        check();
    }, Qt::QueuedConnection);
}

void LiveFeed::check()
{
    const bool statusDue = std::exchange(m_statusDue, false);
    const bool fixDue = std::exchange(m_fixDue, false);
    prune();
    if (m_subscribers.empty())
        return;
    if (statusDue) {
        if (QByteArray status = m_status(); status != m_sent) {
            m_sent = std::move(status);
            send(event(m_sent));
        }
    }
    if (fixDue && m_fix) {
        if (QByteArray fix = m_fix(); fix != m_fixSent) {
            m_fixSent = std::move(fix);
            send(event(m_fixSent, kFixEvent));
        }
    }
}

void LiveFeed::send(const QByteArray& bytes)
{
    prune();
    for (const platform::ConnectionId connection : m_subscribers) {
        // It stopped reading: it would only hold stale positions and memory.
        if (m_listener->unsentBytes(connection) > kMaxBacklog)
            m_listener->close(connection);
        else
            m_listener->write(connection, bytes);
    }
}

} // namespace web
