// The station under a crowd of map viewers on loopback (a few hundred clients asking again and again,
// bounded in count and time), and how it stops: settings first, then no more connections, then the
// answers under way finish; SIGTERM ends the real program while the crowd keeps asking.
#include "stationsetup.h"

#include "platform/messages.h"
#include "core/station/stationcore.h"
#include "support/loopback.h"
#include "support/loopbackload.h"
#include "support/messagerecorder.h"
#include "support/rawclient.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <limits>

namespace {

constexpr int kCrowd = 300;
const QByteArray kGet = "GET / HTTP/1.0\r\n\r\n";

bool wholeMap(const QByteArray& answer)
{
    return answer.startsWith("HTTP/1.0 200 OK") && answer.endsWith("</kml>");
}

class Crowd : public hardening::StationSetup
{
protected:
    void SetUp() override
    {
        hardening::StationSetup::SetUp();
        ASSERT_TRUE(testsupport::allowOpenFiles(4 * kCrowd));
    }
};

} // namespace

TEST_F(Crowd, ShutdownWritesTheSettingsThenStopsAcceptingAndLetsTheAnswerUnderWayFinish)
{
    platform::Messages shown;
    testsupport::MessageRecorder messages(shown);
    StationCore station(shown);
    ASSERT_TRUE(station.Form_Load());
    const QDateTime written = QFileInfo(folder.settingsFile()).lastModified();

    testsupport::RawClient silent(port);
    testsupport::RawClient viewer(port);
    ASSERT_TRUE(QTest::qWaitFor([&] { return station.httpServer().state(2) == 7; }));
    ASSERT_TRUE(viewer.send(kGet)); // not yet read by the station

    bool settingsFirst = false;
    bool refusedThen = false;
    QObject::connect(&station, &StationCore::acceptingStopped, [&] {
        settingsFirst = QFileInfo(folder.settingsFile()).lastModified() != written;
        refusedThen = !testsupport::RawClient(port).isOpen();
    });
    QSignalSpy closed(&station, &StationCore::closed);
    QTest::qWait(20); // a rewritten file shows a later time
    station.shutDown();

    EXPECT_TRUE(settingsFirst);
    EXPECT_TRUE(refusedThen);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(wholeMap(viewer.readUntilEnd(5000)));
    EXPECT_EQ(silent.peek(), testsupport::RawClient::Seen::Ended);
    EXPECT_EQ(station.exitStatus(), 0);
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(Crowd, AViewerAskingMeanwhileIsAnsweredWhileTheCrowdIsStillServed)
{
    testsupport::StationProcess station = startStation({QStringLiteral("--headless")});
    ASSERT_TRUE(testsupport::waitUntilServing(port));
    // The crowd stops after this many answers: an answer that waits for others' work to end comes
    // only after that.
    constexpr qint64 kCrowdAnswers = 100 * kCrowd;
    testsupport::LoopbackLoad crowd(port, kCrowd, kCrowdAnswers, 60);
    ASSERT_TRUE(QTest::qWaitFor([&] { return crowd.answered() >= kCrowd || crowd.finished(); }, 30000));
    for (int probe = 0; probe < 20; ++probe) {
        QTest::qWait(50);
        testsupport::RawClient viewer(port);
        ASSERT_TRUE(viewer.isOpen()) << probe;
        ASSERT_TRUE(viewer.send(kGet));
        EXPECT_TRUE(wholeMap(viewer.readUntilEnd(60000))) << probe;
        ASSERT_FALSE(crowd.finished()) << "viewer " << probe << " was answered only after the crowd of " << kCrowd
                                       << " had stopped (" << crowd.answered() << " answers)";
    }
}

TEST_F(Crowd, SigtermEndsTheStationWhileTheCrowdKeepsAskingAndThePortThenRefuses)
{
    testsupport::StationProcess station = startStation({QStringLiteral("--headless")});
    ASSERT_TRUE(testsupport::waitUntilServing(port));
    testsupport::LoopbackLoad crowd(port, kCrowd, std::numeric_limits<qint64>::max(), 60);
    ASSERT_TRUE(QTest::qWaitFor([&] { return crowd.answered() >= 2 * kCrowd || crowd.finished(); }, 30000));
    station.signal(SIGTERM);
    const int status = station.waitForExit(30000);
    const bool crowdStillAsking = !crowd.finished();
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(crowdStillAsking) << "the station ended only once the crowd had stopped";
    EXPECT_FALSE(testsupport::RawClient(port).isOpen());
    crowd.stop();
    const QByteArray said = station.standardError();
    EXPECT_TRUE(said.contains("Settings written to "));
    EXPECT_TRUE(said.trimmed().endsWith("Station closed"));
}
