#pragma once
// The test mode's bearing: one turn of the compass per minute, driven by the clock's seconds.

#include <QString>
#include <QtGlobal>

namespace bearing {

struct TestBearing
{
    qint16 degrees = 0; // 6 degrees per second: 0 to 354
    QString text;       // the same as exactly three digits, "000" to "354"
};

// second: the seconds field of the local time, 0 to 59.
TestBearing testBearing(int second);

} // namespace bearing
