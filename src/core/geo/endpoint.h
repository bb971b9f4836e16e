#pragma once
// The far end of the 25-mile bearing line, on a flat local approximation: a degree of latitude is
// 60 nautical miles everywhere and the east offset is stretched by one over the cosine of the
// station latitude. Map viewers and operators rely on the exact results, so the constants are the
// station's own (6.283 stands in for 2 pi throughout).

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
