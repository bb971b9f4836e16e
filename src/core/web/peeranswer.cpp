#include "peeranswer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QXmlStreamReader>

#include <cmath>
#include <numbers>
#include <optional>

namespace web {

namespace {

constexpr int kMaxXmlDepth = 32;          // the station's own document nests 7 deep
constexpr qsizetype kMaxCoordinatesText = 4096;
constexpr qsizetype kMaxNameShown = 40;

struct Position
{
    double longitude = 0;
    double latitude = 0;
};

PeerAnswer other(const QString& problem)
{
    PeerAnswer answer;
    answer.problem = problem;
    return answer;
}

// A name out of the answer, short enough for a log line and without control characters.
QString shown(QStringView name)
{
    QString text;
    for (const QChar c : name.left(kMaxNameShown))
        text += c.isPrint() ? c : u'?';
    return name.size() > kMaxNameShown ? text + QStringLiteral("...") : text;
}

// KML's "lon,lat[,alt]" tuples, separated by white space; none when one is not a finite number.
std::optional<QVector<Position>> readTuples(const QString& text)
{
    QVector<Position> positions;
    const QStringList tuples = text.simplified().split(u' ', Qt::SkipEmptyParts);
    for (const QString& tuple : tuples) {
        const QStringList parts = tuple.split(u',');
        if (parts.size() != 2 && parts.size() != 3)
            return std::nullopt;
        Position position;
        bool numbers = true;
        for (qsizetype i = 0; i < parts.size(); ++i) {
            bool ok = false;
            const double value = parts[i].toDouble(&ok);
            numbers = numbers && ok && std::isfinite(value);
            if (i == 0)
                position.longitude = value;
            else if (i == 1)
                position.latitude = value;
        }
        if (!numbers)
            return std::nullopt;
        positions << position;
    }
    return positions;
}

// A station lies on the globe; its line's end may pass a pole by the line's length or reach across
// the 180th meridian, since stations write the end without wrapping it.
bool inRange(const Position& station, const Position& end)
{
    return std::fabs(station.latitude) <= 90 && std::fabs(station.longitude) <= 180
        && std::fabs(end.latitude) <= 91 && std::fabs(end.longitude) <= 360;
}

// The bearing a station drew its line at. Stations compute the end on a flat local approximation (a
// degree of latitude the same everywhere, the east offset stretched by one over the cosine of the
// latitude); read back the same way, the line gives the whole degree it was drawn at, where a
// great-circle bearing would drift by up to half a degree at high latitudes.
int drawnBearing(const Position& station, const Position& end)
{
    const double north = end.latitude - station.latitude;
    double east = end.longitude - station.longitude;
    if (east > 180)
        east -= 360;
    else if (east < -180)
        east += 360;
    const double squeeze = std::cos(station.latitude * std::numbers::pi / 180);
    const double degrees = std::atan2(east * squeeze, north) * 180 / std::numbers::pi;
    const long whole = std::lround(degrees < 0 ? degrees + 360 : degrees);
    return static_cast<int>(whole % 360);
}

PeerAnswer located(PeerAnswer::Kind kind, const Position& station, const Position& end)
{
    if (!inRange(station, end))
        return other(QStringLiteral("coordinates out of range"));
    PeerAnswer answer;
    answer.kind = kind;
    answer.stationLatitude = station.latitude;
    answer.stationLongitude = station.longitude;
    answer.endLatitude = end.latitude;
    answer.endLongitude = end.longitude;
    answer.drawn = station.latitude != end.latitude || station.longitude != end.longitude;
    return answer;
}

PeerAnswer readKml(const QByteArray& body)
{
    QXmlStreamReader xml(body);
    std::optional<Position> point;
    std::optional<Position> lineEnd;
    enum class Geometry { None, Point, Line } inside = Geometry::None;
    int depth = 0;
    int geometryDepth = 0;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            return other(QStringLiteral("XML with a document type declaration"));
        case QXmlStreamReader::StartElement: {
            if (++depth > kMaxXmlDepth)
                return other(QStringLiteral("XML nested too deeply"));
            const QStringView name = xml.name();
            if (depth == 1 && name.compare(u"html", Qt::CaseInsensitive) == 0) {
                PeerAnswer page;
                page.kind = PeerAnswer::Kind::Page;
                return page;
            }
            if (depth == 1 && name != u"kml")
                return other(QStringLiteral("XML, not KML (<%1>)").arg(shown(name)));
            if (inside == Geometry::None && name == u"Point" && !point) {
                inside = Geometry::Point;
                geometryDepth = depth;
            } else if (inside == Geometry::None && name == u"LineString" && !lineEnd) {
                inside = Geometry::Line;
                geometryDepth = depth;
            } else if (inside != Geometry::None && name == u"coordinates") {
                const QString text = xml.readElementText(); // ends on the element's end
                --depth;
                if (xml.hasError())
                    break;
                if (text.size() > kMaxCoordinatesText)
                    return other(QStringLiteral("KML with coordinates too long"));
                const std::optional<QVector<Position>> tuples = readTuples(text);
                if (!tuples)
                    return other(QStringLiteral("KML with coordinates that are no numbers"));
                if (inside == Geometry::Point && tuples->size() == 1)
                    point = tuples->constFirst();
                else if (inside == Geometry::Line && tuples->size() >= 2)
                    lineEnd = tuples->constLast();
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            if (depth == geometryDepth)
                inside = Geometry::None;
            --depth;
            break;
        default:
            break;
        }
    }
    if (xml.hasError())
        return other(QStringLiteral("XML that does not parse (%1)").arg(shown(xml.errorString())));
    if (!point || !lineEnd)
        return other(QStringLiteral("KML without a station's Point and LineString"));
    PeerAnswer answer = located(PeerAnswer::Kind::Kml, *point, *lineEnd);
    if (answer.drawn)
        answer.bearing = drawnBearing(*point, *lineEnd);
    return answer;
}

std::optional<Position> jsonPosition(const QJsonValue& value)
{
    const QJsonArray array = value.toArray();
    if (array.size() < 2 || array.size() > 3 || !array[0].isDouble() || !array[1].isDouble())
        return std::nullopt;
    const Position position{array[0].toDouble(), array[1].toDouble()};
    if (!std::isfinite(position.longitude) || !std::isfinite(position.latitude))
        return std::nullopt;
    return position;
}

PeerAnswer readStatus(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return other(QStringLiteral("JSON that does not parse (%1)").arg(error.errorString()));
    const QJsonObject root = document.object();
    if (root.value(u"type").toString() != u"FeatureCollection")
        return other(QStringLiteral("JSON, not a live map's status"));
    std::optional<Position> point;
    std::optional<Position> lineEnd;
    QJsonObject properties;
    const QJsonArray features = root.value(u"features").toArray();
    for (const QJsonValue& feature : features) {
        const QJsonObject geometry = feature.toObject().value(u"geometry").toObject();
        const QString type = geometry.value(u"type").toString();
        if (type == u"Point" && !point) {
            point = jsonPosition(geometry.value(u"coordinates"));
            if (!point)
                return other(QStringLiteral("a status whose station is no position"));
        } else if (type == u"LineString" && !lineEnd) {
            const QJsonArray line = geometry.value(u"coordinates").toArray();
            lineEnd = line.size() >= 2 ? jsonPosition(line.last()) : std::nullopt;
            if (!lineEnd)
                return other(QStringLiteral("a status whose line is no line"));
            properties = feature.toObject().value(u"properties").toObject();
        }
    }
    if (!point || !lineEnd)
        return other(QStringLiteral("GeoJSON without a station's Point and LineString"));
    PeerAnswer answer = located(PeerAnswer::Kind::Status, *point, *lineEnd);
    if (answer.kind != PeerAnswer::Kind::Status)
        return answer;
    const QJsonValue bearing = properties.value(u"bearing");
    if (bearing.isDouble()) {
        const double degrees = bearing.toDouble();
        if (!(degrees >= 0 && degrees <= 360))
            return other(QStringLiteral("a status with a bearing out of range"));
        answer.bearing = static_cast<int>(std::lround(degrees) % 360);
    } else {
        answer.drawn = false; // a line with no bearing stands for none
    }
    answer.test = properties.value(u"df").toString() == u"test";
    const QDateTime time = QDateTime::fromString(properties.value(u"time").toString(), Qt::ISODate);
    if (time.isValid())
        answer.time = time.toUTC();
    return answer;
}

} // namespace

PeerAnswer readPeerAnswer(const QByteArray& body)
{
    if (body.size() > kMaxPeerAnswerBytes)
        return other(QStringLiteral("more than 64 KiB"));
    QByteArrayView text(body);
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    text = text.trimmed();
    if (text.isEmpty())
        return other(QStringLiteral("an empty answer"));
    if (text.front() == '{')
        return readStatus(body);
    if (text.front() != '<')
        return other(QStringLiteral("neither KML, JSON nor HTML"));
    const QByteArray start = text.first(std::min<qsizetype>(text.size(), 16)).toByteArray().toLower();
    if (start.startsWith("<!doctype html") || start.startsWith("<html")) {
        PeerAnswer page;
        page.kind = PeerAnswer::Kind::Page;
        return page;
    }
    return readKml(body);
}

QString peerAnswerKindText(PeerAnswer::Kind kind)
{
    switch (kind) {
    case PeerAnswer::Kind::Kml:
        return QStringLiteral("a station's KML document");
    case PeerAnswer::Kind::Status:
        return QStringLiteral("a live map's status");
    case PeerAnswer::Kind::Page:
        return QStringLiteral("a live map's page");
    case PeerAnswer::Kind::Other:
        break;
    }
    return QStringLiteral("something else");
}

} // namespace web
