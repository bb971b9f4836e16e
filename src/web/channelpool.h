#pragma once
// The web server's channels: each accepted connection is served on the lowest free socket element
// (1 and up), with a pacing timer and a response record under the same index.

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

namespace platform {
class TcpSocketSet;
class TimerSet;
}

namespace web {

struct HTTP_CHANNEL
{
    qint32 TOTAL_LENGTH = 0; // header and body of the current response
    qint32 BYTES_SENT = 0;   // bytes of it the socket reported sent
    QString PENDING_BODY;    // body not yet handed to the socket
};

class ChannelPool : public QObject
{
    Q_OBJECT

public:
    // `document` fills the map document at the moment a request is answered.
    ChannelPool(platform::TcpSocketSet& sockets, platform::TimerSet& timers, std::function<QString()> document,
                QObject* parent = nullptr);

    const std::vector<HTTP_CHANNEL>& records() const { return m_records; }

    // Closes a channel: stops its pacing, closes its socket, resets its record.
    void Close(int index);

private:
    platform::TcpSocketSet& m_sockets;
    platform::TimerSet& m_timers;
    std::function<QString()> m_document;
    std::vector<HTTP_CHANNEL> m_records;
};

} // namespace web
