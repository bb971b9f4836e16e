#include "coordtext.h"

#include "platform/numbertext.h"

#include <algorithm>
#include <cmath>

namespace geo {

namespace {

QString formatted(double degrees, int integerDigits)
{
    // Rounded to five decimals first, so a value that rounds to zero is written "+", never "-0".
    const QString magnitude = QString::asprintf("%0*.5f", integerDigits + 6, std::fabs(degrees));
    const bool nonZero = std::any_of(magnitude.begin(), magnitude.end(), [](QChar c) { return c >= u'1' && c <= u'9'; });
    const bool negative = degrees < 0 && nonZero;
    QString text = (negative ? u'-' : u'+') + magnitude;
    // Locale-proof: the number is always written with a point.
    return text.replace(u',', u'.');
}

} // namespace

QString latitudeText(double degrees)
{
    return formatted(degrees, 2);
}

QString longitudeText(double degrees)
{
    return formatted(degrees, 3);
}

double readCoordinate(QStringView text)
{
    return platform::readNumber(text);
}

} // namespace geo
