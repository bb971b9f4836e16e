// Whether the fix's 95 % ellipse means what it says. Each trial puts three stations 10 to 20 km from a
// target, spread round it (120 degrees apart, give or take 30), has each report the true bearing plus
// Gaussian noise of the given spread, rounded to whole degrees as a DF unit sends it, draws each line
// as the station draws it, and finds the fix. Prints, one "name value" a line: the trials, how many
// found a fix, how many ellipses held the target, and the fix's distance from the target (median and
// 90th percentile, metres) and the ellipses' median semi-major axis.
//
//   tarnvale-bench-fixcoverage [TRIALS [SEED [SPREAD_DEGREES]]]     (200, 1, 3)
#include "core/geo/coordtext.h"
#include "core/geo/endpoint.h"
#include "core/geo/fix.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

namespace {

constexpr double kMetresPerDegree = 6371000 * std::numbers::pi / 180;
constexpr double kRadiansPerDegree = std::numbers::pi / 180;
constexpr double kTargetLatitude = 51.5;
constexpr double kTargetLongitude = -1.2;
constexpr int kStations = 3;

// East and north metres from (latitude, longitude) to the other point, on the flat plane about it.
std::pair<double, double> offset(double latitude, double longitude, double toLatitude, double toLongitude)
{
    return {std::remainder(toLongitude - longitude, 360) * std::cos(latitude * kRadiansPerDegree) * kMetresPerDegree,
            (toLatitude - latitude) * kMetresPerDegree};
}

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(share * static_cast<double>(values.size() - 1))];
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int trials = args.value(1, QStringLiteral("200")).toInt();
    const unsigned seed = args.value(2, QStringLiteral("1")).toUInt();
    const double spread = args.value(3, QStringLiteral("3")).toDouble();
    if (args.size() > 4 || trials < 1 || spread <= 0) {
        std::fprintf(stderr, "usage: tarnvale-bench-fixcoverage [TRIALS [SEED [SPREAD_DEGREES]]]\n");
        return 2;
    }

    std::mt19937 random(seed);
    std::uniform_real_distribution<double> distance(10000, 20000);
    std::uniform_real_distribution<double> swing(-30, 30);
    std::normal_distribution<double> noise(0, spread);
    int fixes = 0;
    int inside = 0;
    std::vector<double> errors;
    std::vector<double> majors;
    for (int trial = 0; trial < trials; ++trial) {
        QVector<geo::BearingRay> lines;
        for (int k = 0; k < kStations; ++k) {
            // The station's direction from the target, as a bearing.
            const double from = (k * 360.0 / kStations + swing(random)) * kRadiansPerDegree;
            const double metres = distance(random);
            const QString latitude = geo::latitudeText(kTargetLatitude + metres * std::cos(from) / kMetresPerDegree);
            const QString longitude = geo::longitudeText(
                kTargetLongitude
                + metres * std::sin(from) / (kMetresPerDegree * std::cos(kTargetLatitude * kRadiansPerDegree)));
            const double stationLatitude = geo::readCoordinate(latitude);
            const double stationLongitude = geo::readCoordinate(longitude);
            const auto [east, north] = offset(stationLatitude, stationLongitude, kTargetLatitude, kTargetLongitude);
            const double truth = std::atan2(east, north) / kRadiansPerDegree;
            const int reported = ((static_cast<int>(std::lround(truth + noise(random))) % 360) + 360) % 360;
            const geo::EndPoint end = geo::bearingLineEnd(latitude, longitude, static_cast<qint16>(reported), true);
            lines.append({QStringLiteral("station %1").arg(k), stationLatitude, stationLongitude,
                          geo::readCoordinate(end.latitude), geo::readCoordinate(end.longitude), reported, {}});
        }
        const geo::FixOutcome outcome = geo::locate(lines, spread);
        if (!outcome.fix)
            continue;
        const geo::Fix& fix = *outcome.fix;
        ++fixes;
        const auto [east, north] = offset(fix.latitude, fix.longitude, kTargetLatitude, kTargetLongitude);
        const double axis = fix.orientationDeg * kRadiansPerDegree;
        const double along = (east * std::sin(axis) + north * std::cos(axis)) / fix.semiMajorM;
        const double across = (-east * std::cos(axis) + north * std::sin(axis)) / fix.semiMinorM;
        inside += along * along + across * across <= 1 ? 1 : 0;
        errors.push_back(std::hypot(east, north));
        majors.push_back(fix.semiMajorM);
    }

    std::printf("trials %d\nfixes %d\ninside %d\nmedian_error_m %.1f\np90_error_m %.1f\nmedian_semi_major_m %.1f\n",
                trials, fixes, inside, percentile(errors, 0.5), percentile(errors, 0.9), percentile(majors, 0.5));
    return 0;
}
