#pragma once
// A listening socket for the station's ports: a QTcpServer (newConnection(), nextPendingConnection(),
// so any consumer of one can use it) that notices when accepting fails for want of descriptors and then
// has the process's ConnectionShedder make room, accepting again as soon as there is some.
//
// Connections never take the last few descriptors below the open-file limit: those stay free for the
// program's own files, so that a station full of connections still writes its settings at shutdown
// and can open its serial line. A connection accepted into that reserve makes room at once.
//
// Qt's own accepting cannot be relied on for this: once an accept has found the queue empty, the
// server's socket engine keeps reporting that harmless error, so a later EMFILE raises no acceptError
// and the server tries again in a busy loop instead. On Unix the listener therefore takes its
// connections itself and keeps them until nextPendingConnection(); Qt's own accepting stays off.

#include <QHostAddress>
#include <QTcpServer>

#include <deque>
#include <functional>

class QSocketNotifier;
class QTimer;

namespace platform {

class TcpListener : public QTcpServer
{
    Q_OBJECT

public:
    explicit TcpListener(QObject* parent = nullptr);
    ~TcpListener() override;

    // Listens, and accepts in the way that makes room; use these rather than QTcpServer's own.
    bool listen(const QHostAddress& address = QHostAddress::Any, quint16 port = 0);
    void close();

    // Connections waiting in the system's accept queue; -1 where the system does not tell.
    int waitingConnections() const;

    static constexpr int kReservedDescriptors = 16;
    void setReservedDescriptors(int count) { m_reserved = count; }

    // Where the listener takes its own connections (Unix), hands each accepted descriptor to `take`,
    // which owns it from then on, instead of making a QTcpSocket of it: a consumer that keeps its own
    // sockets saves making and destroying one per connection. newConnection() is then not raised.
    // Returns false where connections can only come as sockets (they then come as usual).
    bool setDescriptorTaker(std::function<void(qintptr)> take);

    bool hasPendingConnections() const override;
    QTcpSocket* nextPendingConnection() override;

private:
    void acceptWaiting();
    bool intoReserve(int descriptor) const;
    int freeDescriptors() const;
    void makeRoomLater();
    void makeRoom();
    void acceptLater(int milliseconds);

    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_retry = nullptr;
    std::deque<QTcpSocket*> m_accepted; // not yet taken by nextPendingConnection()
    std::function<void(qintptr)> m_take;
    bool m_full = false;                // maxPendingConnections() reached: waiting for a taker
    int m_reserved = kReservedDescriptors;
};

} // namespace platform
