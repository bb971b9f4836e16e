#pragma once
// --peer URL: other stations' maps, read once a second on Qt's own network classes, never blocking the
// station. Each peer has one read in flight at most, given 2 s for the whole answer and 64 KiB; a
// redirect is not followed (the address read is the one the operator gave). A live map's page is read
// once, then its status.json beside it. A line counts while it is drawn, was read within the last 3 s
// and is no test bearing. A peer that cannot be read is named on standard error once, with why, and
// once more when it is read again.

#include "core/geo/fix.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <memory>
#include <vector>

namespace station {

class Peers : public QObject
{
    Q_OBJECT
public:
    // How often each peer is read, how long a read may take, and how long a line counts after it was
    // read (milliseconds).
    struct Timing
    {
        int periodMs = 1000;
        int timeoutMs = 2000;
        int countsMs = 3000;
    };

    explicit Peers(const QStringList& urls, QObject* parent = nullptr); // urls validated by the command line
    Peers(const QStringList& urls, Timing timing, QObject* parent = nullptr);
    ~Peers() override;
    Peers(const Peers&) = delete;
    Peers& operator=(const Peers&) = delete;

    void start();                         // first reads at once, then once a second per peer
    QVector<geo::PeerMark> marks() const; // every peer whose station is known

signals:
    void changed(); // marks() changed (a reading, or a line aged out)

private:
    struct Peer;

    void readIdlePeers();
    void read(Peer& peer);
    void abortRead(Peer& peer, const QString& why);
    void finish(Peer& peer);
    void take(Peer& peer, const QByteArray& body);
    void fail(Peer& peer, const QString& why);

    Timing m_timing;
    QNetworkAccessManager m_network;
    std::vector<std::unique_ptr<Peer>> m_peers;
    QTimer m_tick; // reads every peer not still reading
};

} // namespace station
