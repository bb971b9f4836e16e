// Other stations' maps read as peers, against small servers on loopback: each kind of map, a line
// that stops counting, and peers that answer garbage, too much, nothing or too slowly, each named on
// standard error once and once more when it is read again.
#include "program/peers.h"

#include "core/geo/coordtext.h"
#include "core/geo/endpoint.h"
#include "core/geo/geojson.h"
#include "core/geo/kml.h"
#include "support/eventlines.h"
#include "support/loopback.h"
#include "support/settingsfolder.h"
#include "support/stationprocess.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace {

// Short times, so that the tests wait little: read every 100 ms, 1 s for an answer, a line counting
// for 1.5 s after it was read.
const station::Peers::Timing kQuick{100, 1000, 1500};

QByteArray ok(const QByteArray& body)
{
    return "HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// A station at 51.5 N 0.36169 W (or elsewhere) with its line drawn at `bearing`.
geo::MapStatus status(int bearing, const QString& df = QStringLiteral("detected"), double latitude = 51.5)
{
    geo::MapStatus s;
    s.startLatitude = geo::latitudeText(latitude);
    s.startLongitude = geo::longitudeText(-0.36169);
    const bool drawn = df == QStringLiteral("detected") || df == QStringLiteral("test");
    const geo::EndPoint end = geo::bearingLineEnd(s.startLatitude, s.startLongitude, static_cast<qint16>(bearing), drawn);
    s.endLatitude = end.latitude;
    s.endLongitude = end.longitude;
    if (drawn)
        s.bearing = bearing;
    s.df = df;
    s.time = QDateTime(QDate(2026, 12, 8), QTime(6, 40), Qt::UTC);
    s.port = 10000;
    return s;
}

QByteArray kml(const geo::MapStatus& s)
{
    return geo::fillKml(geo::buildKmlTemplate(), s.startLongitude, s.startLatitude, s.endLongitude, s.endLatitude).toUtf8();
}

// A map server on loopback answering each request at once, or not at all, slowly, or with 10 MiB.
class FakePeer
{
public:
    enum class Mode { Answer, Silent, Slow, Huge };

    FakePeer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { arrived(socket); });
            }
        });
    }

    QString url(const QString& path = QStringLiteral("/")) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    void route(const QString& path, const QByteArray& response) { m_routes[path] = response; }
    void stop() { m_server.close(); }
    int requests(const QString& path = QStringLiteral("/")) const { return m_requests.value(path); }

    Mode mode = Mode::Answer;

private:
    void arrived(QTcpSocket* socket)
    {
        QByteArray& head = m_heads[socket];
        head += socket->readAll();
        if (!head.contains("\r\n\r\n"))
            return;
        const QString path = QString::fromLatin1(head.split(' ').value(1));
        m_heads.remove(socket);
        ++m_requests[path];
        switch (mode) {
        case Mode::Answer:
            socket->write(m_routes.value(path, "HTTP/1.0 404 Not Found\r\n\r\n"));
            socket->disconnectFromHost();
            break;
        case Mode::Silent:
            break;
        case Mode::Slow: {
            // The head at once, then the body one byte every 100 ms.
            const QByteArray response = m_routes.value(path);
            const qsizetype bodyAt = response.indexOf("\r\n\r\n") + 4;
            socket->write(response.left(bodyAt));
            auto rest = std::make_shared<QByteArray>(response.mid(bodyAt));
            auto* drip = new QTimer(socket);
            QObject::connect(drip, &QTimer::timeout, socket, [socket, rest] {
                socket->write(rest->left(1));
                rest->remove(0, 1);
            });
            drip->start(100);
            break;
        }
        case Mode::Huge:
            // No length said: the reader learns the size only as it comes.
            socket->write("HTTP/1.0 200 OK\r\nContent-Type: application/vnd.google-earth.kml+xml\r\n\r\n");
            socket->write(QByteArray(10 * 1024 * 1024, ' '));
            socket->disconnectFromHost();
            break;
        }
    }

    QTcpServer m_server;
    QHash<QString, QByteArray> m_routes;
    QHash<QString, int> m_requests;
    QHash<QTcpSocket*, QByteArray> m_heads;
};

std::optional<geo::PeerMark> markOf(const station::Peers& peers, const QString& url)
{
    for (const geo::PeerMark& mark : peers.marks()) {
        if (mark.source == url)
            return mark;
    }
    return std::nullopt;
}

