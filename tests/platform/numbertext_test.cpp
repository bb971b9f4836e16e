#include "platform/numbertext.h"

#include <gtest/gtest.h>

#include <cmath>

using platform::numberText;
using platform::readInt16;
using platform::readNumber;

TEST(NumberReadFromText, TakesTheLeadingNumberAndStopsAtTheFirstOtherCharacter)
{
    EXPECT_EQ(readNumber(u"045"), 45);
    EXPECT_EQ(readNumber(u"4,x"), 4);
    EXPECT_EQ(readNumber(u"045%046"), 45);
    EXPECT_EQ(readNumber(u"-05\r"), -5);
    EXPECT_EQ(readNumber(u"+7"), 7);
    EXPECT_DOUBLE_EQ(readNumber(u"1.5"), 1.5);
    EXPECT_DOUBLE_EQ(readNumber(u".5"), 0.5);
    EXPECT_DOUBLE_EQ(readNumber(u"1.2.3"), 1.2);
    EXPECT_EQ(readNumber(u"3-4"), 3);
}

TEST(NumberReadFromText, SkipsBlanksTabsAndLineFeedsAnywhere)
{
    EXPECT_EQ(readNumber(u"1 2"), 12);
    EXPECT_EQ(readNumber(u" \t\n-\t5"), -5);
    EXPECT_EQ(readNumber(u" 1 "), 1);
    // A carriage return is not skipped: it ends the number.
    EXPECT_EQ(readNumber(u"1\r2"), 1);
}

TEST(NumberReadFromText, TextWithoutLeadingNumberReadsAsZero)
{
    EXPECT_EQ(readNumber(u""), 0);
    EXPECT_EQ(readNumber(u"\r"), 0);
    EXPECT_EQ(readNumber(u"%45"), 0);
    EXPECT_EQ(readNumber(u"-"), 0);
    EXPECT_EQ(readNumber(u"."), 0);
    EXPECT_EQ(readNumber(u"+-5"), 0);
    EXPECT_EQ(readNumber(u"S"), 0);
}

TEST(NumberReadFromText, ReadsAnExponentOnlyWhenDigitsFollowIt)
{
    EXPECT_EQ(readNumber(u"1E2"), 100);
    EXPECT_EQ(readNumber(u"1e2"), 100);
    EXPECT_DOUBLE_EQ(readNumber(u"5E-1"), 0.5);
    EXPECT_EQ(readNumber(u"4E"), 4);
    EXPECT_EQ(readNumber(u"4E+"), 4);
    EXPECT_EQ(readNumber(u"9E9"), 9e9);
    EXPECT_TRUE(std::isinf(readNumber(u"1E999")));
    EXPECT_EQ(readNumber(u"1E-999"), 0);
}

TEST(NumberReadFromText, IgnoresTheLocaleDecimalSeparator)
{
    // A comma never continues a number, whatever the user's locale says.
    EXPECT_EQ(readNumber(u"12,75"), 12);
    EXPECT_DOUBLE_EQ(readNumber(u"+34.41850"), 34.4185);
}

TEST(NumberReadFromText, RoundsInto16BitsWithHalvesToEven)
{
    EXPECT_EQ(readInt16(u"1.5"), 2);
    EXPECT_EQ(readInt16(u"2.5"), 2);
    EXPECT_EQ(readInt16(u"-2.5"), -2);
    EXPECT_EQ(readInt16(u"0.49"), 0);
    EXPECT_EQ(readInt16(u"32767"), 32767);
    EXPECT_EQ(readInt16(u"-32768"), -32768);
    EXPECT_EQ(readInt16(u"32767.5"), std::nullopt);
    EXPECT_EQ(readInt16(u"32768"), std::nullopt);
    EXPECT_EQ(readInt16(u"9E9"), std::nullopt);
    EXPECT_EQ(readInt16(u"-1E999"), std::nullopt);
}

TEST(NumberWrittenAsText, PutsABlankOrMinusInTheSignPlace)
{
    EXPECT_EQ(numberText(45), QStringLiteral(" 45"));
    EXPECT_EQ(numberText(0), QStringLiteral(" 0"));
    EXPECT_EQ(numberText(-5), QStringLiteral("-5"));
    EXPECT_EQ(numberText(1100), QStringLiteral(" 1100"));
}
