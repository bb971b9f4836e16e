#include "platform/filelimit.h"

#include <gtest/gtest.h>

// Raising the limit in a real process, and the line about a low hard limit, are checked on the
// running station (tests/hardening/silentflood_test.cpp).
using platform::chosenSoftLimit;
using platform::kWantedOpenFiles;
using platform::OpenFileLimit;

TEST(OpenFileLimit, SoftLimitRisesTowardsTheHardLimitAsFarAsTheStationCanUseNeverLower)
{
    constexpr qint64 kNone = OpenFileLimit::kUnlimited;
    const struct
    {
        OpenFileLimit current;
        qint64 expected;
    } cases[] = {
        {{1024, 1024}, 1024},
        {{1024, 4096}, 4096},
        {{1024, kWantedOpenFiles}, kWantedOpenFiles},
        {{1024, 1 << 20}, kWantedOpenFiles},
        {{1024, kNone}, kWantedOpenFiles},
        {{kWantedOpenFiles + 5000, kNone}, kWantedOpenFiles + 5000},
        {{kNone, kNone}, kNone},
    };
    for (const auto& c : cases)
        EXPECT_EQ(chosenSoftLimit(c.current), c.expected) << c.current.soft << " / " << c.current.hard;
    EXPECT_EQ(chosenSoftLimit({100, 1000}, 500), 500);
}
