#pragma once
// The live map's updates as Server-Sent Events: a subscriber's connection gets the station's status
// (one GeoJSON text per event) at once, then again each time the station says its status may have
// changed and it did, and a comment line every 15 seconds so that a quiet station does not look like
// an idle connection. Once the feed is given a fix, each subscriber also gets it, as an event of its
// own type ("event: fix", unseen by a page's plain message handler), after the status at once and
// again whenever it changes. A subscriber that stops reading is dropped before its unsent events pile up.

#include "platform/httplistener.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <utility>
#include <vector>

namespace web {

class LiveFeed : public QObject
{
    Q_OBJECT

public:
    static constexpr int kHeartbeatMs = 15000;
    // Unsent bytes that mark a subscriber as no longer reading.
    static constexpr qint64 kMaxBacklog = 64 * 1024;

    // `status` gives the current status text; it is asked when a change is announced while anyone
    // subscribes, and for the first subscriber.
    explicit LiveFeed(std::function<QByteArray()> status, QObject* parent = nullptr);

    // The listener whose connections subscribe.
    void setListener(platform::HttpListener* listener) { m_listener = listener; }

    // The connection, whose response header has been written, receives the events from now on.
    void subscribe(platform::ConnectionId connection);
    int subscriberCount() const;

    // `fix` gives the current fix as JSON; without one no fix events are sent. Those who subscribe
    // already get it with the next check.
    void setFix(std::function<QByteArray()> fix);

    // One event as it goes on the wire; `type` empty: a plain message.
    static QByteArray event(const QByteArray& data, const QByteArray& type = {});

    // The status may have changed. Checked once the handler that changed it has returned, so that
    // every change it made goes out in one event and no event carries a status half updated.
    void statusChanged();
    // The fix may have changed: checked the same way, in the same posted check.
    void fixChanged();

    // Sends the status, then the fix, to everyone where it was said to have changed and did since it
    // was last sent.
    void check();

private:
    void postCheck();
    void send(const QByteArray& bytes);
    void prune();

    std::function<QByteArray()> m_status;
    std::function<QByteArray()> m_fix;
    QPointer<platform::HttpListener> m_listener;
    std::vector<platform::ConnectionId> m_subscribers;
    QByteArray m_sent;    // the status last sent to all
    QByteArray m_fixSent; // the fix likewise
    bool m_statusDue = false;
    bool m_fixDue = false;
    bool m_checkPosted = false;
    QTimer m_heartbeat;
};

} // namespace web
