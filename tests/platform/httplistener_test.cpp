// The listening socket that keeps an HTTP server module without limits of its own within them: Qt's
// module takes its connections, and oversized requests, idle and surplus connections are dealt with
// before the module ever reads them.
#include "platform/connectionguard.h"
#include "platform/connectionshedder.h"
#include "platform/httplistener.h"
#include "support/loopback.h"
#include "support/rawclient.h"

#include <QAbstractHttpServer>
#include <QElapsedTimer>
#include <QPointer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

using platform::HttpListener;
using testsupport::RawClient;

namespace {

// The smallest server on the module: every request is answered "ok", and counted.
class OkServer : public QAbstractHttpServer
{
public:
    int requests = 0;

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override
    {
        ++requests;
        makeResponder(request, socket).write(QByteArray("ok"), "text/plain");
        return true;
    }
    void missingHandler(const QHttpServerRequest&, QTcpSocket*) override {}
};

class Limited : public ::testing::Test
{
protected:
    void SetUp() override
    {
        listener = new HttpListener;
        ASSERT_TRUE(listener->listen(QHostAddress::LocalHost, 0));
        server.bind(listener);
        port = listener->serverPort();
    }

    // Sends `bytes` on a fresh connection and reads until the server ends it.
    QByteArray exchange(const QByteArray& bytes, bool* reset = nullptr) const
    {
        RawClient client(port);
        EXPECT_TRUE(client.isOpen());
        EXPECT_TRUE(client.send(bytes));
        return client.readUntilEnd(5000, reset);
    }
    // Sends a request on a fresh connection and returns the answer once it is whole (the module keeps
    // connections open for the next request).
    QByteArray ask(const QByteArray& request) const
    {
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, port);
        client.write(request);
        QByteArray answer;
        (void)QTest::qWaitFor([&] {
            answer += client.readAll();
            return answer.endsWith("\r\n\r\nok") || answer.endsWith("Content-Length: 0\r\nConnection: close\r\n\r\n")
                || client.state() == QAbstractSocket::UnconnectedState;
        }, 5000);
        return answer;
    }

    OkServer server;
    HttpListener* listener = nullptr; // owned by the server once bound
    quint16 port = 0;
};

const QByteArray kRequest = "GET / HTTP/1.1\r\nHost: here\r\nConnection: close\r\n\r\n";

// A request whose head is `size` bytes long.
QByteArray requestOfSize(int size)
{
    const QByteArray start = "GET / HTTP/1.1\r\nX-Filler: ";
    const QByteArray end = "\r\n\r\n";
    return start + QByteArray(size - start.size() - end.size(), 'a') + end;
}

} // namespace

TEST_F(Limited, TheModuleTakesItsConnectionsAndAnswersWithinTheLimits)
{
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    client.write(kRequest);
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.readAll().startsWith("HTTP/1.1 200 OK"); }, 3000));
    EXPECT_EQ(server.requests, 1);
    EXPECT_EQ(listener->connectionCount(), 1);
    // A head just within the limit is still a request like any other.
    EXPECT_TRUE(ask(requestOfSize(HttpListener::kMaxRequestBytes)).startsWith("HTTP/1.1 200 OK"));
}

TEST_F(Limited, OversizedHeadsAndBodiesAreRefusedAndTheAnswerArrivesBeforeTheEnd)
{
    bool reset = true;
    const QByteArray head = exchange(requestOfSize(3 * HttpListener::kMaxRequestBytes), &reset);
    EXPECT_TRUE(head.startsWith("HTTP/1.1 431 Request Header Fields Too Large\r\n")) << head.constData();
    EXPECT_FALSE(reset);

    // A head without its blank line is still a head, however slowly it comes.
    RawClient slow(port);
    for (int i = 0; i < 12; ++i) {
        ASSERT_TRUE(slow.send(i == 0 ? QByteArray("GET / HTTP/1.1\r\n") : "X-Part: " + QByteArray(1000, 'b') + "\r\n"));
        QTest::qWait(20);
    }
    EXPECT_TRUE(slow.readUntilEnd(5000).startsWith("HTTP/1.1 431 "));

    const QByteArray body = "GET / HTTP/1.1\r\nContent-Length: 8000\r\n\r\n" + QByteArray(20000, 'c');
    EXPECT_TRUE(exchange(body, &reset).startsWith("HTTP/1.1 413 Payload Too Large\r\n"));
    EXPECT_FALSE(reset);
    EXPECT_EQ(server.requests, 0);
}

