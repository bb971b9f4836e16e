#include "core/bearing/testbearing.h"

#include <gtest/gtest.h>

TEST(TestBearing, SixDegreesPerSecondAsThreeDigits)
{
    const struct { int second; qint16 degrees; const char* text; } cases[] = {
        {0, 0, "000"}, {1, 6, "006"}, {16, 96, "096"}, {17, 102, "102"}, {59, 354, "354"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bearing::testBearing(c.second), c.degrees) << c.second;
        EXPECT_EQ(bearing::testBearingText(c.degrees), QLatin1String(c.text)) << c.second;
    }
}
