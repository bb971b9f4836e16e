// The live map of the real station fed by the real DF unit simulator: its GeoJSON has the KML document's
// coordinates and an independent reader (GDAL's ogrinfo) reads one point and one line from it; a
// thousand silent connections on the map port keep neither the map viewers nor the page out.
#include "livestation.h"

#include "support/loopback.h"
#include "support/rawclient.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using e2e::LiveStation;
using testsupport::RawClient;

namespace {

class LiveMapOfStation : public LiveStation
{
protected:
    void SetUp() override
    {
        LiveStation::SetUp();
        mapPort = testsupport::freePort();
        while (mapPort == settings.websitePort)
            mapPort = testsupport::freePort();
    }
    QStringList mapArguments() const { return {QStringLiteral("--web-map"), QString::number(mapPort)}; }
    QByteArray get(const QByteArray& path) const
    {
        const QByteArray response =
            testsupport::fetch(mapPort, "GET " + path + " HTTP/1.1\r\nHost: station\r\nConnection: close\r\n\r\n", 5000);
        return response;
    }
    QByteArray statusBody() const
    {
        const QByteArray response = get("/status.json");
        return response.startsWith("HTTP/1.1 200 OK") ? response.mid(response.indexOf("\r\n\r\n") + 4) : QByteArray();
    }

    quint16 mapPort = 0;
};

// "lon,lat,0 lon,lat,0" as the numbers it holds, longitude first.
QList<double> kmlNumbers(const QString& coordinates)
{
    QList<double> numbers;
    for (const QString& tuple : coordinates.split(u' ')) {
        const QStringList parts = tuple.split(u',');
        numbers << parts.value(0).toDouble() << parts.value(1).toDouble();
    }
    return numbers;
}

QList<double> jsonNumbers(const QJsonArray& positions)
{
    QList<double> numbers;
    for (const QJsonValue& position : positions)
        numbers << position.toArray().at(0).toDouble() << position.toArray().at(1).toDouble();
    return numbers;
}

// A number as GDAL writes it in WKT.
QString wkt(double value)
{
    return QString::number(value, 'g', 15);
}

} // namespace

TEST_F(LiveMapOfStation, ItsGeoJsonHasTheKmlDocumentsCoordinatesAndAGisReaderReadsAPointAndALine)
{
    writeSettings();
    startSimulator({QStringLiteral("--bearing"), QStringLiteral("45"), QStringLiteral("--period"), QStringLiteral("200")});
    startStation(mapArguments());
    ASSERT_TRUE(mapShows(e2e::expectedMap(settings.position(), 45)));

    QByteArray body;
    QJsonObject line;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        body = statusBody();
        const QJsonArray features = QJsonDocument::fromJson(body).object().value(QStringLiteral("features")).toArray();
        line = features.at(1).toObject();
        return line.value(QStringLiteral("properties")).toObject().value(QStringLiteral("bearing")).toInt() == 45;
    }, 5000)) << body.constData();
    ASSERT_TRUE(mapShows(e2e::expectedMap(settings.position(), 45))); // the KML of the same moment
    const QJsonObject properties = line.value(QStringLiteral("properties")).toObject();
    EXPECT_EQ(properties.value(QStringLiteral("df")).toString(), QStringLiteral("detected"));
    EXPECT_EQ(properties.value(QStringLiteral("port")).toInt(), settings.websitePort);
    const QList<double> fromKml = kmlNumbers(lastMap.line);
    EXPECT_EQ(jsonNumbers(line.value(QStringLiteral("geometry")).toObject().value(QStringLiteral("coordinates")).toArray()), fromKml);

    const QString ogrinfo = QStandardPaths::findExecutable(QStringLiteral("ogrinfo"));
    if (ogrinfo.isEmpty())
        GTEST_SKIP() << "ogrinfo (gdal-bin) not installed";
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("status.geojson")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(body);
    file.close();
    QProcess reader;
    reader.setProcessChannelMode(QProcess::MergedChannels);
    reader.start(ogrinfo, {QStringLiteral("-ro"), QStringLiteral("-al"), file.fileName()});
    ASSERT_TRUE(reader.waitForFinished(20000));
    const QString read = QString::fromLocal8Bit(reader.readAll());
    ASSERT_EQ(reader.exitCode(), 0) << read.toStdString();
    EXPECT_TRUE(read.contains(QStringLiteral("Feature Count: 2"))) << read.toStdString();
    EXPECT_EQ(read.count(QStringLiteral("  POINT (")), 1) << read.toStdString();
    EXPECT_EQ(read.count(QStringLiteral("  LINESTRING (")), 1) << read.toStdString();
    EXPECT_TRUE(read.contains(QStringLiteral("  POINT (%1 %2)").arg(wkt(fromKml[0]), wkt(fromKml[1])))) << read.toStdString();
    EXPECT_TRUE(read.contains(QStringLiteral("  LINESTRING (%1 %2,%3 %4)")
                                  .arg(wkt(fromKml[0]), wkt(fromKml[1]), wkt(fromKml[2]), wkt(fromKml[3]))))
        << read.toStdString();
    EXPECT_TRUE(read.contains(QStringLiteral("bearing (Integer) = 45"))) << read.toStdString();
}

TEST_F(LiveMapOfStation, AThousandSilentConnectionsOnTheMapPortKeepNobodyOut)
{
    ASSERT_TRUE(testsupport::allowOpenFiles(1200));
    writeSettings();
    startStation(mapArguments());
    ASSERT_TRUE(get("/").startsWith("HTTP/1.1 200 OK"));

    std::vector<std::unique_ptr<RawClient>> silent;
    for (int i = 0; i < 1000; ++i) {
        silent.push_back(std::make_unique<RawClient>(mapPort));
        ASSERT_TRUE(silent.back()->isOpen()) << i;
    }
    // The website port serves the map document as before, and the page is still served on its own port.
    testsupport::MapDocument map = testsupport::fetchMap(settings.websitePort);
    EXPECT_TRUE(map.ok) << map.error.toStdString();
    const QByteArray page = get("/");
    EXPECT_TRUE(page.startsWith("HTTP/1.1 200 OK")) << page.left(200).constData();
    EXPECT_TRUE(statusBody().startsWith(R"({"type":"FeatureCollection")"));

    // Only the newest of them are still held: the oldest made room for those after them.
    int ended = 0;
    (void)QTest::qWaitFor([&] {
        ended = 0;
        for (const auto& client : silent)
            ended += client->peek() == RawClient::Seen::Ended ? 1 : 0;
        return ended >= 1000 - 256;
    }, 5000);
    EXPECT_GE(ended, 1000 - 256);
    EXPECT_EQ(silent.back()->peek(), RawClient::Seen::Nothing);
    EXPECT_TRUE(station->isRunning());
    EXPECT_EQ(station->terminate(), 0);
    // Not a line per connection.
    EXPECT_LT(station->standardError().count('\n'), 20) << station->standardError().constData();
}
