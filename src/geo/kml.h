#pragma once
// The one map document the station serves: a KML 2.2 placemark with the station as a point and the
// bearing as a red line. The template is built once; each request fills a copy with the four current
// coordinate texts.

#include <QString>

namespace geo {

// The document with the placeholders START_LONG, START_LAT (twice each), END_LONG and END_LAT.
QString buildKmlTemplate();

// A filled copy: each placeholder replaced, in that order, by its text exactly as given.
QString fillKml(const QString& kmlTemplate, const QString& startLongitude, const QString& startLatitude,
                const QString& endLongitude, const QString& endLatitude);

} // namespace geo
