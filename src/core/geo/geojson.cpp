#include "geojson.h"

#include "coordtext.h"

#include <QRegularExpression>

namespace geo {

namespace {

QByteArray position(const QString& longitude, const QString& latitude)
{
    return '[' + jsonNumber(longitude) + ',' + jsonNumber(latitude) + ']';
}

} // namespace

QByteArray jsonString(const QString& text)
{
    QByteArray out = "\"";
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\')
            out += '\\';
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            out += "\\u" + QByteArray::number(c.unicode(), 16).rightJustified(4, '0');
        else
            out += static_cast<char>(c.unicode());
    }
    return out + '"';
}

QByteArray jsonNumber(const QString& coordinateText)
{
    static const QRegularExpression plain(QStringLiteral("^([+-]?)([0-9]+)(\\.[0-9]+)?$"));
    const QRegularExpressionMatch match = plain.match(coordinateText);
    if (!match.hasMatch())
        return QByteArray::number(readCoordinate(coordinateText), 'f', 5);
    QString whole = match.captured(2);
    while (whole.size() > 1 && whole.front() == u'0')
        whole.remove(0, 1);
    const QString sign = match.captured(1) == QStringLiteral("-") ? QStringLiteral("-") : QString();
    return (sign + whole + match.captured(3)).toLatin1();
}

QByteArray statusGeoJson(const MapStatus& status)
{
    QByteArray json = R"({"type":"FeatureCollection","features":[)";
    json += R"({"type":"Feature","geometry":{"type":"Point","coordinates":)"
        + position(status.startLongitude, status.startLatitude) + R"(},"properties":{}},)";
    json += R"({"type":"Feature","geometry":{"type":"LineString","coordinates":[)"
        + position(status.startLongitude, status.startLatitude) + ','
        + position(status.endLongitude, status.endLatitude) + "]},";
    json += R"("properties":{"bearing":)" + (status.bearing ? QByteArray::number(*status.bearing) : "null");
    json += R"(,"df":)" + jsonString(status.df);
    json += R"(,"time":)"
        + (status.time.isValid() ? jsonString(status.time.toUTC().toString(Qt::ISODate)) : QByteArray("null"));
    json += R"(,"port":)" + QByteArray::number(status.port) + "}}]}";
    return json;
}

} // namespace geo
