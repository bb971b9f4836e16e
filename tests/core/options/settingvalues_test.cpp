#include "core/options/settingvalues.h"

#include <QLocale>
#include <gtest/gtest.h>

using options::cappedDigits;
using options::positionTexts;

namespace {

QStringList digits(const char* text)
{
    QStringList out;
    for (const char* c = text; *c; ++c)
        out << QString(QLatin1Char(*c));
    return out;
}

void expectPosition(const char* lat, const char* ns, const char* lon, const char* ew, const char* latText, const char* longText)
{
    const auto texts = positionTexts(digits(lat), QLatin1String(ns), digits(lon), QLatin1String(ew));
    EXPECT_EQ(texts.latitude, QLatin1String(latText)) << lat;
    EXPECT_EQ(texts.longitude, QLatin1String(longText)) << lon;
}

} // namespace

TEST(PositionTexts, FromDigitsAndHemispheres)
{
    expectPosition("3425110", "N", "11944500", "W", "+34.41850", "-119.74167");
    expectPosition("3425110", "S", "11944500", "E", "-34.41850", "+119.74167");
    expectPosition("0000000", "N", "00000000", "E", "+00.00000", "+000.00000");
    expectPosition("8959999", "N", "17959999", "E", "+89.99998", "+179.99998");
    // Only the exact capitals turn the sign.
    expectPosition("3425110", "s", "11944500", "w", "+34.41850", "+119.74167");
    // A tag that holds no number counts as 0.
    auto texts = positionTexts({"x", "4", "2", "5", "1", "1", ""}, "N", digits("00000000"), "E");
    EXPECT_EQ(texts.latitude, QStringLiteral("+04.41850"));
}

TEST(PositionTexts, CarryAPointUnderACommaLocale)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    expectPosition("3425110", "N", "11944500", "W", "+34.41850", "-119.74167");
    QLocale::setDefault(before);
}

TEST(CappedDigits, PortsAbove65535AndCalibrationsAbove359)
{
    EXPECT_EQ(cappedDigits(digits("69999"), 65535), digits("65535"));
    EXPECT_EQ(cappedDigits(digits("65536"), 65535), digits("65535"));
    EXPECT_FALSE(cappedDigits(digits("65535"), 65535));
    EXPECT_FALSE(cappedDigits(digits("00080"), 65535));
    EXPECT_EQ(cappedDigits(digits("399"), 359), digits("359"));
    EXPECT_FALSE(cappedDigits(digits("359"), 359));
}
