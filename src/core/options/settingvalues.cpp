#include "settingvalues.h"

#include "core/geo/coordtext.h"
#include "platform/numbertext.h"

#include <QtGlobal>

namespace options {

namespace {

double value(const QString& digit)
{
    return platform::readNumber(digit);
}

// Minutes from five digits starting at `first`: tens, units, tenths, hundredths, thousandths.
double minutes(const QStringList& digits, int first)
{
    return 10 * value(digits[first]) + value(digits[first + 1]) + 0.1 * value(digits[first + 2])
        + 0.01 * value(digits[first + 3]) + 0.001 * value(digits[first + 4]);
}

QString withPoint(QString text)
{
    return text.replace(u',', u'.');
}

} // namespace

PositionTexts positionTexts(const QStringList& latitudeDigits, const QString& latitudeHemisphere,
                            const QStringList& longitudeDigits, const QString& longitudeHemisphere)
{
    Q_ASSERT(latitudeDigits.size() == 7 && longitudeDigits.size() == 8);
    const double latitudeDegrees = 10 * value(latitudeDigits[0]) + value(latitudeDigits[1]);
    const double longitudeDegrees = 100 * value(longitudeDigits[0]) + 10 * value(longitudeDigits[1]) + value(longitudeDigits[2]);
    double latitude = latitudeDegrees + minutes(latitudeDigits, 2) / 60;
    double longitude = longitudeDegrees + minutes(longitudeDigits, 3) / 60;
    if (latitudeHemisphere == u"S")
        latitude = -latitude;
    if (longitudeHemisphere == u"W")
        longitude = -longitude;
    return {withPoint(geo::latitudeText(latitude)), withPoint(geo::longitudeText(longitude))};
}

double joinedValue(const QStringList& digits)
{
    return platform::readNumber(digits.join(QString()));
}

std::optional<QStringList> cappedDigits(const QStringList& digits, int maximum)
{
    if (!(joinedValue(digits) > maximum))
        return std::nullopt;
    QStringList capped;
    for (QChar c : QString::number(maximum))
        capped << QString(c);
    Q_ASSERT(capped.size() == digits.size());
    return capped;
}

} // namespace options
