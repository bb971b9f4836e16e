#include "core/options/digitstep.h"

#include <QString>
#include <gtest/gtest.h>

using namespace options;

TEST(DigitStep, PlainDigitsWrapWithinTheirRangeAndLeaveForeignTags)
{
    for (int highest : {3, 5, 6, 8, 9}) {
        const QString top = QString::number(highest);
        EXPECT_EQ(plainStep(top, highest, Step::Up), 0);
        EXPECT_EQ(plainStep(u"0", highest, Step::Down), highest);
        EXPECT_EQ(plainStep(u"2", highest, Step::Up), 3);
        EXPECT_EQ(plainStep(u"2", highest, Step::Down), 1);
    }
    for (const char16_t* tag : {u"7", u"12", u" 1", u"", u"x", u"-1", u"01"})
        EXPECT_FALSE(plainStep(tag, 6, Step::Up)) << QString::fromUtf16(tag).toStdString();
}

TEST(DigitStep, LongitudeTensDependOnTheHundreds)
{
    EXPECT_EQ(longitudeTensStep(u"7", u"1", Step::Up), 0);
    EXPECT_EQ(longitudeTensStep(u"0", u"1", Step::Down), 7);
    EXPECT_EQ(longitudeTensStep(u"7", u"0", Step::Up), 8);
    EXPECT_EQ(longitudeTensStep(u"0", u"0", Step::Down), 9);
    // Everything else steps as a plain 0 to 9 digit, whatever the hundreds.
    EXPECT_EQ(longitudeTensStep(u"9", u"1", Step::Up), 0);
    EXPECT_EQ(longitudeTensStep(u"8", u"0", Step::Down), 7);
    EXPECT_FALSE(longitudeTensStep(u"a", u"0", Step::Up));
}

TEST(DigitStep, LongitudeHundredsToggleCutsTheTensToSeven)
{
    const auto to179 = longitudeHundredsToggle(u"0", u"9");
    EXPECT_EQ(to179.hundreds, 1);
    EXPECT_EQ(to179.tens, 7);
    EXPECT_FALSE(longitudeHundredsToggle(u"0", u"7").tens);
    const auto back = longitudeHundredsToggle(u"1", u"7");
    EXPECT_EQ(back.hundreds, 0);
    EXPECT_FALSE(back.tens);
    EXPECT_FALSE(longitudeHundredsToggle(u"2", u"9").hundreds);
}
