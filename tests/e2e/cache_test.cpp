// nginx in front of the real station, set up by packaging/nginx/tarnvale-cache.conf as it is shipped
// (only its ports and cache folder changed): however many viewers ask, the station is asked once
// a second, with the document's bytes unchanged, and a new bearing reaches them within a second.
#include "support/countingrelay.h"
#include "support/loopback.h"
#include "support/pty.h"
#include "support/settingsfolder.h"
#include "support/stationprocess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTime>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>
#include <vector>

namespace {

struct Response
{
    QByteArray status; // the status line
    QByteArray cache;  // X-Cache-Status
    QByteArray body;
};

Response split(const QByteArray& raw)
{
    Response r;
    const qsizetype end = raw.indexOf("\r\n\r\n");
    if (end < 0)
        return r;
    const QList<QByteArray> header = raw.left(end).split('\n');
    r.status = header.first().trimmed();
    for (const QByteArray& line : header) {
        if (line.toLower().startsWith("x-cache-status:"))
            r.cache = line.mid(15).trimmed();
    }
    r.body = raw.mid(end + 4);
    return r;
}

// `count` requests at once, each on its own connection, as many viewers refreshing together.
QList<Response> fetchAtOnce(quint16 port, int count, const QByteArray& request = "GET / HTTP/1.0\r\n\r\n")
{
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    QList<QByteArray> raw(count);
    int finished = 0;
    for (int i = 0; i < count; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        QTcpSocket* s = socket.get();
        QObject::connect(s, &QTcpSocket::connected, s, [s, request] { s->write(request); });
        QObject::connect(s, &QTcpSocket::readyRead, s, [s, &raw, i] { raw[i] += s->readAll(); });
        QObject::connect(s, &QTcpSocket::stateChanged, s, [&finished](QAbstractSocket::SocketState state) {
            if (state == QAbstractSocket::UnconnectedState)
                ++finished;
        });
        s->connectToHost(QHostAddress::LocalHost, port);
        sockets.push_back(std::move(socket));
    }
    (void)QTest::qWaitFor([&] { return finished == count; }, 15000); // the unfinished show as empty
    QList<Response> out;
    for (const QByteArray& r : raw)
        out << split(r);
    return out;
}

Response fetchOne(quint16 port, const QByteArray& request = "GET / HTTP/1.0\r\n\r\n")
{
    return split(testsupport::fetch(port, request));
}

// The shipped configuration with this test's ports and cache folder; empty when a line it changes
// is no longer there as the test expects it.
QByteArray cacheConfiguration(quint16 listen, quint16 station, const QString& cacheFolder)
{
    QFile file(QStringLiteral(TARNVALE_CACHE_CONF));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray conf = file.readAll();
    const std::pair<QByteArray, QByteArray> changes[] = {
        {"    listen 8080;\n", "    listen 127.0.0.1:" + QByteArray::number(listen) + ";\n"},
        {"    listen [::]:8080;\n", ""},
        {"proxy_pass http://127.0.0.1:10000;", "proxy_pass http://127.0.0.1:" + QByteArray::number(station) + ';'},
        {"/var/cache/nginx/tarnvale", QFile::encodeName(cacheFolder)},
    };
    for (const auto& [from, to] : changes) {
        if (conf.count(from) != 1)
            return {};
        conf.replace(from, to);
    }
    return conf;
}

class Cache : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString nginx = QStandardPaths::findExecutable(QStringLiteral("nginx"), {"/usr/sbin", "/usr/local/sbin"});
        if (nginx.isEmpty())
            GTEST_SKIP() << "nginx is not installed (Debian: nginx-light)";
        stationPort = testsupport::freePort();
        ASSERT_TRUE(dfUnit.linkAs(folder.folder(), 1));
        folder.writeLines(testsupport::settingsLinesFor(stationPort));
        station = std::make_unique<testsupport::StationProcess>(QStringLiteral(TARNVALE_EXECUTABLE),
                                                                QFileInfo(folder.folder()).path(),
                                                                QStringList{QStringLiteral("--headless")});
        ASSERT_TRUE(testsupport::waitUntilServing(stationPort));

