#pragma once
// A web server as the station runs it (socket set, pacing timers, channel pool) listening on a free
// loopback port, with a document the test chooses, and clients to talk to it.

#include "platform/tcpsocketset.h"
#include "platform/timerset.h"
#include "support/loopback.h"
#include "core/web/channelpool.h"

#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace webtest {

class Served : public ::testing::Test
{
protected:
    void SetUp() override
    {
        port = testsupport::freePort();
        sockets.setLocalPort(0, port);
        ASSERT_TRUE(sockets.listen(0)) << sockets.errorString().toStdString();
    }

    // A client whose connection a channel has taken over.
    std::unique_ptr<QTcpSocket> connectClient()
    {
        auto client = std::make_unique<QTcpSocket>();
        client->connectToHost(QHostAddress::LocalHost, port);
        EXPECT_TRUE(QTest::qWaitFor([&] { return client->state() == QAbstractSocket::ConnectedState; }));
        return client;
    }

    // Channels whose socket is connected.
    int connectedChannels() const
    {
        int n = 0;
        for (int i = 1; i <= sockets.ubound(); ++i)
            n += sockets.state(i) == 7 ? 1 : 0;
        return n;
    }

    QByteArray fetch(const QByteArray& request) { return testsupport::fetch(port, request); }

    QString document = QStringLiteral("<kml>served</kml>");
    std::function<void()> beforeAnswer; // runs when the pool fills the document
    platform::TcpSocketSet sockets;
    platform::TimerSet timers;
    web::ChannelPool pool{sockets, timers, [this] {
        if (beforeAnswer)
            beforeAnswer();
        return document;
    }};
    quint16 port = 0;
};

using testsupport::readUntilClosed;

// The answer to anything but a document request.
inline const QByteArray kError =
    "HTTP/1.0 Error 404 : File Not Found\r\nServer: Tarnvale DF Demo WebServer V 1.0\r\n\r\n";

} // namespace webtest
