#include "mapdocument.h"

#include "loopback.h"

#include <QXmlStreamReader>

namespace testsupport {

namespace {
const QString kKmlNamespace = QStringLiteral("http://www.opengis.net/kml/2.2");
}

MapDocument readMapDocument(const QByteArray& response)
{
    MapDocument map;
    const qsizetype headerEnd = response.indexOf("\r\n\r\n");
    if (!response.startsWith("HTTP/1.0 200 OK\r\n") || headerEnd < 0) {
        map.error = QStringLiteral("not a 200 response: ") + QString::fromLatin1(response.left(80));
        return map;
    }
    map.body = response.mid(headerEnd + 4);

    QXmlStreamReader xml(map.body);
    QString parent; // the element around the <coordinates> at hand
    int points = 0;
    int lines = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.namespaceUri() != kKmlNamespace) {
            map.error = QStringLiteral("element outside the KML namespace: ") + xml.qualifiedName().toString();
            return map;
        }
        const QStringView name = xml.name();
        if (name == u"Point" || name == u"LineString") {
            parent = name.toString();
        } else if (name == u"coordinates") {
            const QString text = xml.readElementText();
            if (parent == u"Point") {
                map.point = text;
                ++points;
            } else if (parent == u"LineString") {
                map.line = text;
                ++lines;
            }
        }
    }
    if (xml.hasError())
        map.error = QStringLiteral("XML: ") + xml.errorString();
    else if (points != 1 || lines != 1)
        map.error = QStringLiteral("%1 points and %2 lines").arg(points).arg(lines);
    map.ok = map.error.isEmpty();
    return map;
}

MapDocument fetchMap(quint16 port)
{
    return readMapDocument(fetch(port, "GET /station.kml HTTP/1.0\r\n\r\n", 3000));
}

QString kmlTuple(const QString& latitude, const QString& longitude)
{
    return longitude + u',' + latitude + QStringLiteral(",0");
}

} // namespace testsupport
