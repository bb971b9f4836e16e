#pragma once
// A TCP relay on loopback that counts the connections it passes on: put between a proxy and the
// station, it tells how many requests reached the station (one per connection, HTTP/1.0), whatever
// the proxy itself reports.

#include <QObject>
#include <QTcpServer>

namespace testsupport {

class CountingRelay : public QObject
{
    Q_OBJECT

public:
    // Listens on a free loopback port and relays every connection to 127.0.0.1:`target`.
    explicit CountingRelay(quint16 target, QObject* parent = nullptr);

    quint16 port() const { return m_server.serverPort(); }
    int connections() const { return m_connections; }
    void resetCount() { m_connections = 0; }

private:
    void relay();

    QTcpServer m_server;
    quint16 m_target = 0;
    int m_connections = 0;
};

} // namespace testsupport
