// The fix as the live map's GeoJSON and as a map viewer's KML document.
#include "fix.h"

#include "coordtext.h"
#include "geojson.h"

#include <cmath>
#include <numbers>
#include <algorithm>

namespace geo {

namespace {

constexpr double kEarthRadiusM = 6371000;
constexpr double kRadiansPerDegree = std::numbers::pi / 180;
constexpr int kRingPoints = 72; // every 5 degrees round the ellipse, then the first again
constexpr double kConfidence = 0.95;

struct Position
{
    double latitude = 0;
    double longitude = 0;
};

// The ellipse round the fix, counterclockwise (east, then north) and closed: the first point again at
// the end. The offsets are laid on the fix's own flat east-north plane, as the fix was found on one.
QVector<Position> ellipseRing(const Fix& fix)
{
    const double orientation = fix.orientationDeg * kRadiansPerDegree;
    const double majorEast = std::sin(orientation);
    const double majorNorth = std::cos(orientation);
    // The minor axis a quarter turn counterclockwise from the major one.
    const double minorEast = -majorNorth;
    const double minorNorth = majorEast;
    const double metresPerDegreeNorth = kEarthRadiusM * kRadiansPerDegree;
    const double metresPerDegreeEast =
        metresPerDegreeNorth * std::max(std::cos(fix.latitude * kRadiansPerDegree), 1e-9);

    QVector<Position> ring;
    ring.reserve(kRingPoints + 1);
    for (int i = 0; i < kRingPoints; ++i) {
        const double angle = 2 * std::numbers::pi * i / kRingPoints;
        const double along = fix.semiMajorM * std::cos(angle);
        const double across = fix.semiMinorM * std::sin(angle);
        const double east = along * majorEast + across * minorEast;
        const double north = along * majorNorth + across * minorNorth;
        ring.append({fix.latitude + north / metresPerDegreeNorth, fix.longitude + east / metresPerDegreeEast});
    }
    ring.append(ring.front());
    return ring;
}

// Coordinates with the five decimals of the station's own coordinate texts.
QByteArray position(double latitude, double longitude)
{
    return '[' + jsonNumber(longitudeText(longitude)) + ',' + jsonNumber(latitudeText(latitude)) + ']';
}

QByteArray kmlPosition(double latitude, double longitude)
{
    return jsonNumber(longitudeText(longitude)) + ',' + jsonNumber(latitudeText(latitude)) + ",0";
}

QByteArray tenths(double value)
{
    return QByteArray::number(value, 'f', 1);
}

// The major axis to a tenth of a degree, still in [0, 180).
QByteArray orientationText(double degrees)
{
    const double rounded = std::round(degrees * 10) / 10;
    return tenths(rounded >= 180 ? rounded - 180 : rounded);
}

QByteArray timeText(const QDateTime& time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODate).toLatin1() : QByteArray();
}

QByteArray feature(const QByteArray& geometry, const QByteArray& properties)
{
    return R"({"type":"Feature","geometry":)" + geometry + R"(,"properties":{)" + properties + "}}";
}

QByteArray fixFeatures(const Fix& fix)
{
    const QByteArray time = timeText(fix.time);
    QByteArray features = feature(R"({"type":"Point","coordinates":)" + position(fix.latitude, fix.longitude) + '}',
                                  R"("stations":)" + QByteArray::number(fix.used.size())
                                      + R"(,"semi_major_m":)" + tenths(fix.semiMajorM)
                                      + R"(,"semi_minor_m":)" + tenths(fix.semiMinorM)
                                      + R"(,"orientation_deg":)" + orientationText(fix.orientationDeg)
                                      + R"(,"confidence":)" + QByteArray::number(kConfidence)
                                      + R"(,"time":)" + (time.isEmpty() ? QByteArray("null") : '"' + time + '"'));

    QByteArray ring;
    for (const Position& point : ellipseRing(fix))
        ring += (ring.isEmpty() ? "" : ",") + position(point.latitude, point.longitude);
    features += ',' + feature(R"({"type":"Polygon","coordinates":[[)" + ring + "]]}", QByteArray());

    for (const BearingRay& line : fix.used) {
        features += ','
            + feature(R"({"type":"LineString","coordinates":[)" + position(line.stationLatitude, line.stationLongitude)
                          + ',' + position(line.endLatitude, line.endLongitude) + "]}",
                      R"("source":)" + jsonString(line.source) + R"(,"bearing":)" + QByteArray::number(line.bearing));
    }
    return features;
}

QByteArray peerMember(const PeerMark& peer)
{
    QByteArray member = R"({"source":)" + jsonString(peer.source) + R"(,"station":)"
        + position(peer.stationLatitude, peer.stationLongitude);
    if (peer.line) {
        member += R"(,"line":[)" + position(peer.line->stationLatitude, peer.line->stationLongitude) + ','
            + position(peer.line->endLatitude, peer.line->endLongitude) + ']';
    }
    return member + '}';
}

// What a map viewer shows on clicking the fix.
QString summaryOf(const Fix& fix)
{
    const auto latin1 = [](const QByteArray& text) { return QString::fromLatin1(text); };
    return QStringLiteral("Latitude %1, longitude %2; 95 % ellipse: semi-major axis %3 m, semi-minor %4 m, "
                          "major axis %5 deg from north; %6 lines; newest bearing %7")
        .arg(latin1(jsonNumber(latitudeText(fix.latitude))), latin1(jsonNumber(longitudeText(fix.longitude))),
             latin1(tenths(fix.semiMajorM)), latin1(tenths(fix.semiMinorM)), latin1(orientationText(fix.orientationDeg)))
        .arg(fix.used.size())
        .arg(latin1(timeText(fix.time)));
}

QByteArray xmlEscaped(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

} // namespace

QByteArray fixGeoJson(const FixOutcome& outcome, const QVector<PeerMark>& peers)
{
    QByteArray json = R"({"type":"FeatureCollection","features":[)";
    if (outcome.fix) {
        json += fixFeatures(*outcome.fix) + ']';
    } else {
        json += R"(],"reason":)" + jsonString(noFixText(outcome.reason))
            + R"(,"lines":)" + QByteArray::number(outcome.linesConsidered);
    }
    json += R"(,"peers":[)";
    for (qsizetype i = 0; i < peers.size(); ++i)
        json += (i == 0 ? "" : ",") + peerMember(peers[i]);
    return json + "]}";
}

QByteArray fixKml(const FixOutcome& outcome)
{
    QByteArray kml = R"(<?xml version="1.0" encoding="UTF-8"?>)"
                     R"(<kml xmlns="http://www.opengis.net/kml/2.2"><Document>)";
    if (!outcome.fix) {
        const QString why = noFixText(outcome.reason) + QStringLiteral(" (%1 considered)")
                                .arg(outcome.linesConsidered == 1 ? QStringLiteral("1 line")
                                                                  : QStringLiteral("%1 lines").arg(outcome.linesConsidered));
        return kml + "<name>No fix</name><description>" + xmlEscaped(why) + "</description></Document></kml>";
    }

    const Fix& fix = *outcome.fix;
    kml += "<name>Fix</name>"
           "<Style id=\"fix\"><IconStyle><color>ff00ffff</color><Icon>"
           "<href>http://maps.google.com/mapfiles/kml/shapes/target.png</href></Icon></IconStyle></Style>"
           "<Style id=\"ellipse\"><LineStyle><color>ff00ffff</color><width>2</width></LineStyle>"
           "<PolyStyle><color>4000ffff</color></PolyStyle></Style>";
    kml += "<Placemark><name>Fix</name><description>" + xmlEscaped(summaryOf(fix))
        + "</description><styleUrl>#fix</styleUrl><Point><coordinates>" + kmlPosition(fix.latitude, fix.longitude)
        + "</coordinates></Point></Placemark>";
    QByteArray ring;
    for (const Position& point : ellipseRing(fix))
        ring += (ring.isEmpty() ? "" : " ") + kmlPosition(point.latitude, point.longitude);
    kml += "<Placemark><name>95 % ellipse</name><styleUrl>#ellipse</styleUrl><Polygon><tessellate>1</tessellate>"
           "<outerBoundaryIs><LinearRing><coordinates>"
        + ring + "</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark>";
    return kml + "</Document></kml>";
}

} // namespace geo
