#include "fix.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace geo {

namespace {

constexpr double kEarthRadiusM = 6371000;
constexpr double kRadiansPerDegree = std::numbers::pi / 180;
constexpr double kFullTurnDegrees = 360;
constexpr double kLeastCrossingDegrees = 10;
// sqrt of chi-square with two degrees of freedom at 95 % (5.991): the 95 % ellipse of a 2-D normal.
constexpr double kConfidenceScale = 2.45;
constexpr int kMostRounds = 50;
constexpr double kSettledM = 0.001;
// A fix on top of a station would give that station's line an infinite weight.
constexpr double kNearestM = 1;
constexpr double kLeastSpreadDegrees = 0.001;

struct Vec
{
    double x = 0;
    double y = 0;
};

Vec operator-(Vec a, Vec b)
{
    return {a.x - b.x, a.y - b.y};
}

double dot(Vec a, Vec b)
{
    return a.x * b.x + a.y * b.y;
}

double cross(Vec a, Vec b)
{
    return a.x * b.y - a.y * b.x;
}

// The longitude moved by whole turns to lie within half a turn of `reference`.
double unwrapped(double longitude, double reference)
{
    return reference + std::remainder(longitude - reference, kFullTurnDegrees);
}

// The east-north plane about the stations' mean position, in metres.
struct Plane
{
    double latitude0 = 0;
    double longitude0 = 0;
    double cosLatitude0 = 1;

    Vec at(double latitude, double longitude) const
    {
        return {unwrapped(longitude - longitude0, 0) * kRadiansPerDegree * cosLatitude0 * kEarthRadiusM,
                (latitude - latitude0) * kRadiansPerDegree * kEarthRadiusM};
    }
    double latitudeOf(Vec p) const { return latitude0 + p.y / kEarthRadiusM / kRadiansPerDegree; }
    double longitudeOf(Vec p) const
    {
        const double longitude = longitude0 + p.x / (kEarthRadiusM * cosLatitude0) / kRadiansPerDegree;
        return std::remainder(longitude, kFullTurnDegrees);
    }
};

// A line with a coordinate that is no number is drawn nowhere.
bool finite(const BearingRay& line)
{
    return std::isfinite(line.stationLatitude) && std::isfinite(line.stationLongitude)
        && std::isfinite(line.endLatitude) && std::isfinite(line.endLongitude);
}

Plane planeAbout(const QVector<BearingRay>& lines)
{
    Plane plane;
    double reference = 0;
    double latitudes = 0;
    double longitudes = 0;
    int stations = 0;
    for (const BearingRay& line : lines) {
        if (!finite(line))
            continue;
        if (stations++ == 0)
            reference = line.stationLongitude;
        latitudes += line.stationLatitude;
        longitudes += unwrapped(line.stationLongitude, reference);
    }
    if (stations == 0)
        return plane;
    plane.latitude0 = latitudes / stations;
    plane.longitude0 = longitudes / stations;
    plane.cosLatitude0 = std::max(std::cos(plane.latitude0 * kRadiansPerDegree), 1e-9);
    return plane;
}

struct Ray
{
    Vec station;
    Vec direction; // unit; zero for a line collapsed onto its station
    Vec normal;

    bool drawn() const { return direction.x != 0 || direction.y != 0; }
};

Ray rayOf(const BearingRay& line, const Plane& plane)
{
    Ray ray;
    if (!finite(line))
        return ray;
    ray.station = plane.at(line.stationLatitude, line.stationLongitude);
    const Vec end = plane.at(line.endLatitude, unwrapped(line.endLongitude, line.stationLongitude));
    const Vec along = end - ray.station;
    const double length = std::hypot(along.x, along.y);
    if (length > 0) {
        ray.direction = {along.x / length, along.y / length};
        ray.normal = {-ray.direction.y, ray.direction.x};
    }
    return ray;
}

enum class Crossing { None, Behind, InFront };

// How two rays cross: at less than the least angle (None), or where, seen from both stations.
Crossing crossingOf(const Ray& a, const Ray& b)
{
    const double sine = cross(a.direction, b.direction);
    if (std::fabs(sine) < std::sin(kLeastCrossingDegrees * kRadiansPerDegree))
        return Crossing::None;
    const Vec between = b.station - a.station;
    const double alongA = cross(between, b.direction) / sine;
    const double alongB = cross(between, a.direction) / sine;
    return alongA > 0 && alongB > 0 ? Crossing::InFront : Crossing::Behind;
}

// Sum of w n nᵀ over the rays: the normal equations' matrix, and the inverse of the fix's covariance.
struct Normal
{
    double xx = 0, xy = 0, yy = 0;
    Vec rhs;

