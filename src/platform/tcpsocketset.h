#pragma once
// The station's web sockets (HTTP_SERVER): an indexed set of socket elements. Element 0 listens;
// elements 1 and up are created on demand at the next index and never removed, each holding at most
// one accepted connection at a time.
//
// State codes (SocketState): 0 closed, 1 open, 2 listening, 3 connection pending, 4 resolving host,
// 5 host resolved, 6 connecting, 7 connected, 8 peer is closing, 9 error.
//
// Events carry the element's index first. Every sendData() is followed by exactly one sendComplete(),
// and the sendProgress() reports of a send add up to all its bytes before it. Bytes that arrived
// before a peer's close are delivered by dataArrival() while the element is still in State 7; only
// then does it move to State 8 and raise closed().
//
// A listening element that runs out of descriptors makes room through the process's
// ConnectionShedder; the pool that serves the elements offers their silent connections to it.
//
// A connection is served on its bare descriptor through one readiness queue shared by every element,
// so it costs the event loop no notifier or timer of its own. A free element holds nothing at all: its
// record is made when it takes a connection (or listens) and dropped when it lets go, and a closed
// connection goes on, with whatever it still has to send, to a LingeringCloser that finishes it. Once
// a burst of connections has drained, the freed heap goes back to the system. Bytes to send go straight
// to the system when nothing waits before them. Send reports are delivered from the event loop, all
// that are due in one event, in the order they fell due, even when a handler lets events run in
// between.

#include <QHash>
#include <QObject>
#include <QString>
#include <map>
#include <memory>
#include <vector>

class QTimer;

namespace platform {

// An element's State, by name; the codes are the numbers the station shows ("WEBSITE SERVER STATE 2").
struct SocketState
{
    enum Code : int {
        Closed = 0,
        Open = 1,
        Listening = 2,
        ConnectionPending = 3,
        ResolvingHost = 4,
        HostResolved = 5,
        Connecting = 6,
        Connected = 7,
        PeerClosing = 8,
        Error = 9,
    };
};

class LingeringCloser;
class ReadinessQueue;
class TcpListener;

class TcpSocketSet : public QObject
{
    Q_OBJECT

public:
    explicit TcpSocketSet(QObject* parent = nullptr);
    ~TcpSocketSet() override;

    // Highest element index (0 while only the listening element exists).
    int ubound() const;

    // Creates the element at `index`, which must be ubound() + 1; false otherwise.
    [[nodiscard]] bool load(int index);

    // State code of an element (see above); 0 for an index that does not exist.
    SocketState::Code state(int index) const;
    // The lowest element index from `from` on (1 at least) whose State is 0; 0 when there is none.
    int firstClosed(int from) const;

    // LocalPort: stored as given; listen() checks it.
    void setLocalPort(int index, qint32 port);
    qint32 localPort(int index) const;

    // Element 0 listens on every interface (IPv4 and IPv6) on its LocalPort. Fails (false) when the
    // port is in use, may not be bound, or lies outside 1 to 65535 (connection::isPort), and where the
    // system has no readiness queue for the connections (outside Linux).
    [[nodiscard]] bool listen(int index);

    // Takes the pending connection `requestId` over on a closed channel element (State 7 after it).
    [[nodiscard]] bool accept(int index, qint32 requestId);

    // All waiting bytes, one character per byte (Latin-1), consumed.
    QString getData(int index);
    // The same, false (and nothing read) when the element holds no connection.
    [[nodiscard]] bool getData(int index, QString& data);

    // Queues the text, one byte per character; false when the element is not connected.
    [[nodiscard]] bool sendData(int index, const QString& data);

    // Closes the element at once (State 0): a listening element stops listening; a connection is
    // closed gracefully, so bytes already handed over still reach the peer.
    void close(int index);

    QString errorString() const { return m_error; }

