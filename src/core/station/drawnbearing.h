#pragma once
// A bearing the station has just drawn on its map: where it came from, its value and the line's two
// ends as the next map document carries them, and when it was drawn.

#include <QDateTime>
#include <QString>
#include <QtGlobal>

namespace station {

struct DrawnBearing
{
    enum class Source { Df, Test };

    Source source = Source::Df;
    qint16 degrees = 0;     // as drawn: the DF unit's bearing with the calibration added, or the test bearing
    qint16 calibration = 0; // the calibration added (DF only; test bearings are not calibrated)
    QString stationLatitude;
    QString stationLongitude;
    QString endLatitude;
    QString endLongitude;
    QDateTime drawnAt; // UTC
};

} // namespace station
