// The station's caption for the listening socket.
#include "platform/messages.h"
#include "core/station/stationcore.h"
#include "support/loopback.h"

#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

using testsupport::freePort;

namespace {
const QString kClosed = QStringLiteral("WEBSITE SERVER STATE 0 : CONN CLOSED");
const QString kListening = QStringLiteral("WEBSITE SERVER STATE 2 : LISTENING");
}

TEST(StatusDisplay, ShowsTheListeningSocketsStateFourTimesASecond)
{
    platform::Messages messages;
    StationCore station(messages);
    const auto caption = [&] { return station.controls().caption(station::ControlId::Label_HTTP0); };
    EXPECT_EQ(caption(), kClosed);
    EXPECT_EQ(station.timerLinkStat().interval(), 250);
    EXPECT_TRUE(station.timerLinkStat().isEnabled());

    platform::TcpSocketSet& server = station.httpServer();
    const quint16 port = freePort();
    server.setLocalPort(0, port);
    ASSERT_TRUE(server.listen(0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return caption() == kListening; }, 2000));

    // Connections on channels leave the caption alone.
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 5; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QHostAddress::LocalHost, port);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.ubound() == 5 && server.state(5) == 7; }));
    QTest::qWait(300);
    EXPECT_EQ(caption(), kListening);

    // A port that cannot be listened on leaves the socket closed, and the caption says so.
    server.close(0);
    server.setLocalPort(0, 99999);
    EXPECT_FALSE(server.listen(0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return caption() == kClosed; }, 2000));
    QTest::qWait(300);
    EXPECT_NE(caption(), kListening);

    server.setLocalPort(0, freePort());
    ASSERT_TRUE(server.listen(0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return caption() == kListening; }, 2000));
}