        relay = std::make_unique<testsupport::CountingRelay>(stationPort);
        ASSERT_NE(relay->port(), 0);
        cachePort = testsupport::freePort();
        const QByteArray site = cacheConfiguration(cachePort, relay->port(), work.filePath(QStringLiteral("cache")));
        ASSERT_FALSE(site.isEmpty()) << "packaging/nginx/tarnvale-cache.conf no longer has the lines this test changes";
        writeFile(QStringLiteral("site.conf"), site);
        const QByteArray root = QFile::encodeName(work.path());
        writeFile(QStringLiteral("nginx.conf"),
                  QByteArray(::geteuid() == 0 ? "user root;\n" : "") + "daemon off;\nworker_processes 1;\npid " + root
                      + "/nginx.pid;\nevents { worker_connections 1024; }\nhttp {\n    access_log off;\n"
                      + "    client_body_temp_path " + root + "/body;\n    proxy_temp_path " + root + "/proxy;\n"
                      + "    fastcgi_temp_path " + root + "/fastcgi;\n    uwsgi_temp_path " + root + "/uwsgi;\n"
                      + "    scgi_temp_path " + root + "/scgi;\n    include " + root + "/site.conf;\n}\n");
        proxy.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proxy.start(nginx, {"-p", work.path(), "-c", work.filePath(QStringLiteral("nginx.conf")), "-e",
                            work.filePath(QStringLiteral("error.log"))});
        ASSERT_TRUE(QTest::qWaitFor([this] {
            if (fetchOne(cachePort).status.startsWith("HTTP/1.1 200"))
                return true;
            QTest::qWait(20);
            return false;
        }, 10000)) << "nginx did not serve";
    }

    void TearDown() override
    {
        if (proxy.state() != QProcess::NotRunning) {
            proxy.terminate();
            proxy.waitForFinished(5000);
        }
    }

    void writeFile(const QString& name, const QByteArray& content) const
    {
        QFile file(work.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    // The document the station itself serves now (straight to it, not through the relay).
    QByteArray stationDocument() { return fetchOne(stationPort).body; }

    // Waits for the start of a second of the clock, then fetches through the cache: the copy of this
    // second is made, and the next few hundred milliseconds are served from it.
    void startOfASecond()
    {
        QTest::qWait(1000 - QTime::currentTime().msec() + 20);
        (void)fetchOne(cachePort);
    }

    testsupport::SettingsFolder folder;
    testsupport::Pty dfUnit;
    QTemporaryDir work;
    quint16 stationPort = 0;
    quint16 cachePort = 0;
    std::unique_ptr<testsupport::StationProcess> station;
    std::unique_ptr<testsupport::CountingRelay> relay;
    QProcess proxy;
};

TEST_F(Cache, ManyViewersReachTheStationOnceASecondWithTheBytesUnchanged)
{
    const QByteArray document = stationDocument();
    ASSERT_TRUE(document.startsWith("<?xml"));
    relay->resetCount();
    QElapsedTimer elapsed;
    elapsed.start();
    QList<Response> responses;
    while (elapsed.elapsed() < 2500)
        responses += fetchAtOnce(cachePort, 50);
    const qint64 took = elapsed.elapsed();
    ASSERT_GE(responses.size(), 500) << "too few requests in " << took << " ms for the count to mean much";
    int hits = 0;
    for (const Response& r : responses) {
        EXPECT_EQ(r.status, "HTTP/1.1 200 OK");
        EXPECT_EQ(r.body, document);
        hits += r.cache == "HIT" ? 1 : 0;
    }
    EXPECT_GE(hits, responses.size() - 4);
    // One request for each second of the clock the load reached into.
    const int seconds = static_cast<int>(took / 1000);
    EXPECT_GE(relay->connections(), seconds) << took << " ms";
    EXPECT_LE(relay->connections(), seconds + 2) << took << " ms";
}

TEST_F(Cache, ANewBearingReachesTheViewersWithinASecond)
{
    const QByteArray before = stationDocument();
    QElapsedTimer sent;
    sent.start();
    QByteArray drawn;
    // The DF unit keeps reporting (a bearing is withdrawn after a second of silence).
    const auto keepReporting = [&] {
        if (sent.elapsed() % 250 < 60)
            dfUnit.write("%045\r");
    };
    ASSERT_TRUE(QTest::qWaitFor([&] {
        keepReporting();
        drawn = stationDocument();
        return drawn != before;
    }, 3000));
    QElapsedTimer seen;
    seen.start();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        keepReporting();
        QTest::qWait(20);
        return fetchOne(cachePort).body == drawn;
    }, 3000));
    EXPECT_LE(seen.elapsed(), 1500); // the second's copy, and the time to fetch it on a busy machine
}

TEST_F(Cache, EveryPathSharesOneCopyAndNothingButReadingReachesTheStation)
{
    startOfASecond();
    relay->resetCount();
    const int second = QTime::currentTime().second();
    const QByteArray document = stationDocument();
    EXPECT_EQ(fetchOne(cachePort, "GET /station.kml HTTP/1.0\r\n\r\n").body, document);
    EXPECT_EQ(fetchOne(cachePort, "GET /?viewer=42 HTTP/1.0\r\n\r\n").body, document);
    const Response head = fetchOne(cachePort, "HEAD / HTTP/1.0\r\n\r\n");
    EXPECT_EQ(head.status, "HTTP/1.1 200 OK");
    EXPECT_TRUE(head.body.isEmpty());
    EXPECT_EQ(fetchOne(cachePort, "POST / HTTP/1.0\r\nContent-Length: 0\r\n\r\n").status, "HTTP/1.1 403 Forbidden");
    EXPECT_EQ(fetchOne(cachePort, "DELETE / HTTP/1.0\r\n\r\n").status, "HTTP/1.1 403 Forbidden");
    // All within the second whose copy was made, unless a busy machine made them run into the next.
    EXPECT_LE(relay->connections(), QTime::currentTime().second() == second ? 0 : 1);
}

} // namespace
