#pragma once
// Where the transmitter is, from the bearing lines of several stations as each draws them on its map:
// the lines' crossing by weighted least squares (Stansfield's weights) on a flat east-north plane about
// the stations, its 95 % error ellipse, and the fix written for the live map (GeoJSON) and for a map
// viewer (KML).

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

#include <optional>

namespace geo {

struct BearingRay // one bearing line as drawn on a station's map
{
    QString source;              // "self", or the peer's URL as shown (escaped)
    double stationLatitude = 0;  // degrees, north positive
    double stationLongitude = 0; // degrees, east positive
    double endLatitude = 0;      // the drawn line's far end
    double endLongitude = 0;
    int bearing = 0;             // whole degrees, as the station reports it
    QDateTime time;              // UTC: when drawn (for a KML peer: when read)
};

struct PeerMark // what the page shows of one peer
{
    QString source; // its URL as shown
    double stationLatitude = 0;
    double stationLongitude = 0;
    std::optional<BearingRay> line; // while its line counts (drawn, read within 3 s, not a test bearing)
};

enum class NoFix { OneLine, NearlyParallel, BehindStation };

// "one line", "lines nearly parallel", "crossing behind a station"
QString noFixText(NoFix reason);

struct Fix
{
    double latitude = 0, longitude = 0;
    double semiMajorM = 0, semiMinorM = 0;
    double orientationDeg = 0; // major axis, clockwise from true north, [0, 180)
    QVector<BearingRay> used;
    QDateTime time;            // the newest bearing used
};

struct FixOutcome
{
    std::optional<Fix> fix;
    NoFix reason = NoFix::OneLine; // when there is no fix
    int linesConsidered = 0;
};

// The fix from the lines given (spreadDegrees: the standard deviation of one bearing). A line that
// crosses no other line at 10 degrees or more in front of both stations is left out; a line collapsed
// onto its station is drawn nowhere and crosses nothing.
FixOutcome locate(const QVector<BearingRay>& lines, double spreadDegrees);

// /fix.json: a GeoJSON FeatureCollection on one line, plus the member "peers":
// [{"source": url, "station": [lon, lat], "line": [[lon, lat], [lon, lat]] (only while it counts)}, ...]
QByteArray fixGeoJson(const FixOutcome& outcome, const QVector<PeerMark>& peers);

// /fix.kml: a KML 2.2 document with the fix and its ellipse, or an empty one saying why there is none.
QByteArray fixKml(const FixOutcome& outcome);

} // namespace geo
