#include "lineend.h"

#include <cmath>

namespace geo {

namespace {
constexpr double kLineMiles = 25;
constexpr double kMilesPerNauticalMile = 1.152;
constexpr double kDegreesPerNauticalMile = 0.0166666666666667;
constexpr double kFullTurnRadians = 6.283;
constexpr double kFullTurnDegrees = 360;
constexpr double kRightAngle = 90;
} // namespace

LineEndDegrees lineEndDegrees(double latitude, double longitude, int bearingDegrees)
{
    const int fromEast = static_cast<int>(kRightAngle) - bearingDegrees;
    double theta = fromEast / kFullTurnDegrees * kFullTurnRadians;
    if (theta < 0)
        theta += kFullTurnRadians;

    const double lengthNm = kLineMiles / kMilesPerNauticalMile;
    const double north = lengthNm * kDegreesPerNauticalMile * std::sin(theta);
    const double eastArc = lengthNm * kDegreesPerNauticalMile * std::cos(theta);

    const double stretch = std::sin((kRightAngle - std::fabs(latitude)) / kFullTurnDegrees * kFullTurnRadians);
    const double east = eastArc / stretch;

    return {latitude + north, longitude + east};
}

} // namespace geo
