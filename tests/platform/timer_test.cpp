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

TEST(TimerSet, ManyElementsRunningAtOnceFireInDueOrderNeverEarlyAndLeaveNoRoomBehind)
{
    // A burst's pacing timers: many elements with one period, enabled one after the other. Each
    // round fires them in the order they were enabled, whatever the load, and no expiry comes
    // sooner than its whole number of periods; a faster element runs among them on its own period.
    constexpr int kCount = 200;
    constexpr int kPeriod = 40;
    constexpr int kFast = kCount + 1;
    constexpr int kFastPeriod = 15;
    platform::TimerSet set;
    for (int i = 1; i <= kFast; ++i)
        set.add().setInterval(i == kFast ? kFastPeriod : kPeriod);
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> enabledAt(kFast + 1);
    std::vector<QList<qint64>> firedAt(kFast + 1);
    QList<int> order;
    QObject::connect(&set, &platform::TimerSet::fired, [&](int index) {
        firedAt[static_cast<size_t>(index)] << clock.nsecsElapsed();
        if (index != kFast)
            order << index;
    });
    for (int i = 1; i <= kFast; ++i) {
        enabledAt[static_cast<size_t>(i)] = clock.nsecsElapsed();
        set[i].setEnabled(true);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() >= 3 * kCount; }, 10000));
    for (int i = 1; i <= kFast; ++i)
        set[i].setEnabled(false);

    for (qsizetype k = 0; k < order.size(); ++k)
        ASSERT_EQ(order[k], k % kCount + 1) << "fire " << k;
    EXPECT_GE(firedAt[kFast].size(), 3);
    for (int i = 1; i <= kFast; ++i) {
        const qint64 period = (i == kFast ? kFastPeriod : kPeriod) * 1000000LL;
        const QList<qint64>& fired = firedAt[static_cast<size_t>(i)];
        for (qsizetype k = 0; k < fired.size(); ++k)
            EXPECT_GE(fired[k] - enabledAt[static_cast<size_t>(i)], (k + 1) * period) << i << ", expiry " << k + 1;
    }
    EXPECT_EQ(set.queued(), 0u);
    EXPECT_LE(set.queueCapacity(), 64u);
}

TEST(TimerSet, ChangesMadeInsideAHandlerTakeEffectAtOnce)
{
    // 1 disables 2 (due next) and restarts itself; 3 disables itself; 4 runs on with interval 0.
    platform::TimerSet set;
    for (int i = 1; i <= 4; ++i)
        set.add().setInterval(i == 4 ? 0 : 20);
    QElapsedTimer clock;
    clock.start();
    QList<int> fired;
    QList<qint64> firstAt;
    QObject::connect(&set, &platform::TimerSet::fired, [&](int index) {
        fired << index;
        if (index == 1 && firstAt.size() < 2) {
            firstAt << clock.elapsed();
            if (firstAt.size() == 1) {
                set[2].setEnabled(false);
                set[1].restart();
            }
        }
        if (index == 3)
            set[3].setEnabled(false);
    });
    for (int i = 1; i <= 4; ++i)
        set[i].setEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return firstAt.size() == 2; }, 3000));
    QTest::qWait(60);
    set[1].setEnabled(false);
    EXPECT_FALSE(fired.contains(2));
    EXPECT_FALSE(fired.contains(4));
    EXPECT_EQ(fired.count(3), 1);
    EXPECT_GE(firstAt[1] - firstAt[0], 20);
    EXPECT_TRUE(set[4].isEnabled());
}

TEST(TimerSet, EnablingARunningElementKeepsItsCountdown)
{
    // 1 (40 ms) is enabled, 2 (30 ms) at least 15 ms later, then 1 is enabled again: 1 is still due
    // first. Had the second enabling started 1 anew, 2 would come first.
    platform::TimerSet set;
    set.add().setInterval(40);
    set.add().setInterval(30);
    QList<int> fired;
    QObject::connect(&set, &platform::TimerSet::fired, [&](int index) { fired << index; });
    set[1].setEnabled(true);
    QTest::qWait(15);
    set[2].setEnabled(true);
    set[1].setEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fired.size() >= 2; }, 3000));
    EXPECT_EQ(fired.first(), 1);
}
