// The fix as the live map's GeoJSON and a map viewer's KML: valid documents whatever the peers' texts,
// the ellipse a closed counterclockwise ring whose farthest points lie on the major axis, and without
// a fix the reason and the lines considered.
#include "core/geo/fix.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointF>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using geo::BearingRay;
using geo::PeerMark;

namespace {

BearingRay line(const QString& source, double latitude, double longitude, double endLatitude, double endLongitude,
                int bearing, int second)
{
    return {source, latitude, longitude, endLatitude, endLongitude, bearing,
            QDateTime(QDate(2024, 5, 1), QTime(12, 0, second), Qt::UTC)};
}

// East from (0, 0) and north from (-0.2, 0.1): the fix at (0, 0.1), its major axis east, 2,852.8 m.
geo::FixOutcome crossing()
{
    return geo::locate({line(QStringLiteral("self"), 0, 0, 0, 0.3, 90, 5),
                        line(QStringLiteral("http://b.example:8080/\"x\""), -0.2, 0.1, 0.2, 0.1, 0, 7)},
                       3);
}

QJsonObject parsed(const QByteArray& text)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text.constData();
    return document.object();
}

// A member of a JSON object, by a path of keys.
QJsonValue at(QJsonValue value, std::initializer_list<const char*> keys)
{
    for (const char* key : keys)
        value = value.toObject().value(QLatin1String(key));
    return value;
}

} // namespace

TEST(FixDocument, TheFixItsEllipseItsLinesAndThePeers)
{
    const geo::FixOutcome outcome = crossing();
    ASSERT_TRUE(outcome.fix);
    const geo::BearingRay peerLine = outcome.fix->used[1];
    const QVector<PeerMark> peers = {{peerLine.source, -0.2, 0.1, peerLine}, {QStringLiteral("http://c/"), 1, 2, {}}};
    const QByteArray json = geo::fixGeoJson(outcome, peers);
    EXPECT_FALSE(json.contains('\n'));
    const QJsonObject collection = parsed(json);
    EXPECT_EQ(at(collection, {"type"}).toString(), QStringLiteral("FeatureCollection"));
    EXPECT_FALSE(collection.contains(QStringLiteral("reason")));
    const QJsonArray features = collection.value(QStringLiteral("features")).toArray();
    ASSERT_EQ(features.size(), 4);

    EXPECT_EQ(at(features[0], {"geometry", "type"}).toString(), QStringLiteral("Point"));
    EXPECT_EQ(at(features[0], {"geometry", "coordinates"}).toArray(), (QJsonArray{0.1, 0.0}));
    const QJsonValue properties = at(features[0], {"properties"});
    EXPECT_EQ(at(properties, {"stations"}).toInt(), 2);
    EXPECT_NEAR(at(properties, {"semi_major_m"}).toDouble(), 2852.8, 0.15);
    EXPECT_NEAR(at(properties, {"semi_minor_m"}).toDouble(), 1426.4, 0.15);
    EXPECT_EQ(at(properties, {"orientation_deg"}).toDouble(), 90.0);
    EXPECT_EQ(at(properties, {"confidence"}).toDouble(), 0.95);
    EXPECT_EQ(at(properties, {"time"}).toString(), QStringLiteral("2024-05-01T12:00:07Z"));

    // Closed, at least 36 points, counterclockwise (positive shoelace area in lon/lat), and reaching
    // farthest (the semi-major axis) due east and west of the fix.
    EXPECT_EQ(at(features[1], {"geometry", "type"}).toString(), QStringLiteral("Polygon"));
    const QJsonArray ring = at(features[1], {"geometry", "coordinates"}).toArray().at(0).toArray();
    ASSERT_GE(ring.size(), 37);
    EXPECT_EQ(ring.first(), ring.last());
    double area = 0;
    QPointF farthest; // metres east and north of the fix
    for (qsizetype i = 0; i + 1 < ring.size(); ++i) {
        const QJsonArray a = ring[i].toArray();
        const QJsonArray b = ring[i + 1].toArray();
        area += a[0].toDouble() * b[1].toDouble() - b[0].toDouble() * a[1].toDouble();
        const QPointF metres((a[0].toDouble() - 0.1) * 111194.93, a[1].toDouble() * 111194.93);
        if (std::hypot(metres.x(), metres.y()) > std::hypot(farthest.x(), farthest.y()))
            farthest = metres;
    }
    EXPECT_GT(area, 0);
    EXPECT_NEAR(std::fabs(farthest.x()), 2852.8, 2.0);
    EXPECT_LT(std::fabs(farthest.y()), 2.0);

    // One line per line used, from its station, with its source and bearing; the peers as given.
    EXPECT_EQ(at(features[3], {"geometry", "coordinates"}).toArray(),
              (QJsonArray{QJsonArray{0.1, -0.2}, QJsonArray{0.1, 0.2}}));
    EXPECT_EQ(at(features[3], {"properties", "source"}).toString(), peerLine.source);
    EXPECT_EQ(at(features[3], {"properties", "bearing"}).toInt(), 0);
    const QJsonArray members = collection.value(QStringLiteral("peers")).toArray();
    ASSERT_EQ(members.size(), 2);
    EXPECT_EQ(at(members[0], {"source"}).toString(), peerLine.source);
    EXPECT_EQ(at(members[0], {"line"}).toArray().size(), 2);
    EXPECT_EQ(at(members[1], {"station"}).toArray(), (QJsonArray{2.0, 1.0}));
    EXPECT_TRUE(at(members[1], {"line"}).isUndefined());
}

