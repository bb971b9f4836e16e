// The station window's caption for the listening socket.
#include "station/stationwindow.h"
#include "support/loopback.h"
#include "support/waitfor.h"

#include <QLabel>
#include <QTcpSocket>
#include <gtest/gtest.h>

using testsupport::freePort;
using testsupport::spin;
using testsupport::waitFor;

namespace {
const QString kClosed = QStringLiteral("WEBSITE SERVER STATE 0 : CONN CLOSED");
const QString kListening = QStringLiteral("WEBSITE SERVER STATE 2 : LISTENING");
}

TEST(StatusDisplay, ShowsTheListeningSocketsStateFourTimesASecond)
{
    Form_STATION station;
    auto* caption = station.findChild<QLabel*>(QStringLiteral("Label_HTTP0"));
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->text(), kClosed);
    EXPECT_EQ(station.timerLinkStat().interval(), 250);
    EXPECT_TRUE(station.timerLinkStat().isEnabled());

    platform::TcpSocketSet& server = station.httpServer();
    const quint16 port = freePort();
    server.setLocalPort(0, port);
    ASSERT_TRUE(server.listen(0));
    EXPECT_TRUE(waitFor([&] { return caption->text() == kListening; }, 2000));

    // Connections on channels leave the caption alone.
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 5; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QHostAddress::LocalHost, port);
    }
    ASSERT_TRUE(waitFor([&] { return server.ubound() == 5 && server.state(5) == 7; }));
    spin(300);
    EXPECT_EQ(caption->text(), kListening);

    // A port that cannot be listened on leaves the socket closed, and the caption says so.
    server.close(0);
    server.setLocalPort(0, 99999);
    EXPECT_FALSE(server.listen(0));
    EXPECT_TRUE(waitFor([&] { return caption->text() == kClosed; }, 2000));
    spin(300);
    EXPECT_NE(caption->text(), kListening);

    server.setLocalPort(0, freePort());
    ASSERT_TRUE(server.listen(0));
    EXPECT_TRUE(waitFor([&] { return caption->text() == kListening; }, 2000));
}