    // A connection that has neither received nor been sent a byte since its element took it over.
    struct SilentConnection
    {
        int index = 0;
        quint64 connection = 0; // tells this connection from a later one on the same element
        qint64 acceptedAt = 0;  // acceptClock() when the element took it over
    };
    // The connected elements' silent connections, oldest first.
    std::vector<SilentConnection> silentConnections() const;
    // Whether the element still holds that connection and nothing has arrived on it, not even bytes
    // the system holds unread. Closing such a connection gives its descriptor back at once.
    bool isSilent(const SilentConnection& silent) const;

    // A closed connection lingers until the peer has taken everything sent and closed its side; one
    // that has not finished after this many milliseconds (a peer that stopped reading) is cut off.
    void setLingerTimeout(int milliseconds) { m_lingerMs = milliseconds; }
    // Closed connections still lingering.
    int lingeringCount() const;
    // Of them, those whose bytes are not all handed to the system yet: they end with the set; the
    // others have everything handed over, and the system finishes them.
    int lingeringInSockets() const;

    // Once the connections held have stayed at this figure or below for kDrainedMs after a burst
    // (an element above it let go), the room the burst took is given back to the system.
    static constexpr int kQuietConnections = 64;
    static constexpr int kDrainedMs = 1000;
    // Connections the elements hold, and the elements that hold a record (a connection, or listening).
    int connectionCount() const { return m_connections; }
    int recordCount() const;

protected:
    bool event(QEvent* event) override;

signals:
    void connectionRequest(int index, qint32 requestId);
    void dataArrival(int index, qint32 bytesTotal);
    void sendProgress(int index, qint32 bytesSent, qint32 bytesRemaining);
    void sendComplete(int index);
    // The peer closed the connection (the control's Close event).
    void closed(int index);

private:
    struct Element;
    // What only a listening element has.
    struct Listening
    {
        qint32 localPort = 0;
        TcpListener* server = nullptr;
    };

    Element* element(int index) const;
    Element* current(int index, quint32 connection) const;
    bool fail(const QString& error);

    void takeDescriptor(int index, qintptr descriptor);
    qint32 nextRequestId();
    void ready(quint64 token, quint32 events);
    void readAvailable(int index, quint32 connection);
    void flush(int index, quint32 connection);
    void watch(int index, Element& e);
    void peerGone(int index, Element& e, bool failed);
    // What is delivered from the event loop, never from inside a call or the queue's own notification.
    enum class Due : quint8 { Reports, PeerClose };
    struct DueEvent
    {
        int index = 0;
        quint32 connection = 0; // delivered only while the element still holds this connection
        Due what = Due::Reports;
    };
    void queue(const DueEvent& due);
    void postDueEvent();
    void queueReport(int index, Element& e);
    void reportSends(int index, quint32 connection);
    void peerClosed(int index, quint32 connection);
    void letGo(int index, Element& e);
    void giveBackBurst();
    void closePending(int descriptor);

    // The elements, by index: null while free (State 0), so that the tens of thousands a burst leaves
    // behind cost a pointer each.
    std::vector<std::unique_ptr<Element>> m_elements;
    std::map<int, Listening> m_listening; // by index; in practice element 0 alone
    QHash<qint32, int> m_pending;         // descriptors offered through connectionRequest, by request
    qint32 m_nextRequestId = 1;
    quint32 m_lastConnection = 0; // tells a connection from every earlier one of the set
    QString m_error;
    int m_lingerMs = 30000;
    ReadinessQueue* m_queue = nullptr;
    LingeringCloser* m_closer = nullptr;
    // Send reports and peer closes due, in order; one event delivers them all.
    std::vector<DueEvent> m_due;
    size_t m_dueNext = 0;  // the first not yet delivered
    int m_delivering = 0;  // deliveries on the stack (a handler may let events run)
    bool m_dueEventPosted = false;
    int m_connections = 0;
    bool m_burstLeft = false;    // an element above kQuietConnections let go, its room not given back
    QTimer* m_drained = nullptr; // runs while the connections held are few after a burst
};

} // namespace platform
