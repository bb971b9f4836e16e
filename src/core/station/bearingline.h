#pragma once
// The bearing line as the map document draws it: from the station's position to the line's far end,
// both as the documents' coordinate texts. While no bearing is shown the end is the station itself.

#include <QString>

namespace station {

struct BearingLine
{
    QString startLatitude; // the station
    QString startLongitude;
    QString endLatitude; // the far end
    QString endLongitude;

    bool collapsed() const { return endLatitude == startLatitude && endLongitude == startLongitude; }
    bool operator==(const BearingLine&) const = default;
};

} // namespace station