TEST_F(Limited, ConnectionsOnWhichNothingMovesAreClosedAndAnsweredOnesStayWhileTheyTalk)
{
    listener->setIdleTimeout(400);
    RawClient silent(port);
    RawClient talking(port);
    ASSERT_TRUE(talking.send("GET / HTTP/1.1\r\nHost: here\r\n\r\n"));
    QTest::qWait(250);
    ASSERT_TRUE(talking.send("GET /again HTTP/1.1\r\nHost: here\r\n\r\n"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return silent.peek() == RawClient::Seen::Ended; }, 3000));
    EXPECT_NE(talking.peek(), RawClient::Seen::Ended);
    // Kept for its next request until it too has been idle that long.
    const QByteArray both = talking.readUntilEnd(3000);
    EXPECT_EQ(both.count("HTTP/1.1 200 OK"), 2) << both.constData();
    EXPECT_EQ(server.requests, 2);
}

TEST_F(Limited, AtTheConnectionLimitTheOneWaitingLongestForARequestMakesRoomAndOtherwiseTheNewcomerIsTold503)
{
    listener->setMaxConnections(2);
    {
        RawClient oldest(port);
        QTest::qWait(50);
        RawClient younger(port);
        ASSERT_TRUE(QTest::qWaitFor([&] { return listener->connectionCount() == 2; }));
        EXPECT_TRUE(ask(kRequest).startsWith("HTTP/1.1 200 OK"));
        EXPECT_EQ(oldest.peek(), RawClient::Seen::Ended);
        EXPECT_NE(younger.peek(), RawClient::Seen::Ended);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener->connectionCount() == 0; }));

    // Two connections trickling their heads: the one waiting longest makes room, however busy it looks.
    {
        RawClient oldest(port);
        ASSERT_TRUE(oldest.send("GET / HTTP/1.1\r\n"));
        QTest::qWait(50);
        RawClient younger(port);
        ASSERT_TRUE(younger.send("GET / HTTP/1.1\r\n"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return listener->connectionCount() == 2; }));
        QTest::qWait(50);
        ASSERT_TRUE(younger.send("X"));
        EXPECT_TRUE(ask(kRequest).startsWith("HTTP/1.1 200 OK"));
        EXPECT_EQ(oldest.peek(), RawClient::Seen::Ended);
        EXPECT_EQ(younger.peek(), RawClient::Seen::Nothing);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener->connectionCount() == 0; }));

    // Two whole heads whose bodies are still coming: both have asked, so the newcomer is told 503.
    RawClient busyA(port);
    RawClient busyB(port);
    ASSERT_TRUE(busyA.send("GET / HTTP/1.1\r\nContent-Length: 10\r\n\r\n12"));
    ASSERT_TRUE(busyB.send("GET / HTTP/1.1\r\nContent-Length: 10\r\n\r\n12"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener->connectionCount() == 2; }));
    QTest::qWait(50);
    bool reset = true;
    const QByteArray refused = exchange(kRequest, &reset);
    EXPECT_TRUE(refused.startsWith("HTTP/1.1 503 Service Unavailable\r\n")) << refused.constData();
    EXPECT_FALSE(reset);
    EXPECT_EQ(busyA.peek(), RawClient::Seen::Nothing);
    EXPECT_EQ(busyB.peek(), RawClient::Seen::Nothing);
    EXPECT_EQ(server.requests, 2);
}

TEST_F(Limited, AWholeRequestMustArriveWithinTheRequestTimeHoweverSlowlyItTrickles)
{
    listener->setRequestTimeout(300);
    QElapsedTimer clock;
    clock.start();
    RawClient trickling(port);
    ASSERT_TRUE(trickling.send("GET / HTTP/1.1\r\n"));
    // Each byte is progress to the idle time (a minute), never to the request time.
    while (trickling.peek() != RawClient::Seen::Ended && clock.elapsed() < 3000) {
        (void)trickling.send("X");
        QTest::qWait(40);
    }
    EXPECT_EQ(trickling.peek(), RawClient::Seen::Ended);
    EXPECT_LT(clock.elapsed(), 3000);

    // A body announced and never sent is part of the request, and so is an idle kept-alive connection's
    // next request.
    RawClient bodiless(port);
    ASSERT_TRUE(bodiless.send("GET / HTTP/1.1\r\nContent-Length: 5\r\n\r\nab"));
    RawClient kept(port);
    ASSERT_TRUE(kept.send("GET / HTTP/1.1\r\nHost: here\r\n\r\n"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return bodiless.peek() == RawClient::Seen::Ended; }, 3000));
    const QByteArray answered = kept.readUntilEnd(3000);
    EXPECT_TRUE(answered.startsWith("HTTP/1.1 200 OK") && answered.endsWith("ok")) << answered.constData();
    EXPECT_EQ(kept.peek(), RawClient::Seen::Ended);
    EXPECT_EQ(server.requests, 1);
}

