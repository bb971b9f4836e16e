#include "bearingfield.h"

#include "platform/numbertext.h"

#include <limits>

namespace bearing {

std::optional<qint16> calibratedBearing(QStringView sentence, qint16 calibration)
{
    const QStringView field = sentence.mid(1, 3);
    const std::optional<qint16> reported = platform::readInt16(field);
    if (!reported)
        return std::nullopt;
    int degrees = int(calibration) + *reported;
    if (degrees < std::numeric_limits<qint16>::min() || degrees > std::numeric_limits<qint16>::max())
        return std::nullopt;
    if (degrees > 359)
        degrees -= 360;
    return static_cast<qint16>(degrees);
}

} // namespace bearing
