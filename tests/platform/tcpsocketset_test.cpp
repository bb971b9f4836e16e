#include "listeningset.h"
#include "support/rawclient.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

#include <unistd.h>

TEST(TcpSocketSetListen, RefusesPortsOutsideTheRangeAndPortsInUse)
{
    TcpSocketSet sockets;
    for (qint32 port : {0, -1, 65536, 99999}) {
        sockets.setLocalPort(0, port);
        EXPECT_FALSE(sockets.listen(0)) << port;
        EXPECT_EQ(sockets.state(0), 0) << port;
    }

    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::LocalHost, 0));
    sockets.setLocalPort(0, other.serverPort());
    EXPECT_FALSE(sockets.listen(0));
    EXPECT_EQ(sockets.state(0), 0);

    // A second set cannot take the port the first one listens on; once it is closed it can.
    const quint16 port = freePort();
    sockets.setLocalPort(0, port);
    ASSERT_TRUE(sockets.listen(0));
    EXPECT_EQ(sockets.state(0), 2);
    TcpSocketSet second;
    second.setLocalPort(0, port);
    EXPECT_FALSE(second.listen(0));
    sockets.close(0);
    EXPECT_EQ(sockets.state(0), 0);
    EXPECT_TRUE(second.listen(0));
    EXPECT_EQ(second.state(0), 2);
}

TEST(TcpSocketSetListen, RefusesAPrivilegedPortToAnOrdinaryUser)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: every port may be bound";
    TcpSocketSet sockets;
    sockets.setLocalPort(0, 80);
    EXPECT_FALSE(sockets.listen(0));
    EXPECT_EQ(sockets.state(0), 0);
}

TEST_F(Listening, AcceptsOverIPv4AndIPv6)
{
    auto first = connectClient(1);
    QTcpSocket six;
    six.connectToHost(QHostAddress::LocalHostIPv6, port);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sockets.state(2) == 7; }));
    EXPECT_EQ(requests, 2);
    EXPECT_EQ(sockets.ubound(), 2);
}

TEST_F(Listening, ClosesAConnectionNobodyAccepts)
{
    acceptRequests = false;
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(QTest::qWaitFor([&] { return requests == 1; }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return client.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(sockets.ubound(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sockets.lingeringCount() == 0; }));
}

TEST_F(Listening, DeliversArrivingBytesOneCharacterPerByteAndConsumesThem)
{
    auto client = connectClient(1);
    readOnArrival = false;
    client->write(QByteArray("GET /\xe9\xff\r\n", 9));
    // Data left unread stays waiting until GetData takes it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return count('D') >= 1; }));
    EXPECT_EQ(events.front().index, 1);
    EXPECT_EQ(events.front().state, 7);
    QTest::qWait(20);
    const QString data = sockets.getData(1);
    EXPECT_EQ(data, QStringLiteral("GET /\u00e9\u00ff\r\n"));
    EXPECT_EQ(sockets.getData(1), QString());
    QString none;
    EXPECT_FALSE(sockets.getData(2, none));
}

TEST_F(Listening, EverySendIsReportedInFullThenCompletedExactlyOnce)
{
    auto client = connectClient(1);
    QByteArray atPeer;
    QObject::connect(client.get(), &QTcpSocket::readyRead, [&] { atPeer += client->readAll(); });

    const QString big(3 * 1024 * 1024 + 7, QLatin1Char('x'));
    const QString small = QStringLiteral("tail");
    ASSERT_TRUE(sockets.sendData(1, big));
    ASSERT_TRUE(sockets.sendData(1, small));
    ASSERT_TRUE(QTest::qWaitFor([&] { return count('S') >= 2; }, 10000));
    QTest::qWait(30);
    ASSERT_EQ(count('S'), 2);

    // Progress of the first send adds up to its size before its completion, then the second's.
    qint64 sum = 0;
    int completions = 0;
    for (const Event& e : events) {
        if (e.kind == 'P')
            sum += e.bytes;
        if (e.kind == 'S') {
            EXPECT_EQ(sum, completions == 0 ? big.size() : small.size());
            sum = 0;
            ++completions;
        }
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return atPeer.size() == big.size() + small.size(); }, 10000));
    EXPECT_TRUE(atPeer.endsWith("xtail"));

    // An empty send completes too; a send on an element without a connection fails.
    events.clear();
    ASSERT_TRUE(sockets.sendData(1, QString()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return count('S') == 1; }));
    EXPECT_EQ(count('P'), 0);
    EXPECT_FALSE(sockets.sendData(2, QStringLiteral("x")));
    EXPECT_FALSE(sockets.sendData(0, QStringLiteral("x")));
}

