#include "testbearing.h"

namespace bearing {

qint16 testBearing(int second)
{
    return static_cast<qint16>(6 * second);
}

QString testBearingText(int degrees)
{
    return QStringLiteral("%1").arg(degrees, 3, 10, QLatin1Char('0'));
}

} // namespace bearing
