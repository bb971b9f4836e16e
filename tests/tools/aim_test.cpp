// Aiming at a transmitter: the bearing chosen for positions worked out by hand, and its scatter.
#include "aim.h"
#include "bearingsequence.h"
#include "noisegenerator.h"

#include <gtest/gtest.h>

#include <cmath>

using dfsim::GeoPoint;

namespace {

constexpr double kPi = 3.14159265358979323846;

// The point `metres` from `from` towards `azimuth` degrees, on the flat plane about it.
GeoPoint toward(const GeoPoint& from, double azimuth, double metres)
{
    const double north = metres * std::cos(azimuth * kPi / 180);
    const double east = metres * std::sin(azimuth * kPi / 180);
    return {from.latitude + north / 6'371'000 * 180 / kPi,
            from.longitude + east / (6'371'000 * std::cos(from.latitude * kPi / 180)) * 180 / kPi};
}

// a - b in degrees, the short way round: -180 to 180.
double turn(double a, double b)
{
    return std::remainder(a - b, 360.0);
}

} // namespace

TEST(NearestBearing, PointsWhereTheTargetWasPutByHand)
{
    const GeoPoint london{51.5, -0.12};
    const GeoPoint sydney{-33.9, 151.2};
    const struct
    {
        GeoPoint station;
        double azimuth;
        double metres;
        int bearing;
    } cases[] = {
        {london, 0, 12'000, 0},        {london, 90, 12'000, 90},     {london, 180, 12'000, 180},
        {london, 270, 12'000, 270},    {sydney, 225, 15'000, 225},   {sydney, 47.3, 18'000, 47},
        // The 359/0 boundary: 0.4 degrees either side of north goes to the nearer whole degree.
        {london, 359.6, 15'000, 0},    {london, 359.4, 15'000, 359}, {london, 0.4, 15'000, 0},
        {london, 0.6, 15'000, 1},
        // Past the 25-mile line's end: the line that ends nearest it.
        {sydney, 123.2, 100'000, 123}, {{0, 0}, 300, 5'000, 300},
    };
    for (const auto& c : cases) {
        const GeoPoint target = toward(c.station, c.azimuth, c.metres);
        EXPECT_EQ(dfsim::nearestBearing(c.station, target), c.bearing) << c.azimuth << " at " << c.metres << " m";
    }
    // Across 180 degrees east and west: due east and due west all the same.
    EXPECT_EQ(dfsim::nearestBearing({10, 179.95}, {10, -179.9}), 90);
    EXPECT_EQ(dfsim::nearestBearing({-10, -179.95}, {-10, 179.9}), 270);
}

TEST(ScatteredBearing, RoundsAndWrapsIntoTheCompass)
{
    EXPECT_EQ(dfsim::scatteredBearing(0, 3, -0.2), 359);
    EXPECT_EQ(dfsim::scatteredBearing(359, 1, 0.6), 0);
    EXPECT_EQ(dfsim::scatteredBearing(10, 0, 5), 10);
    EXPECT_EQ(dfsim::scatteredBearing(180, 45, 6.6), 117); // 180 + 297 = 477 -> 117
    EXPECT_EQ(dfsim::scatteredBearing(5, 45, -6.6), 68);   // 5 - 297 = -292 -> 68
}

TEST(ScatteredBearing, SpreadsAsAskedAboutTheAimedBearing)
{
    dfsim::NoiseGenerator noise(7);
    dfsim::BearingSequence readings = dfsim::BearingSequence::scattered(0, 3, noise);
    const int count = 20'000;
    double sum = 0;
    double squares = 0;
    int exact = 0;
    for (int i = 0; i < count; ++i) {
        const std::optional<int> reading = readings.next();
        ASSERT_TRUE(reading);
        ASSERT_GE(*reading, 0);
        ASSERT_LE(*reading, 359);
        const double off = turn(*reading, 0);
        ASSERT_LE(std::fabs(off), 21); // a draw never exceeds 6.7 standard deviations
        sum += off;
        squares += off * off;
        exact += off == 0;
    }
    const double mean = sum / count;
    const double deviation = std::sqrt(squares / count - mean * mean);
    EXPECT_NEAR(mean, 0, 0.1);
    // Rounding to whole degrees adds 1/12 to the variance.
    EXPECT_NEAR(deviation, std::sqrt(9 + 1.0 / 12), 0.1);
    // About 13 % of readings land on the bearing itself for a 3 degree spread (normal within +-0.5).
    EXPECT_NEAR(exact / double(count), 0.132, 0.015);

    // No spread: the bearing itself every time, and the seeded noise left for the line untouched.
    dfsim::NoiseGenerator used(9);
    dfsim::NoiseGenerator fresh(9);
    dfsim::BearingSequence steady = dfsim::BearingSequence::scattered(47, 0, used);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(steady.next(), 47);
    EXPECT_EQ(used.bytes(8), fresh.bytes(8));
}
