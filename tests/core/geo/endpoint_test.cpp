#include "core/geo/coordtext.h"
#include "core/geo/endpoint.h"

#include <QLocale>
#include <gtest/gtest.h>

using geo::bearingLineEnd;

namespace {

struct EndCase
{
    const char* startLat;
    const char* startLong;
    qint16 bearing;
    const char* endLat;
    const char* endLong;
};

class BearingLineEnd : public ::testing::TestWithParam<EndCase>
{
};

} // namespace

TEST_P(BearingLineEnd, MatchesTheStationsOwnResults)
{
    const EndCase& c = GetParam();
    const auto end = bearingLineEnd(QString::fromLatin1(c.startLat), QString::fromLatin1(c.startLong), c.bearing, true);
    EXPECT_EQ(end.latitude, QString::fromLatin1(c.endLat));
    EXPECT_EQ(end.longitude, QString::fromLatin1(c.endLong));
}

INSTANTIATE_TEST_SUITE_P(Table, BearingLineEnd,
    ::testing::Values(
        EndCase{"+00.00000", "+000.00000", 0, "+00.36169", "+000.00002"},
        EndCase{"+00.00000", "+000.00000", 90, "+00.00000", "+000.36169"},
        EndCase{"+00.00000", "+000.00000", 180, "-00.36169", "-000.00005"},
        EndCase{"+00.00000", "+000.00000", 270, "+00.00003", "-000.36169"},
        EndCase{"+00.00000", "+000.00000", 359, "+00.36164", "-000.00630"},
        EndCase{"+51.50000", "-000.12000", 45, "+51.75575", "+000.29086"},
        EndCase{"+34.83333", "-118.16667", 135, "+34.57754", "-117.85513"},
        EndCase{"-33.90000", "+151.20000", 300, "-33.71913", "+150.82263"},
        EndCase{"+60.00000", "+010.00000", 90, "+60.00000", "+010.72340"}));

TEST(BearingLineEndWithoutBearing, CopiesTheStationTextsUnchanged)
{
    // Copied as they are, even a text that is not in the usual form.
    const auto end = bearingLineEnd(QStringLiteral("+34.41850"), QStringLiteral("odd"), 123, false);
    EXPECT_EQ(end.latitude, QStringLiteral("+34.41850"));
    EXPECT_EQ(end.longitude, QStringLiteral("odd"));
}

TEST(BearingLineEndSouth, StretchesByTheAbsoluteLatitude)
{
    const auto north = bearingLineEnd(QStringLiteral("+33.90000"), QStringLiteral("+151.20000"), 90, true);
    const auto south = bearingLineEnd(QStringLiteral("-33.90000"), QStringLiteral("+151.20000"), 90, true);
    EXPECT_EQ(north.longitude, south.longitude);
}

TEST(CoordinateTexts, CarrySignPaddingAndFiveDecimals)
{
    EXPECT_EQ(geo::latitudeText(51.5), QStringLiteral("+51.50000"));
    EXPECT_EQ(geo::latitudeText(-5.12345), QStringLiteral("-05.12345"));
    EXPECT_EQ(geo::latitudeText(0), QStringLiteral("+00.00000"));
    EXPECT_EQ(geo::longitudeText(-118.166666), QStringLiteral("-118.16667"));
    EXPECT_EQ(geo::longitudeText(0.290864), QStringLiteral("+000.29086"));
    // No clamping at 90 or 180 degrees.
    EXPECT_EQ(geo::latitudeText(123.4), QStringLiteral("+123.40000"));
    EXPECT_EQ(geo::longitudeText(-1234.5), QStringLiteral("-1234.50000"));
}

TEST(CoordinateTexts, NeverWriteMinusZero)
{
    EXPECT_EQ(geo::latitudeText(-0.000001), QStringLiteral("+00.00000"));
    EXPECT_EQ(geo::longitudeText(-0.000004), QStringLiteral("+000.00000"));
    EXPECT_EQ(geo::longitudeText(-0.000006), QStringLiteral("-000.00001"));
}

TEST(CoordinateTexts, UseAPointUnderACommaLocale)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_EQ(QLocale().decimalPoint(), QStringLiteral(","));
    EXPECT_EQ(geo::latitudeText(34.4185), QStringLiteral("+34.41850"));
    EXPECT_EQ(geo::longitudeText(-119.741666), QStringLiteral("-119.74167"));
    const auto end = bearingLineEnd(QStringLiteral("+51.50000"), QStringLiteral("-000.12000"), 45, true);
    EXPECT_EQ(end.latitude, QStringLiteral("+51.75575"));
    QLocale::setDefault(previous);
}

TEST(CoordinateTexts, ReadBackAsNumbers)
{
    EXPECT_DOUBLE_EQ(geo::readCoordinate(u"-118.16667"), -118.16667);
    EXPECT_DOUBLE_EQ(geo::readCoordinate(u"+00.36169"), 0.36169);
}
