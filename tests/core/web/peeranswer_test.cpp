// Another station's map as this station reads it: the kind told by the answer alone, the station and
// its line's end, whether the line is drawn, a test bearing, and anything doubtful refused.
#include "core/web/peeranswer.h"

#include "core/geo/coordtext.h"
#include "core/geo/endpoint.h"
#include "core/geo/geojson.h"
#include "core/geo/kml.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace {

using Kind = web::PeerAnswer::Kind;

struct Drawn
{
    geo::MapStatus status;
    QByteArray kml;
};

// A station's two documents for a bearing, as it serves them.
Drawn drawn(double latitude, double longitude, int bearing, bool valid = true)
{
    Drawn d;
    d.status.startLatitude = geo::latitudeText(latitude);
    d.status.startLongitude = geo::longitudeText(longitude);
    const geo::EndPoint end = geo::bearingLineEnd(d.status.startLatitude, d.status.startLongitude,
                                                  static_cast<qint16>(bearing), valid);
    d.status.endLatitude = end.latitude;
    d.status.endLongitude = end.longitude;
    if (valid)
        d.status.bearing = bearing;
    d.status.df = QStringLiteral("detected");
    d.status.time = QDateTime(QDate(2026, 12, 8), QTime(6, 30, 5), Qt::UTC);
    d.status.port = 10000;
    d.kml = geo::fillKml(geo::buildKmlTemplate(), d.status.startLongitude, d.status.startLatitude,
                         d.status.endLongitude, d.status.endLatitude)
                .toUtf8();
    return d;
}

TEST(PeerAnswer, AStationsKmlAndStatusGiveTheSameLineAndTheBearingItWasDrawnAt)
{
    // Both sides of the equator and of the prime meridian, high latitudes, the line reaching across
    // the 180th meridian, and the bearings where the compass wraps.
    const struct
    {
        double latitude;
        double longitude;
    } stations[] = {{51.5, -0.36169}, {-33.86, 151.2}, {70.25, 25.5}, {-0.05, 179.95}, {0.05, -179.95}};
    for (const auto& station : stations) {
        for (const int bearing : {0, 1, 47, 90, 179, 180, 271, 359}) {
            const Drawn d = drawn(station.latitude, station.longitude, bearing);
            const std::string where = d.status.startLatitude.toStdString() + " " + d.status.startLongitude.toStdString()
                + " at " + std::to_string(bearing);
            const web::PeerAnswer kml = web::readPeerAnswer(d.kml);
            const web::PeerAnswer status = web::readPeerAnswer(geo::statusGeoJson(d.status));
            ASSERT_EQ(kml.kind, Kind::Kml) << where << kml.problem.toStdString();
            ASSERT_EQ(status.kind, Kind::Status) << where << status.problem.toStdString();
            for (const web::PeerAnswer* answer : {&kml, &status}) {
                EXPECT_TRUE(answer->drawn) << where;
                EXPECT_FALSE(answer->test) << where;
                EXPECT_EQ(answer->bearing, bearing) << where;
                EXPECT_DOUBLE_EQ(answer->stationLatitude, geo::readCoordinate(d.status.startLatitude));
                EXPECT_DOUBLE_EQ(answer->stationLongitude, geo::readCoordinate(d.status.startLongitude));
                EXPECT_DOUBLE_EQ(answer->endLatitude, geo::readCoordinate(d.status.endLatitude));
                EXPECT_DOUBLE_EQ(answer->endLongitude, geo::readCoordinate(d.status.endLongitude));
            }
            EXPECT_FALSE(kml.time.isValid()); // a KML document does not say when its line was drawn
            EXPECT_EQ(status.time, d.status.time);
            EXPECT_EQ(status.time.timeSpec(), Qt::UTC);
        }
    }
}

