#include "stationfixture.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTime>

#include <algorithm>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

TEST_F(StationOnPty, SilenceAfterTheLastSentenceWithdrawsTheBearing)
{
    // Sentences every half interval keep the watchdog from expiring.
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(sendSentence(QByteArray("%0") + QByteArray::number(40 + i) + "\r"));
        QTest::qWait(500);
        EXPECT_EQ(dfStatus(), u"DF = DETECTED"_s) << i;
        EXPECT_TRUE(state().DF_VALID) << i;
    }
    EXPECT_EQ(endPoint(), lineTo(43));

    // Then one interval of silence.
    ASSERT_TRUE(QTest::qWaitFor([this] { return dfStatus() == u"DF = SILENT"_s; }, 3000));
    EXPECT_EQ(reportedBearing(), std::nullopt);
    EXPECT_FALSE(state().DF_VALID);
    EXPECT_EQ(endPoint(), stationPoint());
    EXPECT_EQ(state().BEARING_DEGREES, 43); // kept; only DF_VALID says it is stale
    EXPECT_FALSE(station.timerDf().isEnabled());
}

TEST_F(StationOnPty, ExpiryDropsAHalfReceivedSentenceAndItsRestUpToTheNextStart)
{
    ASSERT_TRUE(sendSentence("%045\r"));
    ASSERT_TRUE(send("%1", [this] { return state().DF_BUFFER == u"%1"_s; }));
    station.Timer_DF_Timer();
    EXPECT_FALSE(state().DF_ARRIVING);
    EXPECT_TRUE(state().DF_BUFFER.isEmpty());
    EXPECT_EQ(endPoint(), stationPoint());

    // "00" and CR of the dropped sentence arrive while idle; only the next sentence counts.
    ASSERT_TRUE(sendSentence("00\r%046\r"));
    EXPECT_EQ(state().BEARING_DEGREES, 46);
    EXPECT_EQ(endPoint(), lineTo(46));
}

TEST_F(StationOnPty, ExpiryNamesTheReasonByTheDfInputSwitch)
{
    station.Timer_DF_Timer();
    EXPECT_EQ(dfStatus(), u"DF = SILENT"_s);
    station.model().setDfInput(false);
    station.Timer_DF_Timer();
    EXPECT_EQ(dfStatus(), u"DF INPUT = OFF"_s);
    station.model().setDfInput(true);
    station.Timer_DF_Timer();
    EXPECT_EQ(dfStatus(), u"DF = SILENT"_s);
}

TEST_F(StationOnPty, TestBearingsFollowTheClockWithoutCalibration)
{
    int second = 0;
    station.setClock([&] { return QTime(12, 0, second); });
    state().DF_CAL = 10;
    ASSERT_TRUE(sendSentence("%200\r"));
    station.Timer_DF_Timer(); // bearing withdrawn
    model().setDfStatus(station::DfStatus::Silent);

    // First tick after a withdrawn bearing: shown, but the line stays collapsed.
    station.Timer_TEST_Timer();
    EXPECT_EQ(reportedBearing(), fromTest(0));
    EXPECT_EQ(state().BEARING_DEGREES, 0);
    EXPECT_TRUE(state().DF_VALID);
    EXPECT_EQ(endPoint(), stationPoint());
    EXPECT_TRUE(station.timerDf().isEnabled());

    const struct { int second; qint16 degrees; } ticks[] = {{1, 6}, {17, 102}, {59, 354}};
    for (const auto& t : ticks) {
        second = t.second;
        station.Timer_TEST_Timer();
        EXPECT_EQ(reportedBearing(), fromTest(t.degrees));
        EXPECT_EQ(state().BEARING_DEGREES, t.degrees);
        EXPECT_EQ(endPoint(), lineTo(t.degrees));
    }
    // The receiver and the DF status are not the generator's business.
    EXPECT_EQ(dfStatus(), u"DF = SILENT"_s);
    EXPECT_FALSE(state().DF_ARRIVING);
}

TEST_F(StationOnPty, ATestTickRestartsTheWatchdogAndKeepsAPartialSentence)
{
    ASSERT_TRUE(send("%04", [this] { return state().DF_BUFFER == u"%04"_s; }));
    station.setClock([] { return QTime(8, 30, 2); });
    station.Timer_TEST_Timer();
    EXPECT_TRUE(station.timerDf().isEnabled());
    EXPECT_EQ(state().DF_BUFFER, u"%04"_s);
    EXPECT_EQ(state().BEARING_DEGREES, 12);
}

TEST(Watchdog, NeverWithdrawsABearingBeforeOneFullSecond)
{
    // Thirty stations, each sent one sentence and then left silent; the clock starts when the CR has
    // been written, before the station can have read it, so no expiry may come sooner than 1000 ms.
    constexpr int kStations = 30;
    testsupport::SettingsFolder settings;
    platform::Messages messages;
    std::vector<std::unique_ptr<testsupport::Pty>> units;
    std::vector<std::unique_ptr<StationCore>> stations;
    for (int i = 0; i < kStations; ++i) {
        units.push_back(std::make_unique<testsupport::Pty>());
        ASSERT_TRUE(units.back()->linkAs(settings.folder(), i + 1));
        stations.push_back(std::make_unique<StationCore>(messages));
        ASSERT_TRUE(stations.back()->serialPort().setCommPort(i + 1));
        ASSERT_TRUE(stations.back()->serialPort().setPortOpen(true));
    }
    std::vector<QElapsedTimer> sent(kStations);
    std::vector<qint64> silentAfterMs(kStations, -1);
    for (int i = 0; i < kStations; ++i) {
        QObject::connect(&stations[i]->model(), &station::StationModel::dfStatusChanged, [&, i](station::DfStatus status) {
            if (status == station::DfStatus::Silent && silentAfterMs[i] < 0)
                silentAfterMs[i] = sent[i].elapsed();
        });
    }
    for (int i = 0; i < kStations; ++i) {
        stations[i]->model().setDfStatus(station::DfStatus::InputOff);
        ASSERT_TRUE(units[i]->write("%123\r"));
        sent[i].start();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return std::all_of(silentAfterMs.begin(), silentAfterMs.end(), [](qint64 ms) { return ms >= 0; });
    }, 5000));
    for (int i = 0; i < kStations; ++i) {
        EXPECT_EQ(stations[i]->state().BEARING_DEGREES, 123) << i;
        EXPECT_GE(silentAfterMs[i], 1000) << "station " << i;
    }
}
