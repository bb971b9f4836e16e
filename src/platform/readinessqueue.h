#pragma once
// One system readiness queue (epoll, level-triggered) for many bare descriptors, watched by a single
// socket notifier: a connection costs the event loop nothing of its own, so a burst of them leaves no
// table grown in Qt's dispatcher. Each descriptor is registered with a 64-bit token that comes back
// with its readiness; a bounded number of ready descriptors is handled per activation, so that a crowd
// of busy connections cannot starve the loop's other work (the rest come with the next turn).
//
// The handler may let events run, and the queue may then be activated again from inside it; it keeps
// nothing of a turn but its own stack, and a descriptor still ready is simply reported again.

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace platform {

class ReadinessQueue : public QObject
{
    Q_OBJECT

public:
    // What a descriptor is watched for and what is reported (the system's own bits).
    static constexpr quint32 kReadable = 0x001;
    static constexpr quint32 kWritable = 0x004;
    static constexpr quint32 kFailed = 0x008;   // reported whether asked for or not
    static constexpr quint32 kHungUp = 0x010;   // reported whether asked for or not
    static constexpr quint32 kPeerShut = 0x2000; // the peer's end-of-stream
    static constexpr int kEventsPerTurn = 128;

    using Handler = std::function<void(quint64 token, quint32 events)>;

    explicit ReadinessQueue(QObject* parent = nullptr);
    ~ReadinessQueue() override;

    // False where the system has no such queue (outside Linux) or it could not be made.
    bool isValid() const { return m_queue >= 0; }

    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // Whether the event loop looks at the queue by itself; otherwise only poll() does.
    void setWatching(bool watching);

    [[nodiscard]] bool add(int descriptor, quint32 events, quint64 token);
    [[nodiscard]] bool modify(int descriptor, quint32 events, quint64 token);
    void remove(int descriptor);

    // Hands up to kEventsPerTurn ready descriptors to the handler at once; how many there were.
    int poll();

private:
    enum Change { kAdd, kModify };
    bool control(Change change, int descriptor, quint32 events, quint64 token);

    int m_queue = -1;
    QSocketNotifier* m_notifier = nullptr;
    Handler m_handler;
};

} // namespace platform
