#include "options/digitstep.h"

#include <QString>
#include <gtest/gtest.h>

using options::longitudeHundredsToggle;
using options::longitudeTensStep;
using options::plainStep;
using options::Step;

TEST(PlainStep, WrapsAtBothEndsOfEachRange)
{
    EXPECT_EQ(plainStep(u"8", 8, Step::Up), 0);   // tens of latitude degrees
    EXPECT_EQ(plainStep(u"0", 8, Step::Down), 8);
    EXPECT_EQ(plainStep(u"5", 5, Step::Up), 0);   // tens of minutes
    EXPECT_EQ(plainStep(u"0", 5, Step::Down), 5);
    EXPECT_EQ(plainStep(u"9", 9, Step::Up), 0);
    EXPECT_EQ(plainStep(u"0", 9, Step::Down), 9);
    EXPECT_EQ(plainStep(u"6", 6, Step::Up), 0);   // ten-thousands of the website port
    EXPECT_EQ(plainStep(u"0", 6, Step::Down), 6);
    EXPECT_EQ(plainStep(u"3", 3, Step::Up), 0);   // hundreds of the calibration
    EXPECT_EQ(plainStep(u"0", 3, Step::Down), 3);
    EXPECT_EQ(plainStep(u"4", 9, Step::Up), 5);
    EXPECT_EQ(plainStep(u"4", 9, Step::Down), 3);
}

TEST(PlainStep, LeavesTagsThatAreNotExactlyADigitOfTheRange)
{
    for (const char16_t* tag : {u"7", u"9", u"12", u" 1", u"1 ", u"", u"x", u"-1", u"01"})
        EXPECT_FALSE(plainStep(tag, 6, Step::Up).has_value()) << QString::fromUtf16(tag).toStdString();
    EXPECT_FALSE(plainStep(u"9", 8, Step::Down).has_value());
}

TEST(LongitudeTens, CyclesThroughZeroToSevenWhileTheHundredsIsOne)
{
    EXPECT_EQ(longitudeTensStep(u"7", u"1", Step::Up), 0);
    EXPECT_EQ(longitudeTensStep(u"0", u"1", Step::Down), 7);
    EXPECT_EQ(longitudeTensStep(u"3", u"1", Step::Up), 4);
    // A tens digit above 7 (only from a hand-edited file) still steps as a plain digit.
    EXPECT_EQ(longitudeTensStep(u"9", u"1", Step::Up), 0);
    EXPECT_EQ(longitudeTensStep(u"9", u"1", Step::Down), 8);
}

TEST(LongitudeTens, StepsOverZeroToNineOtherwise)
{
    EXPECT_EQ(longitudeTensStep(u"7", u"0", Step::Up), 8);
    EXPECT_EQ(longitudeTensStep(u"0", u"0", Step::Down), 9);
    EXPECT_EQ(longitudeTensStep(u"9", u"0", Step::Up), 0);
    EXPECT_EQ(longitudeTensStep(u"8", u"0", Step::Down), 7);
    // Any hundreds tag that does not read 1 counts as "not 1".
    EXPECT_EQ(longitudeTensStep(u"7", u"x", Step::Up), 8);
    EXPECT_FALSE(longitudeTensStep(u"a", u"0", Step::Up).has_value());
}

TEST(LongitudeHundreds, TogglesAndCutsTheTensToSeven)
{
    auto t = longitudeHundredsToggle(u"0", u"9");
    EXPECT_EQ(t.hundreds, 1);
    EXPECT_EQ(t.tens, 7);

    t = longitudeHundredsToggle(u"0", u"7");
    EXPECT_EQ(t.hundreds, 1);
    EXPECT_FALSE(t.tens.has_value());

    t = longitudeHundredsToggle(u"1", u"7");
    EXPECT_EQ(t.hundreds, 0);
    EXPECT_FALSE(t.tens.has_value());

    t = longitudeHundredsToggle(u"2", u"9");
    EXPECT_FALSE(t.hundreds.has_value());
    EXPECT_FALSE(t.tens.has_value());
}
