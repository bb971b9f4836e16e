#pragma once
// The live map's updates as Server-Sent Events: a subscriber's connection gets the station's status
// (one GeoJSON text per event) at once, then again within a fifth of a second of every change, and a
// comment line every 15 seconds so that a quiet station does not look like an idle connection. A
// subscriber that stops reading is dropped before its unsent events pile up.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <vector>

class QTcpSocket;

namespace web {

class LiveFeed : public QObject
{
    Q_OBJECT

public:
    static constexpr int kCheckMs = 200;
    static constexpr int kHeartbeatMs = 15000;
    // Unsent bytes that mark a subscriber as no longer reading.
    static constexpr qint64 kMaxBacklog = 64 * 1024;

    // `status` gives the current status text; it is asked every kCheckMs while anyone subscribes.
    explicit LiveFeed(std::function<QByteArray()> status, QObject* parent = nullptr);

    // The connection, whose response header has been written, receives the events from now on.
    void subscribe(QTcpSocket* socket);
    int subscriberCount() const;

    // One event as it goes on the wire.
    static QByteArray event(const QByteArray& data);

    // Sends the status to everyone if it changed since it was last sent.
    void check();

private:
    void send(const QByteArray& bytes);
    void prune();

    std::function<QByteArray()> m_status;
    std::vector<QPointer<QTcpSocket>> m_subscribers;
    QByteArray m_sent; // the status last sent to all
    QTimer m_check;
    QTimer m_heartbeat;
};

} // namespace web
