#include "trials.h"

#include "core/geo/coordtext.h"
#include "core/geo/endpoint.h"
#include "core/geo/fix.h"

#include <cmath>
#include <numbers>
#include <random>
#include <utility>

namespace fixtrials {

namespace {

constexpr double kMetresPerDegree = 6371000 * std::numbers::pi / 180;
constexpr double kRadiansPerDegree = std::numbers::pi / 180;
constexpr int kStations = 3;

// East and north metres from (latitude, longitude) to the other point, on the flat plane about it.
std::pair<double, double> offset(double latitude, double longitude, double toLatitude, double toLongitude)
{
    return {std::remainder(toLongitude - longitude, 360) * std::cos(latitude * kRadiansPerDegree) * kMetresPerDegree,
            (toLatitude - latitude) * kMetresPerDegree};
}

} // namespace

Coverage run(int trials, unsigned seed, double spreadDegrees, double targetLatitude, double targetLongitude)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> distance(10000, 20000);
    std::uniform_real_distribution<double> swing(-30, 30);
    std::normal_distribution<double> noise(0, spreadDegrees);
    const double metresPerDegreeEast = kMetresPerDegree * std::cos(targetLatitude * kRadiansPerDegree);
    Coverage coverage;
    coverage.trials = trials;
    for (int trial = 0; trial < trials; ++trial) {
        QVector<geo::BearingRay> lines;
        for (int k = 0; k < kStations; ++k) {
            // The station's direction from the target, as a bearing, and its coordinate texts.
            const double from = (k * 360.0 / kStations + swing(random)) * kRadiansPerDegree;
            const double metres = distance(random);
            const QString latitude = geo::latitudeText(targetLatitude + metres * std::cos(from) / kMetresPerDegree);
            const QString longitude = geo::longitudeText(targetLongitude + metres * std::sin(from) / metresPerDegreeEast);
            const double stationLatitude = geo::readCoordinate(latitude);
            const double stationLongitude = geo::readCoordinate(longitude);
            const auto [east, north] = offset(stationLatitude, stationLongitude, targetLatitude, targetLongitude);
            const double truth = std::atan2(east, north) / kRadiansPerDegree;
            const int reported = ((static_cast<int>(std::lround(truth + noise(random))) % 360) + 360) % 360;
            const geo::EndPoint end = geo::bearingLineEnd(latitude, longitude, static_cast<qint16>(reported), true);
            lines.append({QStringLiteral("station %1").arg(k), stationLatitude, stationLongitude,
                          geo::readCoordinate(end.latitude), geo::readCoordinate(end.longitude), reported, {}});
        }
        const geo::FixOutcome outcome = geo::locate(lines, spreadDegrees);
        if (!outcome.fix)
            continue;
        const geo::Fix& fix = *outcome.fix;
        ++coverage.fixes;
        // The target in the ellipse's own axes, as fractions of them.
        const auto [east, north] = offset(fix.latitude, fix.longitude, targetLatitude, targetLongitude);
        const double axis = fix.orientationDeg * kRadiansPerDegree;
        const double along = (east * std::sin(axis) + north * std::cos(axis)) / fix.semiMajorM;
        const double across = (north * std::sin(axis) - east * std::cos(axis)) / fix.semiMinorM;
        coverage.inside += along * along + across * across <= 1 ? 1 : 0;
        coverage.errors.push_back(std::hypot(east, north));
        coverage.semiMajors.push_back(fix.semiMajorM);
    }
    return coverage;
}

} // namespace fixtrials
