#pragma once
// The one map document the station serves: a KML 2.2 placemark with the station as a point and the
// bearing as a red line. The template is built once; each request fills a copy with the four current
// coordinate texts.

#include <QString>

namespace geo {

// The document with the placeholders START_LONG, START_LAT (twice each), END_LONG and END_LAT.
QString buildKmlTemplate();

// A filled copy: the same as replacing every START_LONG, then every START_LAT, then every END_LONG,
// then every END_LAT by its text exactly as given, each replacement over the whole text so far (a
// text that holds a later placeholder has it filled too), never over what it has just put in itself.
// Done in one pass over the template.
QString fillKml(const QString& kmlTemplate, const QString& startLongitude, const QString& startLatitude,
                const QString& endLongitude, const QString& endLatitude);

} // namespace geo
