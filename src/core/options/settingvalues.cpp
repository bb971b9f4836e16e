#include "settingvalues.h"

#include "core/geo/coordtext.h"
#include "platform/numbertext.h"

#include <QtGlobal>

namespace options {

namespace {

double value(const QString& tag)
{
    return platform::readNumber(tag);
}

// Minutes from five tags starting at `first`: tens, units, tenths, hundredths, thousandths.
double minutes(const QStringList& tags, int first)
{
    return 10 * value(tags[first]) + value(tags[first + 1]) + 0.1 * value(tags[first + 2])
        + 0.01 * value(tags[first + 3]) + 0.001 * value(tags[first + 4]);
}

QString withPoint(QString text)
{
    return text.replace(u',', u'.');
}

} // namespace

PositionTexts positionTexts(const QStringList& latitudeTags, const QString& latitudeHemisphere,
                            const QStringList& longitudeTags, const QString& longitudeHemisphere)
{
    Q_ASSERT(latitudeTags.size() == 7 && longitudeTags.size() == 8);
    const double latitudeDegrees = 10 * value(latitudeTags[0]) + value(latitudeTags[1]);
    const double longitudeDegrees = 100 * value(longitudeTags[0]) + 10 * value(longitudeTags[1]) + value(longitudeTags[2]);
    double latitude = latitudeDegrees + minutes(latitudeTags, 2) / 60;
    double longitude = longitudeDegrees + minutes(longitudeTags, 3) / 60;
    if (latitudeHemisphere == u"S")
        latitude = -latitude;
    if (longitudeHemisphere == u"W")
        longitude = -longitude;
    return {withPoint(geo::latitudeText(latitude)), withPoint(geo::longitudeText(longitude))};
}

double joinedValue(const QStringList& tags)
{
    return platform::readNumber(tags.join(QString()));
}

std::optional<QStringList> cappedDigits(const QStringList& tags, int maximum)
{
    if (!(joinedValue(tags) > maximum))
        return std::nullopt;
    QStringList digits;
    for (QChar c : QString::number(maximum))
        digits << QString(c);
    Q_ASSERT(digits.size() == tags.size());
    return digits;
}

} // namespace options
