#pragma once
// Connections the program is done with, held by their bare descriptors until the peer is done too.
// Our end-of-stream follows what was sent; whatever the peer still sends is read and dropped (closing a
// socket with unread bytes makes the system reset the connection, and the peer may then lose the
// answer it was sent); the descriptor is closed once the peer has closed its side, or after a time
// limit for a peer that never does.
//
// One system readiness queue (epoll) serves every such connection, so a closed connection costs no
// socket object, notifier or timer of its own. The queue is looked at whenever another connection is
// taken over and, while any lingers, every few milliseconds: under load the finished ones are collected
// on the way, without an event of their own. Where that queue does not exist (outside Linux)
// available() is false and connections are finished their usual way.

#include <QObject>
#include <QTimer>

#include <vector>

class QTcpSocket;

namespace platform {

class LingeringCloser : public QObject
{
    Q_OBJECT

public:
    explicit LingeringCloser(QObject* parent = nullptr);
    // Closes whatever still lingers.
    ~LingeringCloser() override;

    static bool available();

    // Takes the connected `descriptor` over (everything meant for the peer already handed to the
    // system): sends our end-of-stream, then reads and drops until the peer closes, at most
    // `milliseconds`. False (the descriptor untouched, still the caller's) when it cannot be watched.
    [[nodiscard]] bool take(int descriptor, int milliseconds);

    // The orderly close of a socket's connection, the website port's and the live map's alike: once
    // everything written is handed to the system, the socket lets go of its connection (it reports
    // the end as any close does) and the connection lingers here on a copy of its descriptor; when
    // nothing was sent either way (`untouched`) and nothing waits, it is simply closed. The socket is
    // free at once. False, the socket untouched, while it still holds bytes for the peer or the
    // connection cannot be passed on.
    [[nodiscard]] bool takeFrom(QTcpSocket* socket, bool untouched, int milliseconds);

    // Connections still lingering.
    int count() const { return static_cast<int>(m_entries.size()); }

private:
    struct Entry
    {
        int descriptor = -1;
        qint64 deadline = 0; // ms on the steady clock
    };

    bool ensureQueue();
    void collect();
    void sweep();
    void finish(int descriptor);

    int m_queue = -1;
    QTimer m_sweep;
    std::vector<Entry> m_entries;
    std::vector<int> m_slot; // by descriptor: its index in m_entries, or -1
};

} // namespace platform