TEST_F(Limited, AContentLengthThatIsNoSmallNonNegativeNumberIsABadRequest)
{
    for (const QByteArray& length : {QByteArray("99999999999999999999"), QByteArray("-1"), QByteArray("+5"),
                                     QByteArray("abc"), QByteArray(""), QByteArray("1 2"), QByteArray("0x10"),
                                     QByteArray::number(HttpListener::kMaxRequestBytes + 1), QByteArray("0\r\nContent-Length: 3")}) {
        bool reset = true;
        const QByteArray answer = exchange("GET / HTTP/1.1\r\nContent-Length: " + length + "\r\n\r\n", &reset);
        EXPECT_TRUE(answer.startsWith("HTTP/1.1 400 Bad Request\r\n")) << length.constData() << ": " << answer.constData();
        EXPECT_FALSE(reset) << length.constData();
    }
    EXPECT_TRUE(exchange("GET / HTTP/1.0\r\nContent-Length: -1\r\n\r\n").startsWith("HTTP/1.0 400 Bad Request\r\n"));
    EXPECT_EQ(server.requests, 0);
    EXPECT_TRUE(ask("GET / HTTP/1.1\r\nContent-Length: 0\r\nContent-Length: 00\r\n\r\n").startsWith("HTTP/1.1 200 OK"));
}

TEST_F(Limited, SilentConnectionsAreOfferedToTheProcessShedderOldestFirst)
{
    RawClient first(port);
    QTest::qWait(30);
    RawClient talking(port);
    ASSERT_TRUE(talking.send("GET / HTTP/1.1\r\n"));
    QTest::qWait(30);
    RawClient second(port);
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener->connectionCount() == 3; }));
    QTest::qWait(50);

    EXPECT_EQ(platform::ConnectionShedder::instance().shed(1), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return first.peek() == RawClient::Seen::Ended; }));
    EXPECT_EQ(second.peek(), RawClient::Seen::Nothing);
    EXPECT_GE(platform::ConnectionShedder::instance().shed(5), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return second.peek() == RawClient::Seen::Ended; }));
    EXPECT_EQ(talking.peek(), RawClient::Seen::Nothing); // it has spoken: never shed
}

// Answers through the listener and ends the connection there, as the live map does.
class ClosingServer : public QAbstractHttpServer
{
public:
    HttpListener* listener = nullptr;
    QPointer<QTcpSocket> last;

protected:
    bool handleRequest(const QHttpServerRequest&, QTcpSocket* socket) override
    {
        last = socket;
        listener->close(listener->connectionOf(socket), "HTTP/1.0 200 OK\r\n\r\n" + QByteArray(100000, 'k'));
        return true;
    }
    void missingHandler(const QHttpServerRequest&, QTcpSocket*) override {}
};

TEST(HttpListener, AFinishedConnectionLingersInTheCloserAndItsSocketIsFreeAtOnce)
{
    ClosingServer server;
    server.listener = new HttpListener;
    ASSERT_TRUE(server.listener->listen(QHostAddress::LocalHost, 0));
    server.bind(server.listener);
    {
        RawClient client(server.listener->serverPort());
        ASSERT_TRUE(client.send("GET / HTTP/1.1\r\nHost: here\r\n\r\nmore the peer still sends"));
        bool reset = true;
        const QByteArray answer = client.readUntilEnd(5000, &reset);
        EXPECT_EQ(answer.size(), 19 + 100000);
        EXPECT_FALSE(reset);
        // The peer has not closed its end: the connection lingers, its socket is gone already.
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.last.isNull(); }, 1000));
        EXPECT_EQ(server.listener->lingeringCount(), 1);
        EXPECT_EQ(server.listener->connectionCount(), 0);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.listener->lingeringCount() == 0; }, 1000));
}

TEST(HttpListener, EventStreamsGetWhatTheOpenFileLimitLeavesUpToTheirOwnLimit)
{
    using platform::OpenFileLimit;
    EXPECT_EQ(HttpListener::streamLimit({1024, 1024}),
              1024 - platform::TcpListener::kReservedDescriptors - HttpListener::kMaxConnections);
    EXPECT_EQ(HttpListener::streamLimit({33791, 524288}), HttpListener::kMaxStreams);
    EXPECT_EQ(HttpListener::streamLimit({OpenFileLimit::kUnlimited, OpenFileLimit::kUnlimited}), HttpListener::kMaxStreams);
    EXPECT_EQ(HttpListener::streamLimit({200, 200}), 0);
}

TEST(HttpListener, ListensOnlyOnRealPorts)
{
    HttpListener listener;
    EXPECT_FALSE(listener.listenOnPort(0));
    EXPECT_FALSE(listener.listenOnPort(99999)); // would be port 34463 to Qt
    const quint16 port = testsupport::freePort();
    ASSERT_TRUE(listener.listenOnPort(port));
    EXPECT_EQ(listener.serverPort(), port);
    HttpListener second;
    EXPECT_FALSE(second.listenOnPort(port));
}
