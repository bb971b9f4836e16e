#pragma once
// The web server's channels: each accepted connection is served on the lowest free socket element
// (1 and up), with a pacing timer and a response record under the same index. A request is answered
// with a header at once; the body of a document follows in pieces from the channel's timer, one
// piece per send completion, and the channel is closed once every byte has been reported sent.
// When a listening socket runs out of descriptors, channels whose connection has sent nothing are
// offered for shedding (oldest first) and closed through HTTP_SERVER_Close like any other.

#include "platform/connectionrules.h"
#include "platform/connectionshedder.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
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

// One channel as the pool keeps it: the response and the rest of what the pool knows of its
// connection, in one record (its socket and pacing timer are the elements at the same index).
struct Channel : HTTP_CHANNEL
{
    qint64 idleDeadline = 0; // steadyMs() by which the connection must be done; 0: none
    bool closing = false;    // inside its close loop: not to be chosen
};

class ChannelPool : public QObject
{
    Q_OBJECT

public:
    // Channel indices are 16-bit.
    static constexpr int kMaxChannels = 32767;
    static constexpr int kPieceSize = 2048;
    // A connection that has not had its answer within this time is closed, so that clients that
    // connect and never ask (or never close) cannot hold channels for ever.
    static constexpr int kIdleTimeoutMs = platform::connection::kIdleTimeoutMs;

    // `document` fills the map document at the moment a request is answered. The pool handles the
    // events of both sets itself.
    ChannelPool(platform::TcpSocketSet& sockets, platform::TimerSet& timers, std::function<QString()> document,
                QObject* parent = nullptr);
    ~ChannelPool() override;

    // HTTP_CHANNELS, indexed like the sockets from 1 to channelCount() (0 before the first channel).
    // Only a channel with a connection (or inside its close loop) holds a record; a free one holds
    // nothing and reads as the empty record, so the channels a burst made cost a pointer each.
    int channelCount() const { return m_records.empty() ? 0 : static_cast<int>(m_records.size()) - 1; }
    const HTTP_CHANNEL& record(int index) const;
    // The record to change; made for a free channel too, until the channel is closed or taken again.
    HTTP_CHANNEL& editRecord(int index) { return channel(index); }
    // How many channels hold a record.
    int recordsHeld() const;

    // Applies to connections accepted from now on.
    void setIdleTimeout(int milliseconds) { m_idleTimeoutMs = milliseconds; }
    // Highest channel index the pool may create (kMaxChannels unless a test lowers it).
    void setChannelLimit(int channels) { m_channelLimit = channels; }

    // Event handlers, public so that tests can drive them directly.
    void HTTP_SERVER_ConnectionRequest(int index, qint32 requestId);
    void HTTP_SERVER_DataArrival(int index, qint32 bytesTotal);
    void HTTP_SERVER_SendProgress(int index, qint32 bytesSent, qint32 bytesRemaining);
    void HTTP_SERVER_SendComplete(int index);
    void Timer_SEND_DATA_Timer(int index);

    // The peer closed; also the operation that ends a channel's connection: stops its pacing, closes
    // its socket and resets its record.
    void HTTP_SERVER_Close(int index);

    // The channels whose connection has sent nothing, for the process's ConnectionShedder.
    std::vector<platform::SheddableConnection> silentChannels();

    // The end of a run, once the listening element takes no more connections: closes the channels
    // whose connection has sent nothing, then runs the event loop until every answer under way has
    // been handed to the system with its end-of-stream, or until `milliseconds` have passed.
    void finishAnswers(int milliseconds);

private:
    bool isChannel(int index) const;
    // The channel's record, made when it holds none (an index that is no channel throws).
    Channel& channel(int index);
    Channel* findChannel(int index) const;
    bool answering() const;
    int createChannel();
    void closeIdleChannels();
    void sweepIdleAt(qint64 deadline);

    platform::TcpSocketSet& m_sockets;
    platform::TimerSet& m_timers;
    std::function<QString()> m_document;
    std::vector<std::unique_ptr<Channel>> m_records; // null for a free channel (and for index 0)
    QTimer m_idleSweep;                          // one timer for every channel's deadline: the earliest
    qint64 m_idleSweepAt = 0;
    int m_idleTimeoutMs = kIdleTimeoutMs;
    int m_channelLimit = kMaxChannels;
    int m_closeDepth = 0;
    QPointer<platform::ConnectionShedder> m_shedder;
    int m_shedSource = 0;
};

} // namespace web
