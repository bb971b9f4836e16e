// The listening socket's state as the station reads it for its window.
#include "platform/messages.h"
#include "core/station/stationcore.h"
#include "support/loopback.h"

#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

using testsupport::freePort;

namespace {
constexpr int kClosed = 0;
constexpr int kListening = 2;
}

TEST(StatusDisplay, ShowsTheListeningSocketsStateFourTimesASecond)
{
    platform::Messages messages;
    StationCore station(messages);
    const auto state = [&] { return station.model().serverState(); };
    EXPECT_EQ(state(), -1); // not read yet: the window keeps its design caption
    ASSERT_TRUE(QTest::qWaitFor([&] { return state() == kClosed; }, 2000));
    EXPECT_EQ(station.timerLinkStat().interval(), 250);
    EXPECT_TRUE(station.timerLinkStat().isEnabled());

    platform::TcpSocketSet& server = station.httpServer();
    const quint16 port = freePort();
    server.setLocalPort(0, port);
    ASSERT_TRUE(server.listen(0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return state() == kListening; }, 2000));

    // Connections on channels leave the state alone.
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 5; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QHostAddress::LocalHost, port);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.ubound() == 5 && server.state(5) == 7; }));
    QTest::qWait(300);
    EXPECT_EQ(state(), kListening);

    // A port that cannot be listened on leaves the socket closed, and the state says so.
    server.close(0);
    server.setLocalPort(0, 99999);
    EXPECT_FALSE(server.listen(0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return state() == kClosed; }, 2000));
    QTest::qWait(300);
    EXPECT_NE(state(), kListening);

    server.setLocalPort(0, freePort());
    ASSERT_TRUE(server.listen(0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return state() == kListening; }, 2000));
}
