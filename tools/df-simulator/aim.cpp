#include "aim.h"

#include "core/geo/lineend.h"

#include <algorithm>
#include <cmath>

namespace dfsim {

namespace {

constexpr double kEarthRadiusM = 6'371'000;
constexpr double kPi = 3.14159265358979323846;

struct Plane
{
    double x = 0; // metres east of the station
    double y = 0; // metres north of it
};

double radians(double degrees)
{
    return degrees * kPi / 180;
}

// Longitude differences taken the short way round, so a station by 180 degrees sees both sides.
double longitudeDifference(double to, double from)
{
    return std::remainder(to - from, 360.0);
}

Plane onPlane(const GeoPoint& station, const GeoPoint& point)
{
    return {radians(longitudeDifference(point.longitude, station.longitude)) * std::cos(radians(station.latitude)) * kEarthRadiusM,
            radians(point.latitude - station.latitude) * kEarthRadiusM};
}

} // namespace

double missDistance(const GeoPoint& station, const GeoPoint& target, int bearing)
{
    const geo::LineEndDegrees end = geo::lineEndDegrees(station.latitude, station.longitude, bearing);
    const Plane e = onPlane(station, {end.latitude, end.longitude});
    const Plane t = onPlane(station, target);
    const double lengthSquared = e.x * e.x + e.y * e.y;
    const double along = lengthSquared > 0 ? std::clamp((t.x * e.x + t.y * e.y) / lengthSquared, 0.0, 1.0) : 0.0;
    return std::hypot(t.x - along * e.x, t.y - along * e.y);
}

int nearestBearing(const GeoPoint& station, const GeoPoint& target)
{
    int best = 0;
    double bestMiss = missDistance(station, target, 0);
    for (int bearing = 1; bearing < 360; ++bearing) {
        const double miss = missDistance(station, target, bearing);
        if (miss < bestMiss) {
            best = bearing;
            bestMiss = miss;
        }
    }
    return best;
}

int scatteredBearing(int bearing, double spreadDegrees, double standardNormal)
{
    const long long rounded = std::llround(bearing + spreadDegrees * standardNormal);
    return static_cast<int>((rounded % 360 + 360) % 360);
}

} // namespace dfsim
