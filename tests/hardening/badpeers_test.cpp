// Peers that answer garbage, ten MiB, nothing at all, or a byte at a time: the station names each once
// and keeps serving both its ports, and its memory does not grow with what they send.
#include "stationsetup.h"

#include "support/loopback.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

// A peer that treats every connection in one bad way.
struct BadPeer
{
    explicit BadPeer(std::function<void(QTcpSocket*)> behave)
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this, behave] {
            while (QTcpSocket* socket = server.nextPendingConnection())
                behave(socket);
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/status.json").arg(server.serverPort()); }

    QTcpServer server;
};

void answerGarbage(QTcpSocket* socket)
{
    socket->write("HTTP/1.0 200 OK\r\n\r\n{\"type\": \"Feature\xff\xfe, [[[[[[ not a status");
    socket->disconnectFromHost();
}

void answerTenMiB(QTcpSocket* socket)
{
    socket->write("HTTP/1.0 200 OK\r\nContent-Type: application/geo+json\r\n\r\n");
    socket->write(QByteArray(10 * 1024 * 1024, '['));
    socket->disconnectFromHost();
}

void answerNothing(QTcpSocket*) {}

void answerSlowly(QTcpSocket* socket)
{
    auto* drip = new QTimer(socket);
    QObject::connect(drip, &QTimer::timeout, socket, [socket] { socket->write("H"); });
    drip->start(100);
}

} // namespace

using BadPeers = hardening::StationSetup;

TEST_F(BadPeers, NeverHoldUpTheStationNorGrowItsMemory)
{
    std::vector<std::unique_ptr<BadPeer>> peers;
    QStringList arguments{QStringLiteral("--headless"), QStringLiteral("--web-map")};
    quint16 mapPort = testsupport::freePort();
    while (mapPort == port)
        mapPort = testsupport::freePort();
    arguments << QString::number(mapPort);
    for (auto behave : {answerGarbage, answerTenMiB, answerNothing, answerSlowly}) {
        peers.push_back(std::make_unique<BadPeer>(behave));
        arguments << QStringLiteral("--peer") << peers.back()->url();
    }
    testsupport::StationProcess station = startStation(arguments);
    ASSERT_TRUE(testsupport::waitUntilServing(port));

    const auto servesBoth = [&] {
        return testsupport::fetch(port, "GET / HTTP/1.0\r\n\r\n", 3000).startsWith("HTTP/1.0 200 OK")
            && testsupport::fetch(mapPort, "GET /fix.json HTTP/1.0\r\n\r\n", 3000).startsWith("HTTP/1.0 200 OK");
    };
    // Every peer read a few times (once a second, 2 s each at most), the station asked meanwhile.
    QTest::qWait(3000);
    ASSERT_TRUE(servesBoth());
    [[maybe_unused]] const qint64 settled = station.residentKiB(); // compared below, unless under the sanitizers
    for (int i = 0; i < 6; ++i) {
        QTest::qWait(1000);
        EXPECT_TRUE(servesBoth()) << "after " << i + 4 << " s";
    }
#if !defined(__SANITIZE_ADDRESS__) // under the sanitizers freed memory is held back on purpose
    EXPECT_LT(station.residentKiB() - settled, 2048) << "KiB grown while the peers went on";
#endif

    const QByteArray said = station.standardError();
    for (const auto& peer : peers) {
        const QByteArray named = "Peer " + peer->url().toLatin1() + " cannot be read";
        EXPECT_EQ(said.count(named), 1) << said.constData();
    }
    EXPECT_EQ(station.terminate(), 0);
}
