#pragma once
// Turning digit digits into the station's working values: the position texts, and the website port and
// calibration read from their joined digits with their upper bounds.

#include <QString>
#include <QStringList>
#include <optional>

namespace options {

struct PositionTexts
{
    QString latitude;
    QString longitude;
};

// Latitude from its 7 digits (tens and units of degrees, then minutes from tens to thousandths),
// longitude from its 8 (hundreds of degrees first). A hemisphere letter of exactly "S" or "W" makes
// its coordinate negative. Both texts carry a decimal point whatever the locale.
PositionTexts positionTexts(const QStringList& latitudeDigits, const QString& latitudeHemisphere,
                            const QStringList& longitudeDigits, const QString& longitudeHemisphere);

// The number the joined digits begin with; "0", "0", "0", "8", "0" reads 80.
double joinedValue(const QStringList& digits);

// When the joined digits read above `maximum`, the digits of `maximum`, one per field; else empty.
std::optional<QStringList> cappedDigits(const QStringList& digits, int maximum);

} // namespace options