    void add(const Ray& ray, double weight)
    {
        const Vec n = ray.normal;
        xx += weight * n.x * n.x;
        xy += weight * n.x * n.y;
        yy += weight * n.y * n.y;
        const double offset = dot(n, ray.station);
        rhs.x += weight * n.x * offset;
        rhs.y += weight * n.y * offset;
    }
    double determinant() const { return xx * yy - xy * xy; }
    Vec solution() const
    {
        const double det = determinant();
        return {(yy * rhs.x - xy * rhs.y) / det, (xx * rhs.y - xy * rhs.x) / det};
    }
};

// Stansfield's weight: a bearing's error across the line grows with the distance from its station.
double weightAt(const Ray& ray, Vec fix, double spreadRadians)
{
    const Vec offset = fix - ray.station;
    const double distance = std::max(std::hypot(offset.x, offset.y), kNearestM);
    const double across = spreadRadians * distance;
    return 1 / (across * across);
}

Normal weighted(const std::vector<Ray>& rays, Vec fix, double spreadRadians)
{
    Normal normal;
    for (const Ray& ray : rays)
        normal.add(ray, weightAt(ray, fix, spreadRadians));
    return normal;
}

// The 95 % ellipse of the covariance (the inverse of `information`), into `fix`.
void setEllipse(Fix& fix, const Normal& information)
{
    const double det = information.determinant();
    const double xx = information.yy / det;
    const double yy = information.xx / det;
    const double xy = -information.xy / det;
    const double mean = (xx + yy) / 2;
    const double half = std::hypot((xx - yy) / 2, xy);
    fix.semiMajorM = kConfidenceScale * std::sqrt(mean + half);
    fix.semiMinorM = kConfidenceScale * std::sqrt(std::max(mean - half, 0.0));
    // The major axis at this angle counterclockwise from east; as a bearing, clockwise from north.
    const double fromEast = 0.5 * std::atan2(2 * xy, xx - yy) / kRadiansPerDegree;
    double orientation = std::fmod(90 - fromEast, 180);
    if (orientation < 0)
        orientation += 180;
    fix.orientationDeg = orientation >= 180 ? 0 : orientation;
}

} // namespace

QString noFixText(NoFix reason)
{
    switch (reason) {
    case NoFix::OneLine:
        return QStringLiteral("one line");
    case NoFix::NearlyParallel:
        return QStringLiteral("lines nearly parallel");
    case NoFix::BehindStation:
        return QStringLiteral("crossing behind a station");
    }
    return QStringLiteral("one line");
}

FixOutcome locate(const QVector<BearingRay>& lines, double spreadDegrees)
{
    FixOutcome outcome;
    outcome.linesConsidered = static_cast<int>(lines.size());

    const Plane plane = planeAbout(lines);
    std::vector<Ray> rays;
    rays.reserve(static_cast<size_t>(lines.size()));
    for (const BearingRay& line : lines)
        rays.push_back(rayOf(line, plane));

    // A line counts when it crosses some other line steeply enough in front of both stations.
    std::vector<bool> counts(rays.size(), false);
    int drawn = 0;
    bool behind = false;
    for (size_t i = 0; i < rays.size(); ++i) {
        if (!rays[i].drawn())
            continue;
        ++drawn;
        for (size_t j = i + 1; j < rays.size(); ++j) {
            if (!rays[j].drawn())
                continue;
            const Crossing crossing = crossingOf(rays[i], rays[j]);
            behind = behind || crossing == Crossing::Behind;
            if (crossing == Crossing::InFront)
                counts[i] = counts[j] = true;
        }
    }

    std::vector<Ray> used;
    Fix fix;
    for (size_t i = 0; i < rays.size(); ++i) {
        if (!counts[i])
            continue;
        used.push_back(rays[i]);
        const BearingRay& line = lines[static_cast<qsizetype>(i)];
        fix.used.append(line);
        if (line.time.isValid() && (!fix.time.isValid() || line.time > fix.time))
            fix.time = line.time;
    }
    if (used.size() < 2) {
        outcome.reason = drawn < 2 ? NoFix::OneLine : behind ? NoFix::BehindStation : NoFix::NearlyParallel;
        return outcome;
    }

    // The unweighted crossing first, then Stansfield's weights from the distances to it, until it settles.
    Normal plain;
    for (const Ray& ray : used)
        plain.add(ray, 1);
    Vec point = plain.solution();
    const double spread = std::max(spreadDegrees, kLeastSpreadDegrees) * kRadiansPerDegree;
    for (int round = 0; round < kMostRounds; ++round) {
        const Vec next = weighted(used, point, spread).solution();
        const Vec moved = next - point;
        point = next;
        if (std::hypot(moved.x, moved.y) < kSettledM)
            break;
    }

    setEllipse(fix, weighted(used, point, spread));
    fix.latitude = plane.latitudeOf(point);
    fix.longitude = plane.longitudeOf(point);
    outcome.fix = fix;
    return outcome;
}

} // namespace geo
