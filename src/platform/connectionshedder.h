#pragma once
// When a listening socket cannot accept for want of descriptors, the process makes room instead of
// only waiting: connections that have sent nothing since they were accepted are closed, oldest first,
// as many as connections wait to be accepted. Otherwise whoever holds enough silent connections (a
// port scanner, a misbehaving client, browsers' preconnects) keeps every map viewer out until the
// idle time-out frees them.
//
// Descriptors belong to the whole process, so one shedder serves every listening socket (TcpListener)
// and every pool of connections in the program (addSource()); each pool closes its own connections
// its usual way. A connection that has sent anything is never shed.

#include "connectionrules.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <vector>

namespace platform {

// When a connection was accepted, comparable across pools.
inline qint64 acceptClock() { return connection::steadyNs(); }

// A silent connection a pool offers for shedding.
struct SheddableConnection
{
    qint64 acceptedAt = 0;
    // Closes it the pool's usual way, giving its descriptor back at once; false (and nothing done)
    // when it is gone or no longer silent.
    std::function<bool()> close;
};

class ConnectionShedder : public QObject
{
    Q_OBJECT

public:
    using Source = std::function<std::vector<SheddableConnection>()>;

    // The process's shedder, created on first use; it ends with the application object.
    static ConnectionShedder& instance();

    // A pool whose silent connections may be shed; the number returned removes it again.
    int addSource(Source source);
    void removeSource(int id);

    // Closes up to `count` silent connections, oldest first over every pool, and says so on standard
    // error (at most one line a second). Returns how many it closed.
    int shed(int count);

    // A listening socket ran out of descriptors with `waiting` connections in its queue: sheds that
    // many. When there is nothing to shed it says so, at most once a minute.
    int makeRoom(int waiting);

private:
    explicit ConnectionShedder(QObject* parent);
    ~ConnectionShedder() override;
    void report();

    std::map<int, Source> m_sources;
    int m_nextSource = 1;
    int m_unreported = 0;
    QElapsedTimer m_lastReport;
    QTimer m_reportTimer;
    QElapsedTimer m_lastNothingToShed;
};

} // namespace platform
