// What the live map serves of the stations' fix and of the hunt over time: the documents as the station
// gives them (and what they say before it does), and the fix as events of their own type on /live.
#include "servedmap.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>

namespace {

// The same map, its own suite.
class LiveFixServed : public LiveMapServed
{
};

// One page's event stream from the map.
struct Stream
{
    explicit Stream(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.write("GET /live HTTP/1.1\r\nHost: station\r\nAccept: text/event-stream\r\n\r\n");
    }
    // The events received so far, after the response's head.
    QByteArray events()
    {
        bytes += socket.readAll();
        const qsizetype head = bytes.indexOf("\r\n\r\n");
        return head < 0 ? QByteArray() : bytes.mid(head + 4);
    }
    bool endsWith(const QByteArray& tail)
    {
        return QTest::qWaitFor([&] { return events().endsWith(tail); }, 3000);
    }

    QTcpSocket socket;
    QByteArray bytes;
};

QByteArray statusEvent(const QByteArray& status)
{
    return "data: " + status + "\n\n";
}

QByteArray fixEvent(const QByteArray& fix)
{
    return "event: fix\ndata: " + fix + "\n\n";
}

} // namespace

TEST_F(LiveFixServed, TheFixAndTheHistoryAreAskedAtEachRequestAndSayNothingYetBeforeTheStationGivesThem)
{
    // Before the station gives them: no fix, for there is only one line, and no bearings.
    const Response noFix = get("/fix.json");
    EXPECT_EQ(noFix.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(noFix.headers.at("content-type"), "application/geo+json");
    EXPECT_EQ(noFix.headers.at("cache-control"), "no-store");
    const QJsonObject none = QJsonDocument::fromJson(noFix.body).object();
    EXPECT_EQ(none.value(QStringLiteral("type")).toString(), QStringLiteral("FeatureCollection"));
    EXPECT_EQ(none.value(QStringLiteral("features")).toArray(), QJsonArray());
    EXPECT_EQ(none.value(QStringLiteral("reason")).toString(), QStringLiteral("one line"));
    EXPECT_EQ(none.value(QStringLiteral("lines")).toInt(-1), 0);

    const Response noKml = get("/fix.kml");
    EXPECT_EQ(noKml.headers.at("content-type"), "application/vnd.google-earth.kml+xml");
    EXPECT_EQ(noKml.headers.at("cache-control"), "no-store");
    QXmlStreamReader kml(noKml.body);
    QStringList elements;
    while (kml.readNext() != QXmlStreamReader::EndDocument && !kml.hasError()) {
        if (kml.isStartElement())
            elements << kml.namespaceUri().toString() + u' ' + kml.name().toString();
    }
    EXPECT_FALSE(kml.hasError()) << kml.errorString().toStdString() << noKml.body.constData();
    EXPECT_EQ(elements, (QStringList{QStringLiteral("http://www.opengis.net/kml/2.2 kml"),
                                     QStringLiteral("http://www.opengis.net/kml/2.2 Document")}));

    const Response noHistory = get("/history.json");
    EXPECT_EQ(noHistory.headers.at("content-type"), "application/json");
    EXPECT_EQ(noHistory.headers.at("cache-control"), "no-store");
    EXPECT_EQ(noHistory.body, R"({"minutes":30,"bearings":[]})");

    // Given: each request gets the document as it is at that moment; the status is untouched.
    QByteArray fix = R"({"fix":1})";
    QByteArray kmlText = "<kml/>";
    QByteArray history = R"({"minutes":5,"bearings":[]})";
    map->setFixDocuments([&] { return fix; }, [&] { return kmlText; });
    map->setHistory([&] { return history; });
    EXPECT_EQ(get("/fix.json").body, fix);
    EXPECT_EQ(get("/fix.kml").body, kmlText);
    EXPECT_EQ(get("/history.json").body, history);
    fix = R"({"fix":2})";
    kmlText = "<kml>2</kml>";
    history = R"({"minutes":5,"bearings":[{}]})";
    EXPECT_EQ(get("/fix.json").body, fix);
    EXPECT_EQ(get("/fix.kml").body, kmlText);
    EXPECT_EQ(get("/history.json").body, history);
    EXPECT_EQ(get("/status.json").body, status);
    EXPECT_EQ(get("/fix.json?x=1").body, fix); // a page's cache-breaking query changes nothing
}

TEST_F(LiveFixServed, TheFixGoesOutAsItsOwnEventAfterTheStatusAndOnlyWhenItChanged)
{
    // Without a fix the stream carries the status alone, however often it is said to have changed.
    Stream before(port);
    ASSERT_TRUE(before.endsWith("retry: 1000\n\n" + statusEvent(status)));
    map->feed().fixChanged();
    QTest::qWait(300);
    EXPECT_EQ(before.events(), "retry: 1000\n\n" + statusEvent(status));

    // A fix given while a page follows: it gets the fix at once.
    QByteArray fix = R"({"fix":0})";
    map->setFixDocuments([&] { return fix; }, [] { return QByteArray(); });
    EXPECT_TRUE(before.endsWith(statusEvent(status) + fixEvent(fix))) << before.events().constData();

    // A new page gets the status and then the fix at once.
    Stream page(port);
    ASSERT_TRUE(page.endsWith("retry: 1000\n\n" + statusEvent(status) + fixEvent(fix))) << page.events().constData();
    QByteArray expected = page.events();

    // Said to have changed but did not: nothing.
    map->feed().fixChanged();
    QTest::qWait(300);
    EXPECT_EQ(page.events(), expected);

    // Changed twice in one handler: one event, with the fix after both.
    fix = R"({"fix":1})";
    map->feed().fixChanged();
    fix = R"({"fix":2})";
    map->feed().fixChanged();
    expected += fixEvent(fix);
    ASSERT_TRUE(page.endsWith(fixEvent(fix)));
    QTest::qWait(300);
    EXPECT_EQ(page.events(), expected);

    // The status and the fix changed in one handler: one of each, the status first; the status's own
    // event has no type, so a page's message handler sees only statuses.
    status = R"({"changed":1})";
    fix = R"({"fix":3})";
    map->feed().fixChanged();
    map->feed().statusChanged();
    expected += statusEvent(status) + fixEvent(fix);
    ASSERT_TRUE(page.endsWith(fixEvent(fix)));
    QTest::qWait(300);
    EXPECT_EQ(page.events(), expected);

    // A page opened later gets the fix as it is now, after the status.
    Stream late(port);
    ASSERT_TRUE(late.endsWith("retry: 1000\n\n" + statusEvent(status) + fixEvent(fix))) << late.events().constData();
}

TEST(LiveFeedEvent, ATextWithLineBreaksStaysOneEvent)
{
    EXPECT_EQ(web::LiveFeed::event("{\n\"a\":1\r\n,\r\"b\":2}", "fix"),
              "event: fix\ndata: {\ndata: \"a\":1\ndata: ,\ndata: \"b\":2}\n\n");
    EXPECT_EQ(web::LiveFeed::event("{}"), "data: {}\n\n");
}
