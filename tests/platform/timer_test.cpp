#include "platform/timer.h"
#include "platform/timerset.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

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
    Timer& second = set.add();
    EXPECT_EQ(set.ubound(), 2);
    EXPECT_FALSE(second.isEnabled());
    QList<int> fired;
    QObject::connect(&set, &platform::TimerSet::fired, [&](int index) { fired << index; });
    second.setInterval(1);
    second.setPrecise(true);
    second.setEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fired.isEmpty(); }));
    second.setEnabled(false);
    EXPECT_EQ(fired.first(), 2);
}
