#pragma once
// The test mode's bearing: one turn of the compass per minute, driven by the clock's seconds.

#include <QString>
#include <QtGlobal>

namespace bearing {

// second: the seconds field of the local time, 0 to 59; 6 degrees per second, 0 to 354.
qint16 testBearing(int second);

// The test bearing as the station reports it: exactly three digits, "000" to "354".
QString testBearingText(int degrees);

} // namespace bearing
