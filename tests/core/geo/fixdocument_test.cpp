// The fix as the live map's GeoJSON and a map viewer's KML: valid documents whatever the peers' texts,
// the ellipse a closed counterclockwise ring whose farthest points lie on the major axis, and without
// a fix the reason and the lines considered.
#include "core/geo/fix.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

QString text(const QJsonValue& value, const char* key)
{
    return value.toObject().value(QLatin1String(key)).toString();
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
    EXPECT_EQ(text(collection, "type"), QStringLiteral("FeatureCollection"));
    EXPECT_FALSE(collection.contains(QStringLiteral("reason")));
    const QJsonArray features = collection.value(QStringLiteral("features")).toArray();
    ASSERT_EQ(features.size(), 4);

    const QJsonObject point = features[0].toObject();
    EXPECT_EQ(text(point.value(QStringLiteral("geometry")), "type"), QStringLiteral("Point"));
    EXPECT_EQ(point.value(QStringLiteral("geometry")).toObject().value(QStringLiteral("coordinates")).toArray(),
              (QJsonArray{0.1, 0.0}));
    const QJsonObject properties = point.value(QStringLiteral("properties")).toObject();
    EXPECT_EQ(properties.value(QStringLiteral("stations")).toInt(), 2);
    EXPECT_NEAR(properties.value(QStringLiteral("semi_major_m")).toDouble(), 2852.8, 0.15);
    EXPECT_NEAR(properties.value(QStringLiteral("semi_minor_m")).toDouble(), 1426.4, 0.15);
    EXPECT_EQ(properties.value(QStringLiteral("orientation_deg")).toDouble(), 90.0);
    EXPECT_EQ(properties.value(QStringLiteral("confidence")).toDouble(), 0.95);
    EXPECT_EQ(text(properties, "time"), QStringLiteral("2024-05-01T12:00:07Z"));

    // Closed, at least 36 points, counterclockwise (positive shoelace area in lon/lat), and reaching
    // farthest (the semi-major axis) due east and west of the fix.
    const QJsonObject polygon = features[1].toObject().value(QStringLiteral("geometry")).toObject();
    EXPECT_EQ(text(polygon, "type"), QStringLiteral("Polygon"));
    const QJsonArray ring = polygon.value(QStringLiteral("coordinates")).toArray().at(0).toArray();
    ASSERT_GE(ring.size(), 37);
    EXPECT_EQ(ring.first(), ring.last());
    double area = 0;
    double farthest = 0;
    double farthestNorth = 1;
    for (qsizetype i = 0; i + 1 < ring.size(); ++i) {
        const QJsonArray a = ring[i].toArray();
        const QJsonArray b = ring[i + 1].toArray();
        area += a[0].toDouble() * b[1].toDouble() - b[0].toDouble() * a[1].toDouble();
        const double east = (a[0].toDouble() - 0.1) * 111194.93;
        const double north = a[1].toDouble() * 111194.93;
        if (std::hypot(east, north) > farthest) {
            farthest = std::hypot(east, north);
            farthestNorth = north;
        }
    }
    EXPECT_GT(area, 0);
    EXPECT_NEAR(farthest, 2852.8, 2.0);
    EXPECT_LT(std::fabs(farthestNorth), 2.0);

    // One line per line used, from its station, with its source and bearing; the peers as given.
    const QJsonObject second = features[3].toObject();
    EXPECT_EQ(second.value(QStringLiteral("geometry")).toObject().value(QStringLiteral("coordinates")).toArray(),
              (QJsonArray{QJsonArray{0.1, -0.2}, QJsonArray{0.1, 0.2}}));
    EXPECT_EQ(text(second.value(QStringLiteral("properties")), "source"), peerLine.source);
    EXPECT_EQ(second.value(QStringLiteral("properties")).toObject().value(QStringLiteral("bearing")).toInt(), 0);
    const QJsonArray peerMembers = collection.value(QStringLiteral("peers")).toArray();
    ASSERT_EQ(peerMembers.size(), 2);
    EXPECT_EQ(text(peerMembers[0], "source"), peerLine.source);
    EXPECT_EQ(peerMembers[0].toObject().value(QStringLiteral("line")).toArray().size(), 2);
    EXPECT_EQ(peerMembers[1].toObject().value(QStringLiteral("station")).toArray(), (QJsonArray{2.0, 1.0}));
    EXPECT_FALSE(peerMembers[1].toObject().contains(QStringLiteral("line")));
}

TEST(FixDocument, WithoutAFixTheReasonAndTheLinesConsidered)
{
    const auto parallel = geo::locate({line(QStringLiteral("self"), 0, 0, 0.3, 0, 0, 1),
                                       line(QStringLiteral("self"), 0, 0.1, 0.3, 0.1, 0, 1)},
                                      3);
    const QJsonObject collection = parsed(geo::fixGeoJson(parallel, {}));
    EXPECT_TRUE(collection.value(QStringLiteral("features")).toArray().isEmpty());
    EXPECT_EQ(text(collection, "reason"), QStringLiteral("lines nearly parallel"));
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
