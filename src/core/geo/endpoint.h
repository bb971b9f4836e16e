#pragma once
// The far end of the 25-mile bearing line as coordinate texts (the arithmetic is lineEndDegrees).

#include <QString>
#include <QtGlobal>

namespace geo {

struct EndPoint
{
    QString latitude;
    QString longitude;
};

// With `valid` false the end point is the station itself, its texts copied unchanged.
EndPoint bearingLineEnd(const QString& startLatitude, const QString& startLongitude, qint16 bearingDegrees,
                        bool valid);

} // namespace geo
