#include "testbearing.h"

namespace bearing {

TestBearing testBearing(int second)
{
    const auto degrees = static_cast<qint16>(6 * second);
    return {degrees, QStringLiteral("%1").arg(degrees, 3, 10, QLatin1Char('0'))};
}

} // namespace bearing
