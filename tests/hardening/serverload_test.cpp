// Work per request must not pile up: a connection that has been served and closed leaves nothing
// behind that later requests pay for (timers waiting to expire, sockets waiting to be deleted).
#include "stationsetup.h"

#include "platform/messages.h"
#include "core/station/stationcore.h"
#include "support/loopback.h"
#include "support/messagerecorder.h"

#include <QAbstractEventDispatcher>
#include <QTest>
#include <gtest/gtest.h>

using ServedConnections = hardening::StationSetup;

TEST_F(ServedConnections, LeaveNoTimersOrSocketsBehind)
{
    platform::Messages shown;
    testsupport::MessageRecorder messages(shown);
    StationCore station(shown);
    ASSERT_TRUE(station.Form_Load());
    ASSERT_TRUE(testsupport::fetch(port, "GET / HTTP/1.0\r\n\r\n").startsWith("HTTP/1.0 200 OK"));
    QTest::qWait(100);

    // Single-shot timers that outlive what they were for are kept by the event dispatcher.
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    const auto pendingTimers = [&] { return dispatcher->children().size(); };
    const qsizetype timersBefore = pendingTimers();

    constexpr int kRequests = 150;
    for (int i = 0; i < kRequests; ++i)
        ASSERT_TRUE(testsupport::fetch(port, "GET / HTTP/1.0\r\n\r\n").startsWith("HTTP/1.0 200 OK")) << i;
    EXPECT_TRUE(QTest::qWaitFor([&] { return station.httpServer().lingeringCount() == 0; }, 3000))
        << station.httpServer().lingeringCount() << " served connections still held";
    EXPECT_LT(pendingTimers() - timersBefore, kRequests / 10)
        << pendingTimers() - timersBefore << " timers left pending by " << kRequests << " requests";
    EXPECT_EQ(messages.count(), 0);
}
