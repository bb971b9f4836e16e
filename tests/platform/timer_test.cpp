#include "platform/timer.h"
#include "platform/timerset.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <vector>

using platform::Timer;

TEST(Timer, FiresRepeatedlyWhileEnabledAndNeverWithIntervalZero)
{
    Timer timer;
    int fired = 0;
    QObject::connect(&timer, &Timer::fired, [&] { ++fired; });
    timer.setEnabled(true); // interval 0: enabled, but silent
    QTest::qWait(50);
    EXPECT_EQ(fired, 0);
    timer.setInterval(10);
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired >= 3; }, 2000));
    timer.setEnabled(false);
    const int atStop = fired;
    QTest::qWait(50);
    EXPECT_EQ(fired, atStop);
}

TEST(Timer, EnablingARunningTimerKeepsItsCountdownWhileRestartBeginsAnew)
{
    Timer timer;
    timer.setInterval(200);
    int fired = 0;
    QObject::connect(&timer, &Timer::fired, [&] { ++fired; });

    QElapsedTimer clock;
    clock.start();
    timer.setEnabled(true);
    QTest::qWait(120);
    timer.setEnabled(true); // no effect on the countdown
    ASSERT_TRUE(QTest::qWaitFor([&] { return fired == 1; }, 2000));
    EXPECT_LT(clock.elapsed(), 300);

    timer.setEnabled(false);
    fired = 0;
    timer.setEnabled(true);
    clock.restart();
    QTest::qWait(120);
    timer.restart(); // the next expiry is a full interval from here
    ASSERT_TRUE(QTest::qWaitFor([&] { return fired == 1; }, 2000));
    EXPECT_GE(clock.elapsed(), 310);
}

TEST(TimerSet, GrowsAtTheNextIndexAndReportsWhichElementFired)
{
    platform::TimerSet set;
    EXPECT_EQ(set.ubound(), 0);
    set.add();
    platform::TimerSet::Element second = set.add();
    EXPECT_EQ(set.ubound(), 2);
    EXPECT_FALSE(second.isEnabled());
    QList<int> fired;
    QObject::connect(&set, &platform::TimerSet::fired, [&](int index) { fired << index; });
    second.setInterval(1);
    second.setEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fired.isEmpty(); }));
    second.setEnabled(false);
    EXPECT_EQ(fired.first(), 2);
}

TEST(Timer, NeverFiresEarlyAndKeepsItsPeriodWithoutDrift)
{
    // The station's stated intervals: the test tick, the status timer, the watchdog. The k-th expiry
    // of a periodic timer comes no sooner than k intervals after it was enabled.
    const int intervals[] = {200, 250, 1000};
    std::vector<std::unique_ptr<Timer>> timers;
    std::vector<QList<qint64>> firedAt(std::size(intervals));
    QElapsedTimer clock;
    clock.start();
    for (size_t i = 0; i < std::size(intervals); ++i) {
        timers.push_back(std::make_unique<Timer>());
        timers.back()->setInterval(intervals[i]);
        QObject::connect(timers.back().get(), &Timer::fired, [&, i] { firedAt[i] << clock.nsecsElapsed(); });
    }
    // Each timer's own start, read just before it is enabled: one read after enabling them all would
    // be late by however long the others took to enable, and make a punctual timer look early.
    std::vector<qint64> enabledAt;
    for (auto& timer : timers) {
        enabledAt.push_back(clock.nsecsElapsed());
        timer->setEnabled(true);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return firedAt[2].size() >= 2; }, 5000));
    for (size_t i = 0; i < std::size(intervals); ++i) {
        for (qsizetype k = 0; k < firedAt[i].size(); ++k)
            EXPECT_GE(firedAt[i][k] - enabledAt[i], (k + 1) * intervals[i] * 1000000LL) << intervals[i] << " ms, expiry " << k + 1;
    }
}
