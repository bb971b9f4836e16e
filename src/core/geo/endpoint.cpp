#include "endpoint.h"

#include "coordtext.h"
#include "lineend.h"

namespace geo {

EndPoint bearingLineEnd(const QString& startLatitude, const QString& startLongitude, qint16 bearingDegrees,
                        bool valid)
{
    if (!valid)
        return {startLatitude, startLongitude};
    const LineEndDegrees end = lineEndDegrees(readCoordinate(startLatitude), readCoordinate(startLongitude), bearingDegrees);
    return {latitudeText(end.latitude), longitudeText(end.longitude)};
}

} // namespace geo
