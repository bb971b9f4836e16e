#pragma once
// The station and its bearing line as a GeoJSON FeatureCollection (RFC 7946), for the live map page
// and any GIS tool: a Point feature at the station and a LineString feature from the station to the
// line's far end, with the same values as the KML document's coordinate texts, written as JSON numbers
// (longitude first, no altitude). The line's properties say what the station knows of its bearing.

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace geo {

struct MapStatus
{
    // Coordinate texts, as the KML document carries them.
    QString startLatitude;
    QString startLongitude;
    QString endLatitude;
    QString endLongitude;
    std::optional<int> bearing; // degrees of the line drawn; none while it is collapsed
    QString df;                 // "test", "off", "detected" or "silent"
    QDateTime time;             // when the last bearing was drawn (UTC); invalid: never
    int port = 0;               // the website port serving the KML document
};

// A coordinate text as a JSON number with the same value: "+051.50000" -> 51.50000,
// "-000.36169" -> -0.36169. A text that is no plain decimal number is read as the station reads
// coordinate texts and written with five decimals.
QByteArray jsonNumber(const QString& coordinateText);

// A text as a JSON string: quotes and backslashes escaped, anything outside printable ASCII as \uXXXX.
QByteArray jsonString(const QString& text);

// The FeatureCollection, on one line.
QByteArray statusGeoJson(const MapStatus& status);

} // namespace geo
