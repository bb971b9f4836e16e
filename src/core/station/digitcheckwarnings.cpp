#include "digitcheckwarnings.h"

#include "settingsfile.h"

#include "core/options/digitfields.h"

namespace station {

QString digitCheckWarning(int field, const QString& tag)
{
    const QString checked = checkedDigit(field, tag);
    if (checked == tag)
        return {};
    const options::DigitField& f = options::kDigitFields.at(static_cast<size_t>(field));
    return QStringLiteral("Settings file line %1 (%2) holds %3, not a digit from 0 to %4: %5 is used instead")
        .arg(f.line)
        .arg(QString::fromLatin1(f.name), tag, QString(QChar::fromLatin1(f.accepted)), checked);
}

QString longitudeWarning(const QStringList& longitudeTags, const QString& hemisphere, const QString& served)
{
    if (longitudeTags.size() != options::kLongitudeFields.count)
        return {};
    const QString degrees = longitudeTags.mid(0, 3).join(QString());
    const QString minutes = longitudeTags.mid(3, 2).join(QString()) + u'.' + longitudeTags.mid(5, 3).join(QString());
    // 180 degrees 0.000 minutes is the last meridian on the Earth; the digits allow up to 199 59.999.
    const int thousandthsOfMinutes = degrees.toInt() * 60000 + qRound(minutes.toDouble() * 1000);
    if (thousandthsOfMinutes <= 180 * 60000)
        return {};
    const options::DigitField& first = options::kDigitFields.at(static_cast<size_t>(options::kLongitudeFields.first));
    return QStringLiteral("Settings file lines %1 to %2 give the longitude %3 degrees %4 minutes %5, beyond 180 degrees "
                          "and so off the Earth: the map is given %6")
        .arg(first.line)
        .arg(first.line + options::kLongitudeFields.count - 1)
        .arg(QString::number(degrees.toInt()), minutes, hemisphere, served);
}

} // namespace station
