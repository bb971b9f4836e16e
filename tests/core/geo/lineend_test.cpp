// The line's end in plain degrees, which the DF simulator aims with: the station's texts are these
// numbers written out, so the two can never drift apart.
#include "core/geo/coordtext.h"
#include "core/geo/endpoint.h"
#include "core/geo/lineend.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The end point as the station computed it on its own before lineEndDegrees existed, kept here as
// the reference the factored arithmetic must match digit for digit.
geo::EndPoint referenceEnd(const QString& startLatitude, const QString& startLongitude, qint16 bearing)
{
    const int fromEast = 90 - bearing;
    double theta = fromEast / 360.0 * 6.283;
    if (theta < 0)
        theta += 6.283;
    const double lengthNm = 25 / 1.152;
    const double north = lengthNm * 0.0166666666666667 * std::sin(theta);
    const double eastArc = lengthNm * 0.0166666666666667 * std::cos(theta);
    const double latitude = geo::readCoordinate(startLatitude);
    const double stretch = std::sin((90 - std::fabs(latitude)) / 360.0 * 6.283);
    return {geo::latitudeText(latitude + north), geo::longitudeText(geo::readCoordinate(startLongitude) + eastArc / stretch)};
}

} // namespace

TEST(LineEndDegrees, WritesTheStationsOwnTextsOverAGrid)
{
    int compared = 0;
    for (double latitude = -89.5; latitude <= 89.5; latitude += 7.123) {
        for (double longitude = -180; longitude <= 180; longitude += 23.4567) {
            const QString lat = geo::latitudeText(latitude);
            const QString lon = geo::longitudeText(longitude);
            // Beyond the compass too: a bearing with a large calibration is drawn all the same.
            for (int bearing = -90; bearing <= 450; bearing += 7) {
                const geo::EndPoint expected = referenceEnd(lat, lon, static_cast<qint16>(bearing));
                const geo::EndPoint drawn = geo::bearingLineEnd(lat, lon, static_cast<qint16>(bearing), true);
                const geo::LineEndDegrees plain = geo::lineEndDegrees(geo::readCoordinate(lat), geo::readCoordinate(lon), bearing);
                ASSERT_EQ(drawn.latitude, expected.latitude) << lat.toStdString() << ' ' << lon.toStdString() << ' ' << bearing;
                ASSERT_EQ(drawn.longitude, expected.longitude) << lat.toStdString() << ' ' << lon.toStdString() << ' ' << bearing;
                ASSERT_EQ(geo::latitudeText(plain.latitude), expected.latitude);
                ASSERT_EQ(geo::longitudeText(plain.longitude), expected.longitude);
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 30000);
}
