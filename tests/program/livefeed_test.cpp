// The live map's event stream of a real station: one event for each change the station makes, carrying
// the status after the whole handler, and none for anything else.
#include "mappedstation.h"
#include "support/loopback.h"
#include "program/commandline.h"
#include "program/webmap.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The station's live map served from this process, and one browser's event stream from it.
class LiveFeedOf : public MappedStation
{
protected:
    void SetUp() override
    {
        MappedStation::SetUp();
        if (HasFatalFailure())
            return;
        station::CommandLine commandLine;
        commandLine.webMapPort = testsupport::freePort();
        ASSERT_EQ(map.start(station, commandLine), 0);
        browser.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(commandLine.webMapPort));
        browser.write("GET /live HTTP/1.1\r\nHost: station\r\n\r\n");
        ASSERT_TRUE(QTest::qWaitFor([&] { return events().size() == 1; }, 3000));
    }
    // The line's properties of every status event received so far (the fix's events, of their own
    // type, are not the status).
    QList<QJsonObject> events()
    {
        stream += browser.readAll();
        QList<QJsonObject> lines;
        for (qsizetype at = stream.indexOf("data: "); at >= 0; at = stream.indexOf("data: ", at + 1)) {
            const qsizetype end = stream.indexOf("\n\n", at);
            if (end < 0)
                break;
            const qsizetype blockStart = stream.lastIndexOf("\n\n", at);
            if (stream.mid(blockStart + 1, at - blockStart - 1).contains("event: "))
                continue;
            const QJsonObject status = QJsonDocument::fromJson(stream.mid(at + 6, end - at - 6)).object();
            lines << status.value(QStringLiteral("features")).toArray().at(1).toObject().value(QStringLiteral("properties")).toObject();
        }
        return lines;
    }
    // Lets whatever the station would send go out and arrive: the events then received.
    QList<QJsonObject> eventsAfterASettle()
    {
        QTest::qWait(300);
        return events();
    }

    station::WebMap map;
    QTcpSocket browser;
    QByteArray stream;
};

} // namespace

TEST_F(LiveFeedOf, EachChangeIsSentOnceWithTheStatusAfterTheWholeHandlerAndNothingElseIs)
{
    // A bearing handled: one event, with the line drawn.
    drawBearing(45);
    ASSERT_TRUE(QTest::qWaitFor([&] { return events().size() == 2; }, 3000));
    QList<QJsonObject> seen = eventsAfterASettle();
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[1].value(QStringLiteral("bearing")).toInt(), 45);
    EXPECT_EQ(seen[1].value(QStringLiteral("df")).toString(), QStringLiteral("detected"));

    // DF input off changes the switch, the DF state, the bearing and the line in one handler: one event,
    // with all of it (the line collapses last of all).
    station.CmdButton_ACQUIRE_Click();
    seen = eventsAfterASettle();
    ASSERT_EQ(seen.size(), 3) << stream.constData();
    EXPECT_EQ(seen[2].value(QStringLiteral("df")).toString(), QStringLiteral("off"));
    EXPECT_TRUE(seen[2].value(QStringLiteral("bearing")).isNull());

    // Changes the map does not show, and a status changed without the station saying so (nothing asks
    // for it by itself), send nothing.
    station.model().openOptions();
    EXPECT_EQ(eventsAfterASettle().size(), 3) << stream.constData();
    station.state().START_LATITUDE = QStringLiteral("+52.00000");
    station.state().collapseLine();
    EXPECT_EQ(eventsAfterASettle().size(), 3) << stream.constData();

    // Test mode switched on and two ticks in one pass: one event, with the line the second tick drew.
    station.CmdButton_TEST_Click();
    station.timerTest().setEnabled(false); // the ticks are the test's
    station.Timer_TEST_Timer();
    station.Timer_TEST_Timer();
    seen = eventsAfterASettle();
    ASSERT_EQ(seen.size(), 4) << stream.constData();
    EXPECT_EQ(seen[3].value(QStringLiteral("df")).toString(), QStringLiteral("test"));
    EXPECT_EQ(seen[3].value(QStringLiteral("bearing")).toInt(), 42);
}
