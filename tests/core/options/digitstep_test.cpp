#include "core/options/digitstep.h"

#include <gtest/gtest.h>

using namespace options;

TEST(DigitStep, PlainDigitsWrapWithinTheirRangeAndLeaveDigitsOutsideIt)
{
    for (int highest : {3, 5, 6, 8, 9}) {
        EXPECT_EQ(plainStep(highest, highest, Step::Up), 0);
        EXPECT_EQ(plainStep(0, highest, Step::Down), highest);
        EXPECT_EQ(plainStep(2, highest, Step::Up), 3);
        EXPECT_EQ(plainStep(2, highest, Step::Down), 1);
    }
    for (int digit : {7, 12, -1})
        EXPECT_FALSE(plainStep(digit, 6, Step::Up)) << digit;
}

TEST(DigitStep, LongitudeTensDependOnTheHundreds)
{
    EXPECT_EQ(longitudeTensStep(7, 1, Step::Up), 0);
    EXPECT_EQ(longitudeTensStep(0, 1, Step::Down), 7);
    EXPECT_EQ(longitudeTensStep(7, 0, Step::Up), 8);
    EXPECT_EQ(longitudeTensStep(0, 0, Step::Down), 9);
    // Everything else steps as a plain 0 to 9 digit, whatever the hundreds.
    EXPECT_EQ(longitudeTensStep(9, 1, Step::Up), 0);
    EXPECT_EQ(longitudeTensStep(8, 0, Step::Down), 7);
    EXPECT_FALSE(longitudeTensStep(10, 0, Step::Up));
}

TEST(DigitStep, LongitudeHundredsToggleCutsTheTensToSeven)
{
    const auto to179 = longitudeHundredsToggle(0, 9);
    EXPECT_EQ(to179.hundreds, 1);
    EXPECT_EQ(to179.tens, 7);
    EXPECT_FALSE(longitudeHundredsToggle(0, 7).tens);
    const auto back = longitudeHundredsToggle(1, 7);
    EXPECT_EQ(back.hundreds, 0);
    EXPECT_FALSE(back.tens);
    EXPECT_FALSE(longitudeHundredsToggle(2, 9).hundreds);
}