TEST_F(Listening, KeepsAcceptingAfterRunningOutOfDescriptors)
{
    // The client's socket takes the one descriptor left, so the set's accept finds none.
    auto used = std::make_unique<testsupport::DescriptorsUsedUp>(1);
    ASSERT_TRUE(used->ok());
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    QTest::qWait(300);
    const int acceptedWhileExhausted = requests;
    used.reset();
    ASSERT_EQ(client.state(), QAbstractSocket::ConnectedState);
    ASSERT_EQ(acceptedWhileExhausted, 0);

    EXPECT_TRUE(QTest::qWaitFor([&] { return requests == 1 && sockets.state(1) == 7; }, 3000));
    auto later = connectClient(2);
}

TEST_F(Listening, SendReportsComeFromTheEventLoopNeverFromInsideSendData)
{
    // Sends made by the arrival's handler: nothing is reported before the handler has returned.
    size_t eventsInsideHandler = 0;
    readOnArrival = false;
    QObject::connect(&sockets, &TcpSocketSet::dataArrival, [&](int i, qint32) {
        (void)sockets.getData(i);
        const size_t before = events.size();
        ASSERT_TRUE(sockets.sendData(i, QStringLiteral("header")));
        ASSERT_TRUE(sockets.sendData(i, QStringLiteral("body")));
        eventsInsideHandler = events.size() - before;
    });
    auto client = connectClient(1);
    client->write("GET / HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return count('S') == 2; }));
    EXPECT_EQ(eventsInsideHandler, 0u);

    // In order: the arrival, then each send's progress adding up to its size before its completion.
    std::string kinds;
    for (const Event& e : events)
        kinds += e.kind;
    EXPECT_EQ(kinds.front(), 'D');
    EXPECT_EQ(kinds.substr(1), "PSPS") << kinds;
    EXPECT_EQ(events[1].bytes, 6);
    EXPECT_EQ(events[3].bytes, 4);
    EXPECT_EQ(testsupport::readUntilClosed(*client, 200), QByteArray("headerbody"));
}

TEST_F(Listening, ReportsFallenDueTogetherReachAHandlerThatLetsEventsRunInOrder)
{
    auto first = connectClient(1);
    auto second = connectClient(2);
    auto third = connectClient(3);
    // The first completion's handler lets events run, as the channel pool's close loop does, for as
    // long as new events come (here: until the third's completion or a bound of passes). The other two
    // completions fell due with it; they must not wait until that handler returns.
    std::vector<int> seenInside;
    bool inside = false;
    QObject::connect(&sockets, &TcpSocketSet::sendComplete, [&](int i) {
        if (inside) {
            seenInside.push_back(i);
            return;
        }
        if (i != 1)
            return;
        inside = true;
        for (int pass = 0; pass < 200 && seenInside.size() < 2; ++pass)
            QCoreApplication::processEvents();
        inside = false;
    });
    ASSERT_TRUE(sockets.sendData(1, QStringLiteral("one")));
    ASSERT_TRUE(sockets.sendData(2, QStringLiteral("two")));
    ASSERT_TRUE(sockets.sendData(3, QStringLiteral("three")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return count('S') == 3; }));
    EXPECT_EQ(seenInside, (std::vector<int>{2, 3}));
    std::vector<int> order;
    for (const Event& e : events) {
        if (e.kind == 'S')
            order.push_back(e.index);
    }
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(Listening, AfterABurstTheFreeElementsHoldNothingAndTakeConnectionsAgain)
{
    constexpr int kBurst = TcpSocketSet::kQuietConnections + 8;
    const int descriptors = testsupport::openDescriptors();
    const auto burst = [&] {
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        for (int i = 1; i <= kBurst; ++i)
            clients.push_back(connectClient(i));
        EXPECT_EQ(sockets.connectionCount(), kBurst);
        EXPECT_EQ(sockets.recordCount(), kBurst + 1);
        // Answered and closed, the element first, the way the pool ends a connection.
        for (int i = 1; i <= kBurst; ++i) {
            ASSERT_TRUE(sockets.sendData(i, QStringLiteral("answer")));
            sockets.close(i);
        }
        for (auto& client : clients)
            EXPECT_EQ(testsupport::readUntilClosed(*client, 2000), QByteArray("answer"));
    };
    burst();
    // The elements stay, free and holding nothing (the listening one keeps its record); every
    // descriptor comes back once the connections have finished.
    EXPECT_EQ(sockets.connectionCount(), 0);
    EXPECT_EQ(sockets.recordCount(), 1);
    EXPECT_EQ(sockets.ubound(), kBurst);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sockets.lingeringCount() == 0; }, 5000));
    EXPECT_EQ(testsupport::openDescriptors(), descriptors);

    // The same elements take the next burst, lowest first.
    burst();
    EXPECT_EQ(sockets.ubound(), kBurst);
    EXPECT_EQ(sockets.recordCount(), 1);
}
