// The station's status as GeoJSON: valid JSON whatever the texts, numbers equal to the KML's
// coordinate texts, longitude first, and the line's properties null where nothing is known.
#include "core/geo/geojson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <gtest/gtest.h>

using geo::jsonNumber;
using geo::MapStatus;

namespace {

MapStatus stationAt45()
{
    MapStatus status;
    status.startLatitude = QStringLiteral("+51.50000");
    status.startLongitude = QStringLiteral("-000.12000");
    status.endLatitude = QStringLiteral("+51.75575");
    status.endLongitude = QStringLiteral("+000.29086");
    status.bearing = 45;
    status.df = QStringLiteral("detected");
    status.time = QDateTime(QDate(2024, 5, 1), QTime(12, 0, 3), Qt::UTC);
    status.port = 10000;
    return status;
}

QJsonObject parsed(const MapStatus& status)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(geo::statusGeoJson(status), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << geo::statusGeoJson(status).constData();
    return document.object();
}

} // namespace

TEST(GeoJson, CoordinateTextsBecomeNumbersOfTheSameValue)
{
    EXPECT_EQ(jsonNumber(QStringLiteral("+51.50000")), "51.50000");
    EXPECT_EQ(jsonNumber(QStringLiteral("-000.36169")), "-0.36169");
    EXPECT_EQ(jsonNumber(QStringLiteral("+000.00000")), "0.00000");
    EXPECT_EQ(jsonNumber(QStringLiteral("-118.16667")), "-118.16667");
    EXPECT_EQ(jsonNumber(QStringLiteral("+010.72340")), "10.72340");
    EXPECT_EQ(jsonNumber(QStringLiteral("+185.00000")), "185.00000"); // far ends are not wrapped
    EXPECT_EQ(jsonNumber(QStringLiteral("7")), "7");
    // Nothing that is no plain number reaches the JSON as it stands.
    EXPECT_EQ(jsonNumber(QString()), "0.00000");
    EXPECT_EQ(jsonNumber(QStringLiteral("+34,41850")), "34.00000");
    EXPECT_EQ(jsonNumber(QStringLiteral("1e5]")), "100000.00000");
    EXPECT_EQ(jsonNumber(QStringLiteral("NaN")), "0.00000");
}

TEST(GeoJson, APointAndALineFromTheStationLongitudeFirstWithTheBearingsProperties)
{
    const MapStatus status = stationAt45();
    const QByteArray text = geo::statusGeoJson(status);
    EXPECT_FALSE(text.contains('\n'));
    EXPECT_TRUE(text.contains("[[-0.12000,51.50000],[0.29086,51.75575]]")) << text.constData();

    const QJsonObject collection = parsed(status);
    EXPECT_EQ(collection.value(QStringLiteral("type")).toString(), QStringLiteral("FeatureCollection"));
    const QJsonArray features = collection.value(QStringLiteral("features")).toArray();
    ASSERT_EQ(features.size(), 2);
    const QJsonObject point = features.at(0).toObject().value(QStringLiteral("geometry")).toObject();
    EXPECT_EQ(point.value(QStringLiteral("type")).toString(), QStringLiteral("Point"));
    EXPECT_EQ(point.value(QStringLiteral("coordinates")).toArray(), (QJsonArray{-0.12, 51.5}));

    const QJsonObject line = features.at(1).toObject();
    EXPECT_EQ(line.value(QStringLiteral("geometry")).toObject().value(QStringLiteral("type")).toString(), QStringLiteral("LineString"));
    const QJsonObject properties = line.value(QStringLiteral("properties")).toObject();
    EXPECT_EQ(properties.value(QStringLiteral("bearing")).toInt(), 45);
    EXPECT_EQ(properties.value(QStringLiteral("df")).toString(), QStringLiteral("detected"));
    EXPECT_EQ(properties.value(QStringLiteral("time")).toString(), QStringLiteral("2024-05-01T12:00:03Z"));
    EXPECT_EQ(properties.value(QStringLiteral("port")).toInt(), 10000);
}

TEST(GeoJson, UnknownsAreNullAndEveryTextStaysValidJson)
{
    MapStatus status = stationAt45();
    status.bearing.reset();
    status.time = QDateTime();
    status.df = QStringLiteral("say \"hi\"\\\n\u00e9");
    status.endLatitude.clear();
    const QJsonObject properties =
        parsed(status).value(QStringLiteral("features")).toArray().at(1).toObject().value(QStringLiteral("properties")).toObject();
    EXPECT_TRUE(properties.value(QStringLiteral("bearing")).isNull());
    EXPECT_TRUE(properties.value(QStringLiteral("time")).isNull());
    EXPECT_EQ(properties.value(QStringLiteral("df")).toString(), status.df);

    // A time kept in another zone is still written as UTC.
    status.time = QDateTime(QDate(2024, 5, 1), QTime(14, 0, 3), QTimeZone(7200));
    EXPECT_TRUE(geo::statusGeoJson(status).contains(R"("time":"2024-05-01T12:00:03Z")"));
}
