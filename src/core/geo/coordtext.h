#pragma once
// Coordinate texts: signed decimal degrees with five decimals and an explicit sign, in the forms
// "+00.00000;-00.00000" (latitude) and "+000.00000;-000.00000" (longitude). The separator is always
// ".", whatever the locale.

#include <QString>
#include <QStringView>

namespace geo {

QString latitudeText(double degrees);
QString longitudeText(double degrees);

// The number a coordinate text begins with.
double readCoordinate(QStringView text);

} // namespace geo
