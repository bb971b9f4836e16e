#include "options/settingvalues.h"

#include <QLocale>
#include <gtest/gtest.h>

using options::cappedDigits;
using options::joinedValue;
using options::positionTexts;

namespace {

QStringList digits(const char* text)
{
    QStringList out;
    for (const char* c = text; *c; ++c)
        out << QString(QLatin1Char(*c));
    return out;
}

} // namespace

TEST(PositionTexts, DefaultStationNorthWest)
{
    const auto texts = positionTexts(digits("3425110"), QStringLiteral("N"), digits("11944500"), QStringLiteral("W"));
    EXPECT_EQ(texts.latitude, QStringLiteral("+34.41850"));
    EXPECT_EQ(texts.longitude, QStringLiteral("-119.74167"));
}

TEST(PositionTexts, ZerosLargestValuesAndHemispheres)
{
    auto texts = positionTexts(digits("0000000"), QStringLiteral("N"), digits("00000000"), QStringLiteral("E"));
    EXPECT_EQ(texts.latitude, QStringLiteral("+00.00000"));
    EXPECT_EQ(texts.longitude, QStringLiteral("+000.00000"));

    texts = positionTexts(digits("8959999"), QStringLiteral("N"), digits("17959999"), QStringLiteral("E"));
    EXPECT_EQ(texts.latitude, QStringLiteral("+89.99998"));
    EXPECT_EQ(texts.longitude, QStringLiteral("+179.99998"));

    texts = positionTexts(digits("3425110"), QStringLiteral("S"), digits("11944500"), QStringLiteral("E"));
    EXPECT_EQ(texts.latitude, QStringLiteral("-34.41850"));
    EXPECT_EQ(texts.longitude, QStringLiteral("+119.74167"));

    // Only the exact capitals turn the sign.
    texts = positionTexts(digits("3425110"), QStringLiteral("s"), digits("11944500"), QStringLiteral("w"));
    EXPECT_EQ(texts.latitude, QStringLiteral("+34.41850"));
    EXPECT_EQ(texts.longitude, QStringLiteral("+119.74167"));
}

TEST(PositionTexts, TagsThatHoldNoNumberCountAsZero)
{
    QStringList lat = digits("3425110");
    lat[0] = QStringLiteral("x");
    lat[6] = QString();
    const auto texts = positionTexts(lat, QStringLiteral("N"), digits("00000000"), QStringLiteral("E"));
    EXPECT_EQ(texts.latitude, QStringLiteral("+04.41850"));
}

TEST(PositionTexts, CarryAPointUnderACommaLocale)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto texts = positionTexts(digits("3425110"), QStringLiteral("N"), digits("11944500"), QStringLiteral("W"));
    QLocale::setDefault(before);
    EXPECT_EQ(texts.latitude, QStringLiteral("+34.41850"));
    EXPECT_EQ(texts.longitude, QStringLiteral("-119.74167"));
}

TEST(CappedDigits, CutsPortsAbove65535AndCalibrationsAbove359)
{
    EXPECT_EQ(cappedDigits(digits("69999"), 65535), digits("65535"));
    EXPECT_EQ(cappedDigits(digits("65536"), 65535), digits("65535"));
    EXPECT_EQ(cappedDigits(digits("70000"), 65535), digits("65535"));
    EXPECT_FALSE(cappedDigits(digits("65535"), 65535).has_value());
    EXPECT_FALSE(cappedDigits(digits("00080"), 65535).has_value());

    EXPECT_EQ(cappedDigits(digits("399"), 359), digits("359"));
    EXPECT_EQ(cappedDigits(digits("360"), 359), digits("359"));
    EXPECT_FALSE(cappedDigits(digits("359"), 359).has_value());
}

TEST(JoinedValue, ReadsTheNumberTheJoinedTagsBeginWith)
{
    EXPECT_EQ(joinedValue(digits("00080")), 80);
    EXPECT_EQ(joinedValue(digits("65535")), 65535);
    EXPECT_EQ(joinedValue({QStringLiteral("1"), QStringLiteral("x"), QStringLiteral("5")}), 1);
    EXPECT_EQ(joinedValue({QStringLiteral("x"), QStringLiteral("5")}), 0);
}
