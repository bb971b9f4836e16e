#include "digitcheckwarnings.h"

#include "settings.h"

#include "core/options/digitfields.h"

namespace station {

QString digitCheckWarning(int field, int value)
{
    const int checked = checkedDigit(field, value);
    if (checked == value)
        return {};
    const options::DigitField& f = options::kDigitFields.at(static_cast<size_t>(field));
    return QStringLiteral("Settings file line %1 (%2) holds %3, not a digit from 0 to %4: %5 is used instead")
        .arg(f.line)
        .arg(QString::fromLatin1(f.name), QString::number(value), QString(QChar::fromLatin1(f.accepted)), QString::number(checked));
}

QString longitudeWarning(const Settings& settings, const QString& served)
{
    const options::FieldRange range = options::kLongitudeFields;
    const int degrees = settings.number({range.first, 3});
    const QString minutes = settings.digitsText({range.first + 3, 2}) + u'.' + settings.digitsText({range.first + 5, 3});
    // 180 degrees 0.000 minutes is the last meridian on the Earth; the digits allow up to 199 59.999.
    const int thousandthsOfMinutes = degrees * 60000 + settings.number({range.first + 3, 5});
    if (thousandthsOfMinutes <= 180 * 60000)
        return {};
    const options::DigitField& first = options::kDigitFields.at(static_cast<size_t>(options::kLongitudeFields.first));
    return QStringLiteral("Settings file lines %1 to %2 give the longitude %3 degrees %4 minutes %5, beyond 180 degrees "
                          "and so off the Earth: the map is given %6")
        .arg(first.line)
        .arg(first.line + options::kLongitudeFields.count - 1)
        .arg(QString::number(degrees), minutes, settings.west ? QStringLiteral("W") : QStringLiteral("E"), served);
}

} // namespace station
