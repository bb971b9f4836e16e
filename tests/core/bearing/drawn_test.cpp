// Every bearing the station draws is announced once, in order, with what the next map carries: DF
// sentences with their calibration, test ticks only once the line is drawn.
#include "stationfixture.h"

#include <QTime>
#include <vector>

using station::DrawnBearing;

class DrawnBearings : public StationOnPty
{
protected:
    void SetUp() override
    {
        StationOnPty::SetUp();
        QObject::connect(&station, &StationCore::bearingDrawn, &station,
                         [this](const DrawnBearing& b) { drawn.push_back(b); });
    }

    // The drawn bearing is what the map shows right now.
    void expectShown(const DrawnBearing& b)
    {
        EXPECT_EQ(b.stationLatitude, state().START_LATITUDE);
        EXPECT_EQ(b.stationLongitude, state().START_LONGITUDE);
        EXPECT_EQ((QStringList{b.endLatitude, b.endLongitude}), endPoint());
        EXPECT_EQ((QStringList{b.endLatitude, b.endLongitude}), lineTo(b.degrees));
    }

    std::vector<DrawnBearing> drawn;
};

TEST_F(DrawnBearings, EachDfSentenceThatDrawsIsAnnouncedWithItsCalibration)
{
    state().DF_CAL = 10;
    ASSERT_TRUE(sendSentence("%355\r"));
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].source, DrawnBearing::Source::Df);
    EXPECT_EQ(drawn[0].degrees, 5);
    EXPECT_EQ(drawn[0].calibration, 10);
    expectShown(drawn[0]);

    // Two sentences in one read: two bearings, in order.
    ASSERT_TRUE(send("%010\r%020\r", [this] { return drawn.size() >= 3; }));
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(drawn[1].degrees, 20);
    EXPECT_EQ(drawn[2].degrees, 30);
    expectShown(drawn[2]);
}

TEST_F(DrawnBearings, ASentenceThatDrawsNothingAnnouncesNothing)
{
    ASSERT_TRUE(sendSentence("%9E9\r")); // activity, but no bearing a line can have
    EXPECT_TRUE(drawn.empty());
    station.CmdButton_TEST_Click();      // test mode: sentences only show the unit is alive
    ASSERT_TRUE(sendSentence("%045\r"));
    EXPECT_TRUE(drawn.empty());
    station.CmdButton_TEST_Click();
}

TEST_F(DrawnBearings, TheFirstTestTickAfterAWithdrawnBearingIsNotAnnouncedTheNextIs)
{
    station.setClock([] { return QTime(12, 0, 17); });
    ASSERT_FALSE(state().DF_VALID);
    station.Timer_TEST_Timer();
    EXPECT_TRUE(drawn.empty());
    EXPECT_EQ(endPoint(), stationPoint());

    state().DF_CAL = 10; // not applied to test bearings
    station.Timer_TEST_Timer();
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].source, DrawnBearing::Source::Test);
    EXPECT_EQ(drawn[0].degrees, 102);
    expectShown(drawn[0]);

    // The watchdog withdraws the line; the next tick again only brings it back.
    station.Timer_DF_Timer();
    station.Timer_TEST_Timer();
    EXPECT_EQ(drawn.size(), 1u);
    station.Timer_TEST_Timer();
    EXPECT_EQ(drawn.size(), 2u);
}
