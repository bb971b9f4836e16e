#pragma once
// Connections the program is done with, held by their bare descriptors until the peer is done too.
// Bytes still to send go first, as the connection takes them; our end-of-stream follows what was sent;
// whatever the peer still sends is read and dropped (closing a socket with unread bytes makes the
// system reset the connection, and the peer may then lose the answer it was sent); the descriptor is
// closed once the peer has closed its side, or after a time limit for a peer that never does.
//
// One system readiness queue serves every such connection, so a closed connection costs no socket
// object, notifier or timer of its own. The queue is looked at whenever another connection is taken
// over and, while any lingers, every few milliseconds: under load the finished ones are collected on
// the way, without an event of their own. Only while bytes wait to be sent does the event loop watch
// the queue itself. Where that queue does not exist (outside Linux) available() is false and
// connections are finished their usual way.

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <vector>

class QTcpSocket;

namespace platform {

class ReadinessQueue;

class LingeringCloser : public QObject
{
    Q_OBJECT

public:
    explicit LingeringCloser(QObject* parent = nullptr);
    // Closes whatever still lingers.
    ~LingeringCloser() override;

    static bool available();

    // Takes the connected `descriptor` over: sends `rest` (what the system has not taken yet), within
    // `sendingMs`, then our end-of-stream, then reads and drops until the peer closes, at most
    // `milliseconds` more (and never past the sending time). False (the descriptor untouched, still
    // the caller's) when it cannot be watched.
    [[nodiscard]] bool take(int descriptor, int milliseconds, QByteArray rest = {}, int sendingMs = 0);

    // The orderly close of a socket's connection (the live map's): once everything written is handed
    // to the system, the socket lets go of its connection (it reports the end as any close does) and
    // the connection lingers here on a copy of its descriptor; when nothing was sent either way
    // (`untouched`) and nothing waits, it is simply closed. The socket is free at once. False, the
    // socket untouched, while it still holds bytes for the peer or the connection cannot be passed on.
    [[nodiscard]] bool takeFrom(QTcpSocket* socket, bool untouched, int milliseconds);

    // Connections still lingering, and of them those with bytes not yet handed to the system.
    int count() const { return static_cast<int>(m_entries.size()); }
    int sendingCount() const { return m_sending; }

private:
    struct Entry
    {
        int descriptor = -1;
        int drainMs = 0;          // how long the peer gets to close once everything is sent
        qint64 deadline = 0;      // ms on the steady clock
        QByteArray rest;          // still to send, from `sent` on
        qsizetype sent = 0;
        bool peerDone = false;    // the peer's end-of-stream has come
    };

    void collect();
    void sweep();
    void ready(int descriptor, quint32 events);
    bool sendRest(Entry& entry);
    void watch(const Entry& entry);
    void finish(int descriptor);
    Entry* entry(int descriptor);

    ReadinessQueue* m_queue = nullptr;
    QTimer m_sweep;
    std::vector<Entry> m_entries;
    std::vector<int> m_slot; // by descriptor: its index in m_entries, or -1
    int m_sending = 0;
};

} // namespace platform
