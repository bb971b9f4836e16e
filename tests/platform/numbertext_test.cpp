#include "platform/numbertext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using platform::numberText;
using platform::readInt16;
using platform::readNumber;

TEST(NumberReadFromText, TakesTheLeadingNumberAsTheStationReadsIt)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct { const char16_t* text; double value; } cases[] = {
        // The leading number, up to the first other character.
        {u"045", 45}, {u"4,x", 4}, {u"045%046", 45}, {u"-05\r", -5}, {u"+7", 7}, {u"1.5", 1.5},
        {u".5", 0.5}, {u"1.2.3", 1.2}, {u"3-4", 3},
        // Blanks, tabs and line feeds are skipped anywhere; a carriage return ends the number.
        {u"1 2", 12}, {u" \t\n-\t5", -5}, {u" 1 ", 1}, {u"1\r2", 1},
        // No leading number: zero.
        {u"", 0}, {u"\r", 0}, {u"%45", 0}, {u"-", 0}, {u".", 0}, {u"+-5", 0}, {u"S", 0},
        // An exponent only when digits follow it.
        {u"1E2", 100}, {u"1e2", 100}, {u"5E-1", 0.5}, {u"4E", 4}, {u"4E+", 4}, {u"9E9", 9e9},
        {u"1E999", inf}, {u"1E-999", 0},
        // A comma never continues a number, whatever the locale says.
        {u"12,75", 12}, {u"+34.41850", 34.4185},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
        const double value = readNumber(c.text);
        if (std::isinf(c.value))
            EXPECT_EQ(value, c.value); // not merely the largest finite number
        else
            EXPECT_DOUBLE_EQ(value, c.value);
    }
}

TEST(NumberReadFromText, RoundsInto16BitsWithHalvesToEven)
{
    const struct { const char16_t* text; std::optional<qint16> value; } cases[] = {
        {u"1.5", 2}, {u"2.5", 2}, {u"-2.5", -2}, {u"0.49", 0}, {u"32767", 32767}, {u"-32768", -32768},
        {u"32767.5", std::nullopt}, {u"32768", std::nullopt}, {u"9E9", std::nullopt}, {u"-1E999", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readInt16(c.text), c.value) << QString::fromUtf16(c.text).toStdString();
}

TEST(NumberWrittenAsText, PutsABlankOrMinusInTheSignPlace)
{
    EXPECT_EQ(numberText(45), QStringLiteral(" 45"));
    EXPECT_EQ(numberText(0), QStringLiteral(" 0"));
    EXPECT_EQ(numberText(-5), QStringLiteral("-5"));
    EXPECT_EQ(numberText(1100), QStringLiteral(" 1100"));
}
