// The live map as a browser and a hostile client meet it: fixed paths, GET and HEAD only, no bodies,
// the status now and as the station tells of its changes, and nothing written to the log for any of it.
#include "servedmap.h"
#include "support/rawclient.h"
#include "platform/httplistener.h"

#include <QElapsedTimer>
#include <QTcpServer>

#include <vector>

using testsupport::RawClient;

TEST_F(LiveMapServed, ThePageItsOwnFilesAndLeafletsUnderFixedPathsAndNothingElse)
{
    const Response page = get("/");
    EXPECT_EQ(page.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(page.headers.at("content-type"), "text/html; charset=utf-8");
    // The operator's tile address and its host as the credit, escaped for the page.
    EXPECT_TRUE(page.body.contains(R"(data-tiles="https://tiles.example/{z}/{x}/{y}.png?a=1&amp;b=&quot;2&quot;")"))
        << page.body.constData();
    EXPECT_TRUE(page.body.contains(R"(data-attribution="Map tiles: tiles.example")"));
    EXPECT_TRUE(page.body.contains(R"(<script src="leaflet/leaflet.js">)"));
    EXPECT_FALSE(page.body.contains("//unpkg") || page.body.contains("cdn")); // nothing from outside

    const Response script = get("/livemap.js");
    EXPECT_EQ(script.headers.at("content-type"), "text/javascript; charset=utf-8");
    EXPECT_TRUE(script.body.contains("EventSource('live')"));
    EXPECT_EQ(get("/livemap.css").headers.at("content-type"), "text/css; charset=utf-8");
    // The fix and the history follow the same stream through the script's handlers.
    EXPECT_TRUE(script.body.contains("addEventListener('fix'"));
    for (const QByteArray file : {"fix.js", "history.js"}) {
        EXPECT_TRUE(page.body.contains(R"(<script src=")" + file + R"("></script>)")) << file.constData();
        const Response part = get("/" + file);
        EXPECT_EQ(part.headers.at("content-type"), "text/javascript; charset=utf-8") << file.constData();
        EXPECT_TRUE(part.body.contains("window.tarnvale")) << file.constData();
    }

    EXPECT_EQ(get("/leaflet/leaflet.js").body, "window.L = {};");
    const Response compressed = get("/leaflet/leaflet.js", "Accept-Encoding: gzip, br\r\n");
    EXPECT_EQ(compressed.body, "\x1f\x8b compressed");
    EXPECT_EQ(compressed.headers.at("content-encoding"), "gzip");
    EXPECT_EQ(get("/leaflet/leaflet.css", "Accept-Encoding: gzip\r\n").body, ".leaflet-container {}"); // no .gz there
    EXPECT_EQ(get("/leaflet/images/marker-icon.png").headers.at("content-type"), "image/png");

    for (const char* path : {"/index.html", "/leaflet/leaflet.min.js", "/leaflet/../leaflet.css", "/leaflet/images/",
                             "/leaflet/images/layers.png" /* missing in this copy */, "/favicon.ico", "/status.json/",
                             "/LIVE", "//status.json"})
        EXPECT_EQ(get(path).statusLine, "HTTP/1.1 404 Not Found") << path;
}

TEST_F(LiveMapServed, AClientThatTakesItsAnswerSlowlyAndAsksToCloseStillGetsAllOfIt)
{
    // More than the system's socket buffers hold, so the rest waits in the station while the client
    // is busy: a phone on a weak link fetching Leaflet with "Connection: close".
    const QByteArray script(24 * 1024 * 1024, 'x');
    write(QStringLiteral("leaflet.min.js"), script);
    RawClient client(port);
    ASSERT_TRUE(client.isOpen());
    ASSERT_TRUE(client.send("GET /leaflet/leaflet.js HTTP/1.1\r\nHost: station\r\nConnection: close\r\n\r\n"));
    QTest::qWait(3000); // longer than a finished connection may linger without progress
    bool reset = false;
    const Response response = parse(client.readUntilEnd(30000, &reset));
    EXPECT_FALSE(reset);
    EXPECT_TRUE(response.complete);
    EXPECT_EQ(response.body.size(), script.size());
}

TEST_F(LiveMapServed, OnlyGetAndHeadAreServedAndHeadSendsNoBody)
{
    for (const char* method : {"POST", "PUT", "DELETE", "OPTIONS", "PATCH"}) {
        const Response refused = ask(QByteArray(method) + " / HTTP/1.1\r\nHost: station\r\n\r\n");
        EXPECT_EQ(refused.statusLine, "HTTP/1.1 405 Method Not Allowed") << method;
        EXPECT_EQ(refused.headers.at("allow"), "GET, HEAD") << method;
    }
    // A form posted to the page is refused for its method, its body read and dropped.
    EXPECT_EQ(ask("POST /status.json HTTP/1.1\r\nContent-Length: 3\r\n\r\na=1").statusLine, "HTTP/1.1 405 Method Not Allowed");

    for (const char* path : {"/", "/status.json", "/leaflet/leaflet.js", "/fix.json", "/fix.kml", "/history.json"}) {
        const Response full = get(path);
        RawClient client(port);
        ASSERT_TRUE(client.send("HEAD " + QByteArray(path) + " HTTP/1.1\r\nHost: station\r\nConnection: close\r\n\r\n"));
        const QByteArray head = client.readUntilEnd(5000);
        const Response headOnly = parse(head);
        EXPECT_EQ(headOnly.statusLine, "HTTP/1.1 200 OK") << path;
        EXPECT_EQ(headOnly.headers.at("content-length"), QByteArray::number(full.body.size())) << path;
        EXPECT_TRUE(head.endsWith("\r\n\r\n")) << path; // and nothing after the head
    }
}

TEST_F(LiveMapServed, RequestsWithABodyAreRefusedAndTheConnectionEnds)
{
    for (const QByteArray& request :
         {QByteArray("GET / HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello"),
          QByteArray("GET /status.json HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n")}) {
        RawClient client(port);
        ASSERT_TRUE(client.send(request));
        bool reset = true;
        const QByteArray answer = client.readUntilEnd(5000, &reset);
        EXPECT_TRUE(answer.startsWith("HTTP/1.1 413 Payload Too Large\r\n")) << answer.constData();
        EXPECT_FALSE(reset);
    }
}

TEST_F(LiveMapServed, Http10IsAnsweredInKindAndClosedAfterItsAnswerUnlessItAsksToKeepTheConnection)
{
    QElapsedTimer clock;
    clock.start();
    for (const char* path : {"/status.json", "/", "/nowhere", "/fix.json", "/fix.kml", "/history.json"}) {
        RawClient client(port);
        ASSERT_TRUE(client.send("GET " + QByteArray(path) + " HTTP/1.0\r\n\r\n"));
        bool reset = true;
        const QByteArray bytes = client.readUntilEnd(5000, &reset);
        const Response answer = parse(bytes);
        EXPECT_TRUE(answer.statusLine.startsWith("HTTP/1.0 ")) << path << ": " << bytes.constData();
        EXPECT_TRUE(answer.complete) << path;
        EXPECT_EQ(client.peek(), RawClient::Seen::Ended) << path;
        EXPECT_FALSE(reset) << path;
    }
    EXPECT_LT(clock.elapsed(), 5000); // each ended with its answer, long before the idle time

    // Asked to keep it: the answer says so, and the next request is answered on the same connection.
    QTcpSocket kept;
    kept.connectToHost(QHostAddress::LocalHost, port);
    QByteArray bytes;
    for (int i = 0; i < 2; ++i) {
        kept.write("GET /status.json HTTP/1.0\r\nConnection: keep-alive\r\n\r\n");
        ASSERT_TRUE(QTest::qWaitFor([&] {
            bytes += kept.readAll();
            return parse(bytes).complete;
        }, 3000)) << i;
        const Response answer = parse(bytes);
        EXPECT_EQ(answer.statusLine, "HTTP/1.0 200 OK");
        EXPECT_EQ(answer.headers.at("connection"), "keep-alive");
        EXPECT_EQ(answer.body, status);
        bytes.remove(0, bytes.indexOf("\r\n\r\n") + 4 + answer.body.size());
    }
    EXPECT_EQ(kept.state(), QAbstractSocket::ConnectedState);

    // HTTP/1.1 is answered as before: kept, with no word about it.
    const Response current = get("/status.json");
    EXPECT_EQ(current.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(current.headers.count("connection"), 0u);
}

TEST_F(LiveMapServed, AClientThatEndsItsSideAfterAskingStillGetsTheWholeAnswer)
{
    // Larger than the system's socket buffers, so most of it is still in the station when the client's
    // end is read.
    const QByteArray script(8 * 1024 * 1024, 'x');
    write(QStringLiteral("leaflet.min.js"), script);
    for (const QByteArray& path : {QByteArray("/leaflet/leaflet.js"), QByteArray("/status.json")}) {
        for (const char* version : {"HTTP/1.1", "HTTP/1.0"}) {
            RawClient client(port);
            ASSERT_TRUE(client.send("GET " + path + " " + version + "\r\nHost: station\r\n\r\n"));
            client.endSending();
            bool reset = true;
            const Response response = parse(client.readUntilEnd(20000, &reset));
            EXPECT_TRUE(response.complete) << path.constData() << " " << version;
            EXPECT_EQ(response.body.size(), path == "/status.json" ? status.size() : script.size()) << path.constData();
            EXPECT_FALSE(reset) << path.constData() << " " << version;
        }
    }
}

TEST_F(LiveMapServed, EventStreamsHaveALimitOfTheirOwnAndNeverKeepThePageOut)
{
    map->listener()->setMaxConnections(2);
    map->listener()->setMaxStreams(3);
    std::vector<std::unique_ptr<RawClient>> streams;
    for (int i = 0; i < 3; ++i) {
        streams.push_back(std::make_unique<RawClient>(port));
        ASSERT_TRUE(streams.back()->send("GET /live HTTP/1.1\r\nHost: station\r\n\r\n"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return map->feed().subscriberCount() == i + 1; }, 3000));
    }

    // Beyond the limit: told when to try again, and closed.
    RawClient refused(port);
    ASSERT_TRUE(refused.send("GET /live HTTP/1.1\r\nHost: station\r\n\r\n"));
    const Response busy = parse(refused.readUntilEnd(5000));
    EXPECT_EQ(busy.statusLine, "HTTP/1.1 503 Service Unavailable");
    EXPECT_EQ(busy.headers.count("retry-after") ? busy.headers.at("retry-after") : QByteArray(), "5");

    // The streams take none of the ordinary places.
    EXPECT_EQ(get("/").statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(get("/status.json").statusLine, "HTTP/1.1 200 OK");

    // One leaves: the next one gets its stream.
    streams.pop_back();
    ASSERT_TRUE(QTest::qWaitFor([&] { return map->listener()->streamCount() == 2; }, 3000));
    RawClient next(port);
    ASSERT_TRUE(next.send("GET /live HTTP/1.1\r\nHost: station\r\n\r\n"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return map->feed().subscriberCount() == 3; }, 3000));
}

TEST_F(LiveMapServed, StatusIsTheStationsNowAndLiveSendsItAtOnceAndOnEveryChangeItIsToldOf)
{
    const Response now = get("/status.json");
    EXPECT_EQ(now.headers.at("content-type"), "application/geo+json");
    EXPECT_EQ(now.headers.at("cache-control"), "no-store");
    EXPECT_EQ(now.body, status);

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    client.write("GET /live HTTP/1.1\r\nHost: station\r\nAccept: text/event-stream\r\n\r\n");
    QByteArray stream;
    const auto received = [&](const QByteArray& tail) {
        stream += client.readAll();
        return stream.endsWith(tail);
    };
    const QByteArray first = "data: " + status + "\n\n";
    ASSERT_TRUE(QTest::qWaitFor([&] { return received(first); }, 3000)) << stream.constData();
    EXPECT_TRUE(stream.startsWith("HTTP/1.1 200 OK\r\n"));
    const Response head = parse(stream);
    EXPECT_EQ(head.headers.at("content-type"), "text/event-stream");
    EXPECT_EQ(head.headers.count("content-length"), 0u);
    EXPECT_TRUE(stream.contains("\r\n\r\nretry: 1000\n\n" + first));
    EXPECT_EQ(map->feed().subscriberCount(), 1);

    // Told of a change that changed nothing: nothing more is sent.
    map->feed().statusChanged();
    QTest::qWait(300);
    EXPECT_TRUE(received(first));

    // Not told: nothing is sent, however long (nobody asks for the status by itself).
    status = R"({"changed":1})";
    QTest::qWait(500);
    EXPECT_TRUE(received(first));

    // Told twice by one handler: one event, with the status after both.
    map->feed().statusChanged();
    status = R"({"changed":2})";
    map->feed().statusChanged();
    EXPECT_TRUE(QTest::qWaitFor([&] { return received("data: {\"changed\":2}\n\n"); }, 3000)) << stream.constData();
    EXPECT_FALSE(stream.contains("{\"changed\":1}"));
    client.close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return map->feed().subscriberCount() == 0; }, 3000));
}

TEST_F(LiveMapServed, AWebSocketUpgradeIsNotFoundAndLeavesNoLine)
{
    QStringList warnings;
    static QStringList* sink = nullptr;
    sink = &warnings;
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        *sink << text;
    });
    RawClient client(port);
    ASSERT_TRUE(client.send("GET /live HTTP/1.1\r\nHost: station\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n"
                            "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n"));
    const QByteArray answer = client.readUntilEnd(5000);
    qInstallMessageHandler(previous);
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 404 Not Found\r\n")) << answer.constData();
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(u'\n').toStdString();
}

TEST(LiveMap, APortThatCannotBeUsedSaysWhy)
{
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::Any));
    web::LiveMap map([] { return QByteArray(); }, web::MapAssets());
    EXPECT_FALSE(map.listen(other.serverPort()));
    EXPECT_FALSE(map.errorString().isEmpty());
    EXPECT_FALSE(map.listen(70000));
    EXPECT_EQ(map.errorString(), QStringLiteral("not a port from 1 to 65535"));
}
