#include "stationfixture.h"

#include <QTest>

using namespace Qt::StringLiterals;

TEST_F(StationOnPty, ASentenceFromTheDfUnitDrawsTheCalibratedBearing)
{
    ASSERT_TRUE(sendSentence("%045\r"));
    EXPECT_EQ(state().BEARING_DEGREES, 45);
    EXPECT_TRUE(state().DF_VALID);
    EXPECT_EQ(endPoint(), lineTo(45));
    EXPECT_NE(endPoint(), stationPoint());
    EXPECT_EQ(reportedBearing(), fromDf(45));
    EXPECT_EQ(dfStatus(), u"DF = DETECTED"_s);
    EXPECT_TRUE(station.timerDf().isEnabled());
    EXPECT_FALSE(state().DF_ARRIVING);
    EXPECT_TRUE(state().DF_BUFFER.isEmpty());

    state().DF_CAL = 10;
    ASSERT_TRUE(sendSentence("%355\r"));
    EXPECT_EQ(state().BEARING_DEGREES, 5);
    EXPECT_EQ(endPoint(), lineTo(5));

    state().DF_CAL = 0;
    ASSERT_TRUE(sendSentence("%-05\r"));
    EXPECT_EQ(reportedBearing(), fromDf(-5));
    ASSERT_TRUE(sendSentence("%\r"));
    EXPECT_EQ(reportedBearing(), fromDf(0));
}

TEST_F(StationOnPty, SentencesSplitAcrossReadsAndAfterNoiseArriveWhole)
{
    ASSERT_TRUE(send("%0", [this] { return state().DF_BUFFER == u"%0"_s; }));
    EXPECT_TRUE(state().DF_ARRIVING);
    EXPECT_EQ(reportedBearing(), std::nullopt);
    ASSERT_TRUE(send("45\r%04", [this] { return state().DF_BUFFER == u"%04"_s; }));
    EXPECT_EQ(state().BEARING_DEGREES, 45);
    ASSERT_TRUE(send("6\r\n", [this] { return state().BEARING_DEGREES == 46; }));
    EXPECT_EQ(endPoint(), lineTo(46));

    ASSERT_TRUE(sendSentence("12\n\x01\xff%123\r\n"));
    EXPECT_EQ(state().BEARING_DEGREES, 123);
    EXPECT_EQ(endPoint(), lineTo(123));
    EXPECT_EQ(reportedBearing(), fromDf(123));
}

TEST_F(StationOnPty, InTestModeASentenceOnlyShowsActivity)
{
    ASSERT_TRUE(sendSentence("%045\r"));
    const QStringList drawn = endPoint();
    station.model().setTestMode(true);
    station.timerDf().setEnabled(false);

    ASSERT_TRUE(sendSentence("%100\r"));
    EXPECT_TRUE(station.timerDf().isEnabled()); // the watchdog still hears the DF unit
    EXPECT_EQ(state().BEARING_DEGREES, 45);
    EXPECT_TRUE(state().DF_VALID);
    EXPECT_EQ(endPoint(), drawn);
    EXPECT_EQ(reportedBearing(), fromDf(45));
}

TEST_F(StationOnPty, AFieldTooLargeForABearingShowsActivityButDrawsNothing)
{
    ASSERT_TRUE(sendSentence("%9E9\r"));
    EXPECT_TRUE(station.timerDf().isEnabled());
    EXPECT_FALSE(state().DF_VALID);
    EXPECT_EQ(endPoint(), stationPoint());
    EXPECT_EQ(reportedBearing(), std::nullopt);

    ASSERT_TRUE(sendSentence("%045\r"));
    ASSERT_TRUE(sendSentence("%9E9\r")); // the last usable bearing stays
    EXPECT_EQ(state().BEARING_DEGREES, 45);
    EXPECT_EQ(endPoint(), lineTo(45));
}

TEST_F(StationOnPty, NoiseWithoutEndNeverGrowsTheSentenceBeyondItsBound)
{
    QByteArray noise(4096, 'x');
    noise[0] = '%';
    qsizetype longest = 0;
    QObject::connect(&station.serialPort(), &platform::SerialPort::onComm, &station,
                     [&] { longest = std::max(longest, state().DF_BUFFER.size()); });
    for (qsizetype at = 0; at < noise.size(); at += 512) {
        ASSERT_TRUE(pty.write(noise.mid(at, 512)));
        QTest::qWait(5);
    }
    QTest::qWait(20);
    EXPECT_LE(longest, 256);
    EXPECT_FALSE(state().DF_VALID);
    ASSERT_TRUE(sendSentence("%045\r"));
    EXPECT_EQ(state().BEARING_DEGREES, 45);
}
