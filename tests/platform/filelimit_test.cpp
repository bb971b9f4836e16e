#include "platform/eventlog.h"
#include "platform/filelimit.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <sys/resource.h>

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

TEST(OpenFileLimit, ThisProcessIsRaisedAndAHardLimitBelowTheNeedIsSaidInOneLine)
{
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const rlimit low{std::min<rlim_t>(256, saved.rlim_max), saved.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    QStringList lines;
    platform::setEventSink([&](const QString& line) { lines << line; });

    const OpenFileLimit after = platform::raiseOpenFileLimit();

    platform::setEventSink({});
    rlimit now{};
    ::getrlimit(RLIMIT_NOFILE, &now);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    const bool unlimited = saved.rlim_max == RLIM_INFINITY;
    const auto hard = static_cast<qint64>(saved.rlim_max);
    const qint64 expected = unlimited ? kWantedOpenFiles : std::min(hard, kWantedOpenFiles);
    EXPECT_EQ(after.soft, expected);
    EXPECT_EQ(static_cast<qint64>(now.rlim_cur), expected);
    if (!unlimited && hard < kWantedOpenFiles) {
        ASSERT_EQ(lines.size(), 1);
        EXPECT_TRUE(lines[0].contains(QStringLiteral("hard limit of %1 ").arg(hard))) << lines[0].toStdString();
    } else {
        EXPECT_TRUE(lines.isEmpty());
    }
}