TEST(Peers, EachKindOfMapGivesItsStationAndOnlyALineThatCounts)
{
    FakePeer kmlPeer, statusPeer, pagePeer, testPeer, collapsedPeer;
    kmlPeer.route(QStringLiteral("/"), ok(kml(status(47))));
    statusPeer.route(QStringLiteral("/status.json"), ok(geo::statusGeoJson(status(312, QStringLiteral("detected"), 52))));
    pagePeer.route(QStringLiteral("/"), ok("<!DOCTYPE html>\n<html lang=\"en\"><head><title>Tarnvale DF live map</title>"));
    pagePeer.route(QStringLiteral("/status.json"), ok(geo::statusGeoJson(status(200))));
    testPeer.route(QStringLiteral("/status.json"), ok(geo::statusGeoJson(status(90, QStringLiteral("test")))));
    collapsedPeer.route(QStringLiteral("/"), ok(kml(status(0, QStringLiteral("silent")))));

    testsupport::EventLines events;
    station::Peers peers({kmlPeer.url(), statusPeer.url(QStringLiteral("/status.json")), pagePeer.url(),
                          testPeer.url(QStringLiteral("/status.json")), collapsedPeer.url()},
                         kQuick);
    QSignalSpy changed(&peers, &station::Peers::changed);
    const QDateTime started = QDateTime::currentDateTimeUtc();
    peers.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return peers.marks().size() == 5; }, 5000));

    const auto kmlMark = markOf(peers, kmlPeer.url());
    ASSERT_TRUE(kmlMark && kmlMark->line);
    EXPECT_EQ(kmlMark->line->bearing, 47);
    EXPECT_EQ(kmlMark->line->source, kmlPeer.url());
    EXPECT_DOUBLE_EQ(kmlMark->stationLatitude, 51.5);
    EXPECT_DOUBLE_EQ(kmlMark->line->stationLongitude, -0.36169);
    EXPECT_DOUBLE_EQ(kmlMark->line->endLatitude, geo::readCoordinate(status(47).endLatitude));
    // A KML document does not say when its line was drawn: it counts from when it was read.
    EXPECT_GE(kmlMark->line->time, started.addSecs(-1));
    EXPECT_EQ(kmlMark->line->time.timeSpec(), Qt::UTC);

    const auto statusMark = markOf(peers, statusPeer.url(QStringLiteral("/status.json")));
    ASSERT_TRUE(statusMark && statusMark->line);
    EXPECT_EQ(statusMark->line->bearing, 312);
    EXPECT_DOUBLE_EQ(statusMark->stationLatitude, 52);
    EXPECT_EQ(statusMark->line->time, status(312).time);

    // The page is read once; after it, the status beside it.
    const auto pageMark = markOf(peers, pagePeer.url());
    ASSERT_TRUE(pageMark && pageMark->line);
    EXPECT_EQ(pageMark->line->bearing, 200);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pagePeer.requests(QStringLiteral("/status.json")) >= 3; }, 5000));
    EXPECT_EQ(pagePeer.requests(QStringLiteral("/")), 1);

    // A test bearing and a line collapsed onto its station: the station is known, no line counts.
    const auto testMark = markOf(peers, testPeer.url(QStringLiteral("/status.json")));
    ASSERT_TRUE(testMark);
    EXPECT_FALSE(testMark->line);
    const auto collapsedMark = markOf(peers, collapsedPeer.url());
    ASSERT_TRUE(collapsedMark);
    EXPECT_FALSE(collapsedMark->line);

    EXPECT_GE(changed.size(), 5);
    EXPECT_TRUE(events.lines().isEmpty()) << events.lines().join(u'\n').toStdString();
}

TEST(Peers, ALineStopsCountingWhenItWasNotReadForItsTimeOrIsWithdrawn)
{
    FakePeer stopping, withdrawing;
    stopping.route(QStringLiteral("/"), ok(kml(status(47))));
    withdrawing.route(QStringLiteral("/status.json"), ok(geo::statusGeoJson(status(120))));
    const QString stoppingUrl = stopping.url();
    const QString withdrawingUrl = withdrawing.url(QStringLiteral("/status.json"));
    testsupport::EventLines events;
    station::Peers peers({stoppingUrl, withdrawingUrl}, kQuick);
    peers.start();
    const auto counting = [&](const QString& url) {
        const auto mark = markOf(peers, url);
        return mark && mark->line.has_value();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return counting(stoppingUrl) && counting(withdrawingUrl); }, 5000));

    QSignalSpy changed(&peers, &station::Peers::changed);
    QElapsedTimer sinceStop;
    stopping.stop();
    sinceStop.start();
    withdrawing.route(QStringLiteral("/status.json"), ok(geo::statusGeoJson(status(120, QStringLiteral("silent")))));
    // The withdrawn line goes with the next reading; the unread one once its time is out.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !counting(withdrawingUrl); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !counting(stoppingUrl); }, 5000));
    EXPECT_GE(sinceStop.elapsed(), kQuick.countsMs - kQuick.periodMs - 50); // not at the first failed read
    EXPECT_TRUE(markOf(peers, stoppingUrl)) << "its station stays known";
    EXPECT_TRUE(markOf(peers, withdrawingUrl));
    EXPECT_GE(changed.size(), 2);
    EXPECT_EQ(events.lines(), QStringList{QStringLiteral("Peer %1 cannot be read: Connection refused").arg(stoppingUrl)})
        << events.lines().join(u'\n').toStdString();
}

