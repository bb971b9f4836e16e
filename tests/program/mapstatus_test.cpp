// What the live map shows of the station: the DF state by the switches and the bearing's validity, the
// bearing only while its line is drawn, and the time of the last line drawn.
#include "mappedstation.h"
#include "program/mapstatus.h"

#include <QTest>
#include <functional>
#include <vector>
#include <gtest/gtest.h>

namespace {

class MapStatusOf : public MappedStation
{
protected:
    geo::MapStatus status() { return station::mapStatus(station.model()); }
};

} // namespace

TEST_F(MapStatusOf, ABearingDrawnShowsWithItsTimeAndTheLineTheKmlHas)
{
    geo::MapStatus before = status();
    EXPECT_EQ(before.df, QStringLiteral("silent"));
    EXPECT_FALSE(before.bearing);
    EXPECT_FALSE(before.time.isValid());
    EXPECT_EQ(before.port, 10000);

    const QDateTime from = QDateTime::currentDateTimeUtc();
    drawBearing(45);
    const geo::MapStatus drawn = status();
    EXPECT_EQ(drawn.df, QStringLiteral("detected"));
    EXPECT_EQ(drawn.bearing, 45);
    EXPECT_GE(drawn.time, from);
    EXPECT_LE(drawn.time, QDateTime::currentDateTimeUtc());
    EXPECT_EQ(drawn.time.timeSpec(), Qt::UTC);
    EXPECT_EQ(drawn.endLatitude, QStringLiteral("+51.75575"));
    EXPECT_EQ(drawn.endLongitude, QStringLiteral("+000.29086"));
    EXPECT_EQ(drawn.startLatitude, station.state().START_LATITUDE);
}

TEST_F(MapStatusOf, AWithdrawnBearingKeepsItsTimeButNotItsNumber)
{
    drawBearing(45);
    const QDateTime drawnAt = status().time;
    station.Timer_DF_Timer(); // the DF unit fell silent
    const geo::MapStatus silent = status();
    EXPECT_EQ(silent.df, QStringLiteral("silent"));
    EXPECT_FALSE(silent.bearing);
    EXPECT_EQ(silent.time, drawnAt);
    EXPECT_EQ(silent.endLatitude, silent.startLatitude);

    // A position edit collapses the line too: no bearing is claimed for a line that is not drawn.
    drawBearing(90);
    station.state().START_LATITUDE = QStringLiteral("+52.00000");
    station.state().collapseLine();
    station.model().setLine(station.state().line());
    EXPECT_FALSE(status().bearing);
    EXPECT_EQ(status().df, QStringLiteral("detected")); // the bearing is still valid until the watchdog
}

TEST_F(MapStatusOf, TestModeWinsOverDfInputOffWhichWinsOverTheBearing)
{
    // Each DF state is announced once, when it changes, and the map reads it as announced.
    QStringList announced;
    QObject::connect(&station.model(), &station::StationModel::dfStateChanged, [&] { announced << status().df; });
    drawBearing(45);
    station.CmdButton_ACQUIRE_Click(); // DF input off
    EXPECT_EQ(status().df, QStringLiteral("off"));
    EXPECT_FALSE(status().bearing);

    station.CmdButton_TEST_Click();
    EXPECT_EQ(status().df, QStringLiteral("test"));
    // The first tick after a withdrawn bearing draws no line yet, the second does.
    station.Timer_TEST_Timer();
    EXPECT_FALSE(status().bearing);
    station.Timer_TEST_Timer();
    EXPECT_EQ(status().bearing, 42);

    station.CmdButton_TEST_Click();
    EXPECT_EQ(status().df, QStringLiteral("off"));
    EXPECT_FALSE(status().bearing);
    EXPECT_TRUE(status().time.isValid());
    EXPECT_EQ(announced, QStringList({"detected", "off", "test", "off"}));
}

TEST_F(MapStatusOf, EveryChangeOfItIsAnnouncedByTheModelInTheSameHandler)
{
    // The live feed hears only the model: the model must hold the line the KML document serves after every
    // handler, and a handler that changes the status must raise one of the signals the feed follows.
    int announced = 0;
    const auto count = [&] { ++announced; };
    const station::StationModel& model = station.model();
    QObject::connect(&model, &station::StationModel::lineChanged, count);
    QObject::connect(&model, &station::StationModel::bearingDrawn, count);
    QObject::connect(&model, &station::StationModel::dfStateChanged, count);
    QObject::connect(&model, &station::StationModel::websiteChanged, count);

    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"bearing", [&] { drawBearing(45); }},
        {"watchdog", [&] { station.Timer_DF_Timer(); }},
        {"second bearing", [&] { drawBearing(90); }},
        {"DF input off", [&] { station.CmdButton_ACQUIRE_Click(); }},
        {"test mode on", [&] { station.CmdButton_TEST_Click(); }},
        {"first tick", [&] { station.Timer_TEST_Timer(); }},
        {"second tick", [&] { station.Timer_TEST_Timer(); }},
        {"hemisphere", [&] { station.options().CmdButton_LAT_HEMI_Click(); }},
        {"tick after the move", [&] { station.Timer_TEST_Timer(); }},
        {"test mode off", [&] { station.CmdButton_TEST_Click(); }},
        {"DF input on", [&] { station.CmdButton_ACQUIRE_Click(); }},
    };
    for (const auto& [name, step] : steps) {
        const QByteArray before = geo::statusGeoJson(status());
        announced = 0;
        step();
        EXPECT_EQ(model.line(), station.state().line()) << name;
        EXPECT_EQ(model.websitePort(), station.state().WEBSITE_PORT) << name;
        if (geo::statusGeoJson(status()) != before) {
            EXPECT_GT(announced, 0) << name;
        }
    }
}
