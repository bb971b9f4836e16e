// Bearings from the DF unit simulator reach the map a viewer fetches: the line follows the sentences,
// with the station's calibration added, and collapses onto the station once the unit falls silent.
#include "livestation.h"


#include <QElapsedTimer>
#include <QTest>

using e2e::expectedMap;
using e2e::LiveStation;

TEST_F(LiveStation, TheLineFollowsAFixedBearingAndCollapsesAfterASecondOfSilence)
{
    settings.calibration = QStringLiteral("010");
    writeSettings();
    ASSERT_NO_FATAL_FAILURE(startSimulator({"--bearing", "35", "--period", "100", "--wait-open"}));
    ASSERT_NO_FATAL_FAILURE(startStation());
    const options::PositionTexts position = settings.position();
    ASSERT_EQ(position.latitude, QStringLiteral("+34.41852"));
    ASSERT_EQ(position.longitude, QStringLiteral("-119.74167"));
    EXPECT_TRUE(mapShows(expectedMap(position, 45))) << lastMap.line.toStdString() << lastMap.error.toStdString();


    QElapsedTimer silence;
    silence.start();
    EXPECT_EQ(simulator->stop(), 0);
    EXPECT_TRUE(mapShows(expectedMap(position, std::nullopt))) << lastMap.line.toStdString();
    // The watchdog waits a full second after the last sentence, which came at most one period before
    // the stop; the far end going away does not withdraw the bearing by itself.
    EXPECT_GE(silence.elapsed(), 600);
    EXPECT_TRUE(station->isRunning());
}

TEST_F(LiveStation, TheLineFollowsEachNewBearingWithTheCalibrationWrappedOnce)
{
    settings.calibration = QStringLiteral("010");
    writeSettings();
    ASSERT_NO_FATAL_FAILURE(startSimulator({"--file", "-", "--period", "0", "--wait-open"}));
    ASSERT_NO_FATAL_FAILURE(startStation());
    const options::PositionTexts position = settings.position();

    // The test plays the DF unit's operator: one reported bearing every 100 ms.
    QByteArray reported;
    QElapsedTimer pace;
    const auto keepReporting = [&] {
        if (!pace.isValid() || pace.elapsed() >= 100) {
            simulator->feed(reported + '\n');
            pace.start();
        }
    };
    const std::pair<const char*, qint16> steps[] = {{"35", 45}, {"110", 120}, {"355", 5}, {"349", 359}};
    for (const auto& [unit, served] : steps) {
        reported = unit;
        EXPECT_TRUE(mapShows(expectedMap(position, served), 5000, keepReporting))
            << unit << " -> " << lastMap.line.toStdString() << lastMap.error.toStdString();
    }
    EXPECT_TRUE(simulator->isRunning()) << simulator->errors().toStdString();
}

TEST_F(LiveStation, ATrailerLineFeedsAndNoiseBetweenSentencesStillGiveTheBearing)
{
    writeSettings();
    ASSERT_NO_FATAL_FAILURE(startSimulator({"--bearing", "200", "--trailer", "/7", "--lf", "--noise", "6", "--seed",
                                            "11", "--period", "50", "--wait-open"}));
    ASSERT_NO_FATAL_FAILURE(startStation());
    EXPECT_TRUE(mapShows(expectedMap(settings.position(), 200))) << lastMap.line.toStdString();
    // Later sentences, each behind fresh noise, keep it there.
    for (int i = 0; i < 8; ++i) {
        QTest::qWait(50);
        EXPECT_EQ(testsupport::fetchMap(settings.websitePort).line, expectedMap(settings.position(), 200).line);
    }
}
