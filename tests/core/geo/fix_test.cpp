// The fix from several stations' lines, against cases worked by hand. A line from (lat, lon) through
// (lat + a, lon + b) is straight in latitude and longitude alike, and the flat plane the fix is found
// on is a linear map of them, so two lines meet where the latitude/longitude sums say. Distances: one
// degree is 6,371,000 m x pi / 180 = 111,194.93 m north (and east at the equator); a 3 degree spread is
// 0.0523599 rad; the 95 % ellipse is 2.45 standard deviations.
#include "core/geo/endpoint.h"
#include "core/geo/fix.h"

#include "core/geo/coordtext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <utility>

using geo::BearingRay;
using geo::locate;
using geo::NoFix;

namespace {

constexpr double kMetresPerDegree = 111194.93;

BearingRay line(double latitude, double longitude, double endLatitude, double endLongitude, int second = 0)
{
    return {QStringLiteral("self"), latitude, longitude, endLatitude, endLongitude, 0,
            QDateTime(QDate(2024, 5, 1), QTime(12, 0, second), Qt::UTC)};
}

// A line as the station draws it: its 25-mile end point from the coordinate texts.
BearingRay drawn(double latitude, double longitude, int bearing)
{
    const geo::EndPoint end = geo::bearingLineEnd(geo::latitudeText(latitude), geo::longitudeText(longitude),
                                                  static_cast<qint16>(bearing), true);
    BearingRay ray = line(latitude, longitude, geo::readCoordinate(end.latitude), geo::readCoordinate(end.longitude));
    ray.bearing = bearing;
    return ray;
}

double metresFrom(const geo::Fix& fix, double latitude, double longitude)
{
    const double east = std::remainder(fix.longitude - longitude, 360) * std::cos(latitude * std::numbers::pi / 180);
    return std::hypot(east, fix.latitude - latitude) * kMetresPerDegree;
}

} // namespace

TEST(Fix, TwoCrossingLinesMeetAtTheWorkedPointAndTheNewestTimeIsTheFixs)
{
    // lat 51.5 + t, lon -0.2 + t and lat 51.5 + s, lon 0.1 - s meet at t = s = 0.15: (51.65, -0.05).
    const auto outcome = locate({line(51.5, -0.2, 51.7, 0.0, 3), line(51.5, 0.1, 51.8, -0.2, 9)}, 3);
    ASSERT_TRUE(outcome.fix);
    EXPECT_LT(metresFrom(*outcome.fix, 51.65, -0.05), 1.0);
    EXPECT_EQ(outcome.fix->used.size(), 2);
    EXPECT_EQ(outcome.fix->time, QDateTime(QDate(2024, 5, 1), QTime(12, 0, 9), Qt::UTC));
    EXPECT_EQ(outcome.linesConsidered, 2);
}

TEST(Fix, TheEllipseGrowsWithEachStationsDistanceAlongTheRightAxis)
{
    // An east line 0.1 deg from the fix at (0, 0.1) pins north within 2.45 x 0.0523599 x 11,119.5 m
    // = 1,426.4 m; a north line 0.2 deg away pins east within 2,852.8 m: the major axis runs east (90).
    const auto two = locate({line(0, 0, 0, 0.3), line(-0.2, 0.1, 0.2, 0.1)}, 3);
    ASSERT_TRUE(two.fix);
    EXPECT_LT(metresFrom(*two.fix, 0, 0.1), 1.0);
    EXPECT_NEAR(two.fix->semiMajorM, 2852.8, 1.0);
    EXPECT_NEAR(two.fix->semiMinorM, 1426.4, 1.0);
    EXPECT_NEAR(two.fix->orientationDeg, 90, 0.01);

    // Three lines through (0.1, 0.1): at 45 and 315 deg, 0.14142 deg away (w = 1 / 823.37 m squared
    // each, their normals summing to w times the identity), and east from 0.2 deg (1,164.43 m). East:
    // 2.45 x 823.37 = 2,017.3 m; north: 2.45 / sqrt(1/823.37^2 + 1/1164.43^2) = 1,647.1 m.
    const auto three = locate({line(0, 0, 0.2, 0.2), line(0, 0.2, 0.2, 0), line(0.1, -0.1, 0.1, 0.3)}, 3);
    ASSERT_TRUE(three.fix);
    EXPECT_LT(metresFrom(*three.fix, 0.1, 0.1), 1.0);
    EXPECT_NEAR(three.fix->semiMajorM, 2017.3, 1.0);
    EXPECT_NEAR(three.fix->semiMinorM, 1647.1, 1.0);
    EXPECT_NEAR(three.fix->orientationDeg, 90, 0.01);

    // The spread scales the ellipse, not the fix.
    const auto tight = locate({line(0, 0, 0, 0.3), line(-0.2, 0.1, 0.2, 0.1)}, 1);
    EXPECT_NEAR(tight.fix->semiMajorM, 2852.8 / 3, 1.0);
}

TEST(Fix, ALineFromAFarStationPullsTheFixLessThanTheSameLineFromANearOne)
{
    // East and north lines meet at (0, 0); a third line lon = lat + 0.01 misses that by 0.01 deg. Drawn
    // from a station near the crossing it weighs more than from one four times as far back on it.
    const BearingRay east = line(0, -0.1, 0, 0.3);
    const BearingRay north = line(-0.1, 0, 0.3, 0);
    const auto nearThird = locate({east, north, line(-0.05, -0.04, 0.25, 0.26)}, 3);
    const auto farThird = locate({east, north, line(-0.2, -0.19, 0.1, 0.11)}, 3);
    ASSERT_TRUE(nearThird.fix && farThird.fix);
    EXPECT_GT(metresFrom(*nearThird.fix, 0, 0), metresFrom(*farThird.fix, 0, 0) + 200);
}