TEST(FixDocument, WithoutAFixTheReasonAndTheLinesConsidered)
{
    const auto parallel = geo::locate({line(QStringLiteral("self"), 0, 0, 0.3, 0, 0, 1),
                                       line(QStringLiteral("self"), 0, 0.1, 0.3, 0.1, 0, 1)},
                                      3);
    const QJsonObject collection = parsed(geo::fixGeoJson(parallel, {}));
    EXPECT_TRUE(collection.value(QStringLiteral("features")).toArray().isEmpty());
    EXPECT_EQ(at(collection, {"reason"}).toString(), QStringLiteral("lines nearly parallel"));
    EXPECT_EQ(collection.value(QStringLiteral("lines")).toInt(), 2);
    EXPECT_TRUE(collection.value(QStringLiteral("peers")).toArray().isEmpty());

    QXmlStreamReader kml(geo::fixKml(parallel));
    QStringList names;
    while (!kml.atEnd()) {
        if (kml.readNext() != QXmlStreamReader::StartElement)
            continue;
        names << kml.name().toString();
        if (kml.name() == QLatin1String("description")) {
            EXPECT_EQ(kml.readElementText(), QStringLiteral("lines nearly parallel (2 lines considered)"));
        }
    }
    EXPECT_FALSE(kml.hasError()) << kml.errorString().toStdString();
    EXPECT_EQ(names, (QStringList{QStringLiteral("kml"), QStringLiteral("Document"), QStringLiteral("name"),
                                  QStringLiteral("description")}));
}

TEST(FixDocument, TheKmlHoldsTheFixAndItsClosedEllipse)
{
    QXmlStreamReader kml(geo::fixKml(crossing()));
    QStringList coordinates;
    while (!kml.atEnd()) {
        if (kml.readNext() == QXmlStreamReader::StartElement && kml.name() == QLatin1String("coordinates"))
            coordinates << kml.readElementText().trimmed();
    }
    EXPECT_FALSE(kml.hasError()) << kml.errorString().toStdString();
    ASSERT_EQ(coordinates.size(), 2);
    EXPECT_EQ(coordinates[0], QStringLiteral("0.10000,0.00000,0"));
    const QStringList ring = coordinates[1].split(u' ');
    EXPECT_GE(ring.size(), 37);
    EXPECT_EQ(ring.first(), ring.last());
}