TEST(Peers, APeerThatCannotBeReadIsNamedOnceWithWhyAndOnceWhenItIsReadAgain)
{
    FakePeer garbage, huge, silent, slow, redirect;
    garbage.route(QStringLiteral("/"), ok("<rss>\n<channel/></rss>"));
    huge.mode = FakePeer::Mode::Huge;
    silent.mode = FakePeer::Mode::Silent;
    slow.mode = FakePeer::Mode::Slow;
    slow.route(QStringLiteral("/"), ok(kml(status(47))));
    redirect.route(QStringLiteral("/"), "HTTP/1.0 301 Moved\r\nLocation: http://192.0.2.1/\r\n\r\n");
    const QString refused = QStringLiteral("http://127.0.0.1:%1/").arg(testsupport::freePort());
    const QString notFound = garbage.url(QStringLiteral("/df%20map/missing"));

    testsupport::EventLines events;
    station::Peers peers({garbage.url(), huge.url(), silent.url(), slow.url(), redirect.url(), refused, notFound}, kQuick);

    // Nothing holds the station up meanwhile: a timer of its own keeps its pace.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer pace;
    QObject::connect(&pace, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.restart());
    });
    pace.start(10);
    sinceTick.start();
    peers.start();

    // Each read a few times (a silent one every time-out): still one line each.
    ASSERT_TRUE(QTest::qWaitFor([&] { return silent.requests() >= 3 && slow.requests() >= 3 && huge.requests() >= 3; }, 10000));
    EXPECT_LT(longestGap, 1000);
    const std::pair<QString, QString> named[] = {
        {garbage.url(), "something else (XML, not KML (<rss>))"},
        {huge.url(), "more than 64 KiB"},
        {silent.url(), "no answer within 1 s"},
        {slow.url(), "answer not complete within 1 s"},
        {redirect.url(), "a redirect (HTTP 301), not followed"},
        {refused, "Connection refused"},
        {notFound, "HTTP 404"},
    };
    for (const auto& [url, why] : named) {
        const QStringList lines = events.matching(QStringLiteral("Peer %1 ").arg(url));
        ASSERT_EQ(lines.size(), 1) << url.toStdString() << "\n" << events.lines().join(u'\n').toStdString();
        EXPECT_EQ(lines.constFirst(), QStringLiteral("Peer %1 cannot be read: %2").arg(url, why));
    }
    EXPECT_EQ(events.lines().size(), std::size(named));
    EXPECT_TRUE(peers.marks().isEmpty());

    // Back: one line, and its station and line are shown.
    garbage.route(QStringLiteral("/"), ok(kml(status(47))));
    ASSERT_TRUE(QTest::qWaitFor([&] { return markOf(peers, garbage.url()).has_value(); }, 5000));
    const int reads = garbage.requests();
    ASSERT_TRUE(QTest::qWaitFor([&] { return garbage.requests() >= reads + 3; }, 5000));
    EXPECT_EQ(events.matching(QStringLiteral("Peer %1 ").arg(garbage.url())),
              (QStringList{QStringLiteral("Peer %1 cannot be read: something else (XML, not KML (<rss>))").arg(garbage.url()),
                           QStringLiteral("Peer %1 is read again: a station's KML document").arg(garbage.url())}));
}

// The real station: its website port's KML document and its live map's page, then status.
TEST(Peers, ARealStationIsReadAtItsWebsitePortAndAtItsLiveMap)
{
    testsupport::SettingsFolder folder;
    const quint16 websitePort = testsupport::freePort();
    quint16 mapPort = testsupport::freePort();
    while (mapPort == websitePort)
        mapPort = testsupport::freePort();
    folder.writeLines(testsupport::settingsLinesFor(websitePort));
    testsupport::StationProcess station(QStringLiteral(TARNVALE_EXECUTABLE), QFileInfo(folder.folder()).path(),
                                        {QStringLiteral("--headless"), QStringLiteral("--web-map"), QString::number(mapPort)});
    ASSERT_TRUE(testsupport::waitUntilServing(websitePort)) << station.standardError().constData();

    const QString website = QStringLiteral("http://127.0.0.1:%1/").arg(websitePort);
    const QString map = QStringLiteral("http://127.0.0.1:%1/").arg(mapPort);
    testsupport::EventLines events;
    station::Peers peers({website, map}, kQuick);
    peers.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return peers.marks().size() == 2; }, 10000)) << events.lines().join(u'\n').toStdString();
    for (const QString& url : {website, map}) {
        const auto mark = markOf(peers, url);
        ASSERT_TRUE(mark) << url.toStdString();
        EXPECT_DOUBLE_EQ(mark->stationLatitude, 34.41852);
        EXPECT_DOUBLE_EQ(mark->stationLongitude, -119.74167);
        EXPECT_FALSE(mark->line) << "no DF unit: the line is collapsed onto the station";
    }
    EXPECT_TRUE(events.lines().isEmpty()) << events.lines().join(u'\n').toStdString();
    EXPECT_EQ(station.terminate(), 0);
}

} // namespace