TEST(PeerAnswer, ACollapsedLineATestBearingAndAPageAreToldApart)
{
    const Drawn collapsed = drawn(51.5, -0.36169, 47, false);
    EXPECT_EQ(web::readPeerAnswer(collapsed.kml).kind, Kind::Kml);
    EXPECT_FALSE(web::readPeerAnswer(collapsed.kml).drawn);
    EXPECT_FALSE(web::readPeerAnswer(geo::statusGeoJson(collapsed.status)).drawn);

    Drawn test = drawn(51.5, -0.36169, 47);
    test.status.df = QStringLiteral("test");
    const web::PeerAnswer testAnswer = web::readPeerAnswer(geo::statusGeoJson(test.status));
    EXPECT_TRUE(testAnswer.drawn);
    EXPECT_TRUE(testAnswer.test);

    // A line without a bearing stands for none.
    Drawn unknown = drawn(51.5, -0.36169, 47);
    unknown.status.bearing.reset();
    unknown.status.time = QDateTime();
    const web::PeerAnswer noBearing = web::readPeerAnswer(geo::statusGeoJson(unknown.status));
    EXPECT_EQ(noBearing.kind, Kind::Status);
    EXPECT_FALSE(noBearing.drawn);
    EXPECT_FALSE(noBearing.time.isValid());

    for (const QByteArray& page : {QByteArray("<!DOCTYPE html>\n<html lang=\"en\">\n<head><title>Tarnvale DF live map</title>"),
                                  QByteArray("\xEF\xBB\xBF  <HTML><body></body></HTML>"),
                                  QByteArray("<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><body/></html>")})
        EXPECT_EQ(web::readPeerAnswer(page).kind, Kind::Page) << page.toStdString();
}

TEST(PeerAnswer, GarbageBadNumbersAndHostileDocumentsAreSomethingElse)
{
    const Drawn d = drawn(51.5, -0.36169, 47);
    const QByteArray status = geo::statusGeoJson(d.status);
    const auto replaced = [](QByteArray text, const QByteArray& from, const QByteArray& to) {
        return text.replace(from, to);
    };
    const QByteArray nested = "<kml>" + QByteArray("<a>").repeated(100) + QByteArray("</a>").repeated(100) + "</kml>";
    const QByteArray laughs = R"(<?xml version="1.0"?><!DOCTYPE kml [<!ENTITY a "aaaaaaaaaa">)"
                              R"(<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">]><kml>&b;</kml>)";
    const QByteArray cases[] = {
        "",
        " \r\n\t",
        "Hello",
        QByteArray("\x00\x01\xff\xfe", 4),
        "<kml><Document></kml>",                                        // does not parse
        "<rss><channel/></rss>",                                        // XML, not KML
        "<kml><Document/></kml>",                                       // no station, no line
        replaced(d.kml, "-000.36169,+51.50000,0</coordinates></Point>", "nan,+51.50000,0</coordinates></Point>"),
        replaced(d.kml, "-000.36169,+51.50000,0</coordinates></Point>", "-000.36169,+91.00000,0</coordinates></Point>"),
        replaced(d.kml, "-000.36169,+51.50000,0</coordinates></Point>", "-181.00000,+51.50000,0</coordinates></Point>"),
        replaced(d.kml, "-000.36169,+51.50000,0</coordinates></Point>", "1e400,+51.50000,0</coordinates></Point>"),
        replaced(d.kml, "<tessellate>1</tessellate><coordinates>",
                 "<tessellate>1</tessellate><coordinates>" + QByteArray(5000, ' ')),
        nested,
        laughs,
        d.kml + QByteArray(web::kMaxPeerAnswerBytes, ' '),              // more than one answer may be
        "{\"type\":\"FeatureCollection\"",                              // cut short
        "{\"type\":\"Feature\"}",
        replaced(status, "\"bearing\":47", "\"bearing\":400"),
        replaced(status, "\"bearing\":47", "\"bearing\":-1"),
        replaced(status, "[-0.36169,51.50000]},", "[-0.36169,1e999]},"),
        replaced(status, "[-0.36169,51.50000]},", "[\"-0.36169\",51.5]},"),
        replaced(status, "\"features\":[", "\"features\":[" + QByteArray("[").repeated(2000)),
    };
    for (const QByteArray& body : cases) {
        const web::PeerAnswer answer = web::readPeerAnswer(body);
        EXPECT_EQ(answer.kind, Kind::Other) << body.left(200).toStdString();
        EXPECT_FALSE(answer.problem.isEmpty()) << body.left(200).toStdString();
        // The log line stays one line.
        EXPECT_FALSE(answer.problem.contains(u'\n')) << answer.problem.toStdString();
    }
    // The cases above differ from the served documents only where they were changed.
    EXPECT_EQ(web::readPeerAnswer(d.kml).kind, Kind::Kml);
    EXPECT_EQ(web::readPeerAnswer(status).kind, Kind::Status);
}

} // namespace