TEST(Fix, LinesThatCrossBadlyAreLeftOutAndWithFewerThanTwoThereIsNoFix)
{
    // Five degrees apart, and five degrees off meeting head-on: nearly parallel both.
    auto outcome = locate({drawn(0, 0, 0), drawn(0, 0.1, 5)}, 3);
    EXPECT_FALSE(outcome.fix);
    EXPECT_EQ(outcome.reason, NoFix::NearlyParallel);
    outcome = locate({drawn(0, 0, 0), drawn(0.5, 0.05, 185)}, 3);
    EXPECT_EQ(outcome.reason, NoFix::NearlyParallel);

    // East from (0, 0) and south from (-0.2, 0.1) would meet at (0, 0.1), north of the second station.
    outcome = locate({drawn(0, 0, 90), drawn(-0.2, 0.1, 180)}, 3);
    EXPECT_FALSE(outcome.fix);
    EXPECT_EQ(outcome.reason, NoFix::BehindStation);
    EXPECT_EQ(outcome.linesConsidered, 2);
    // West from (0, 0), north from (-0.2, 0.1): the same point, behind the first.
    EXPECT_EQ(locate({drawn(0, 0, 270), drawn(-0.2, 0.1, 0)}, 3).reason, NoFix::BehindStation);

    // One station alone, none, or a second line collapsed onto its station.
    outcome = locate({drawn(0, 0, 90)}, 3);
    EXPECT_TRUE(!outcome.fix && outcome.reason == NoFix::OneLine && outcome.linesConsidered == 1);
    outcome = locate({}, 3);
    EXPECT_TRUE(!outcome.fix && outcome.reason == NoFix::OneLine && outcome.linesConsidered == 0);
    outcome = locate({drawn(0, 0, 90), line(-0.2, 0.1, -0.2, 0.1)}, 3);
    EXPECT_TRUE(!outcome.fix && outcome.reason == NoFix::OneLine && outcome.linesConsidered == 2);

    // A north line from (0.5, 0.1) runs beside the north line from (-0.2, 0.1) and meets the east
    // line behind its own station: the other two make the fix, in the order given.
    BearingRay beside = drawn(0.5, 0.1, 0);
    beside.source = QStringLiteral("http://peer/");
    outcome = locate({beside, drawn(0, 0, 90), drawn(-0.2, 0.1, 0)}, 3);
    ASSERT_TRUE(outcome.fix);
    EXPECT_EQ(outcome.linesConsidered, 3);
    ASSERT_EQ(outcome.fix->used.size(), 2);
    EXPECT_EQ(outcome.fix->used[0].bearing, 90);
    EXPECT_EQ(outcome.fix->used[1].bearing, 0);
    EXPECT_EQ(geo::noFixText(NoFix::BehindStation), QStringLiteral("crossing behind a station"));
}

TEST(Fix, NorthLinesEitherSideOfZeroDegreesKeepTheMajorAxisInItsRange)
{
    // West from (0, 0.5) and north from (-0.1, 0), as drawn: the west line ends at (0.00003, 0.13831)
    // (the station's turn of 6.283 rad tilts it a little), so it crosses longitude 0 at latitude
    // 0.00003 x 0.5 / 0.36169 = 0.0000415; the north line ends at (0.26169, 0.00002) and reaches there
    // at longitude 0.0000055. The far west line leaves north the least certain: the major axis runs
    // north, written near 0 (never negative, never 180).
    auto outcome = locate({drawn(0, 0.5, 270), drawn(-0.1, 0, 0)}, 3);
    ASSERT_TRUE(outcome.fix);
    EXPECT_LT(metresFrom(*outcome.fix, 0.0000415, 0.0000055), 1.0);
    // At 359 deg the north line ends at (0.26164, -0.00630), at 1 deg at (0.26163, 0.00633): at
    // latitude 0.0000415 they are at longitude -0.0063 x 0.10004 / 0.36164 = -0.0017428 and 0.0017511.
    for (const auto& [bearing, longitude] : {std::pair{359, -0.0017428}, std::pair{1, 0.0017511}}) {
        outcome = locate({drawn(0, 0.5, 270), drawn(-0.1, 0, bearing)}, 3);
        ASSERT_TRUE(outcome.fix);
        EXPECT_LT(metresFrom(*outcome.fix, 0.0000415, longitude), 1.0) << bearing;
        const double axis = outcome.fix->orientationDeg;
        EXPECT_TRUE(axis >= 0 && axis < 180) << axis;
        EXPECT_LT(std::min(axis, 180 - axis), 3.0) << axis;
    }
}

TEST(Fix, StationsEitherSideOfTheDateLineAndTheEquator)
{
    // South-east from (0.05, 179.95): lat 0.05 - s, lon 179.95 + s; south-west from (0.05, -179.85) =
    // 180.15: lat 0.05 - t, lon 180.15 - t; north from (-0.15, -179.95). All three pass through
    // (-0.05, 180.05) = (-0.05, -179.95). The far ends are given wrapped, as a peer's document has them.
    const auto outcome = locate({line(0.05, 179.95, -0.25, -179.75), line(0.05, -179.85, -0.25, 179.85),
                                 line(-0.15, -179.95, 0.15, -179.95)},
                                3);
    ASSERT_TRUE(outcome.fix);
    EXPECT_EQ(outcome.fix->used.size(), 3);
    EXPECT_LT(metresFrom(*outcome.fix, -0.05, -179.95), 1.0);
    EXPECT_NEAR(outcome.fix->longitude, -179.95, 1e-4);
}
