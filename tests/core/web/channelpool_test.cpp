// Which channel takes a connection, how the pool grows, and how channels are closed and reused.
#include "served.h"

#include <QThread>
#include <QTimer>
#include <QTest>

using webtest::readUntilClosed;
using webtest::Served;

namespace {
const QByteArray kGet = "GET / HTTP/1.0\r\n\r\n";
}

TEST_F(Served, FirstConnectionCreatesChannelOneWithItsTimerAndRecord)
{
    EXPECT_TRUE(pool.channelCount() == 0);
    auto client = connectClient();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 7; }));
    EXPECT_EQ(sockets.ubound(), 1);
    EXPECT_EQ(pool.channelCount(), 1);
    ASSERT_EQ(timers.ubound(), 1);
    EXPECT_EQ(timers[1].interval(), 1);
    EXPECT_FALSE(timers[1].isEnabled());
    EXPECT_EQ(timers[0].interval(), 0);
}

TEST_F(Served, LowestFreeChannelWinsAndEndedChannelsAreReused)
{
    auto first = connectClient();
    auto second = connectClient();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 7 && sockets.state(2) == 7; }));

    second->write(kGet);
    EXPECT_TRUE(readUntilClosed(*second).startsWith("HTTP/1.0 200 OK"));
    first->write(kGet);
    EXPECT_TRUE(readUntilClosed(*first).startsWith("HTTP/1.0 200 OK"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 0 && sockets.state(2) == 0; }));

    auto third = connectClient();
    EXPECT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 7; }));
    EXPECT_EQ(sockets.state(2), 0);
    EXPECT_EQ(sockets.ubound(), 2);
    EXPECT_EQ(timers.ubound(), 2);
    EXPECT_EQ(pool.channelCount(), 2);
}

TEST_F(Served, FiftyOneConnectionsAtOnceGetFiftyOneChannels)
{
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 51; ++i)
        clients.push_back(connectClient());
    ASSERT_TRUE(QTest::qWaitFor([&] { return connectedChannels() == 51; }));
    EXPECT_EQ(sockets.ubound(), 51);

    for (auto& client : clients)
        client->write(kGet);
    for (auto& client : clients)
        EXPECT_TRUE(readUntilClosed(*client).endsWith("<kml>served</kml>"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return connectedChannels() == 0; }));

    // The channels stay, but free ones hold no record and no pacing entry.
    EXPECT_EQ(pool.channelCount(), 51);
    EXPECT_EQ(pool.recordsHeld(), 0);
    EXPECT_EQ(pool.record(51).TOTAL_LENGTH, 0);
    EXPECT_TRUE(pool.record(51).PENDING_BODY.isEmpty());
    EXPECT_EQ(timers.queued(), 0u);
    EXPECT_LE(timers.queueCapacity(), 64u);

    // The lowest free channel still wins, and holds a record while it serves.
    clients.clear();
    auto next = connectClient();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 7; }));
    EXPECT_EQ(pool.recordsHeld(), 1);
    next->write(kGet);
    EXPECT_TRUE(readUntilClosed(*next).endsWith("<kml>served</kml>"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pool.recordsHeld() == 0; }));
    EXPECT_EQ(sockets.ubound(), 51);
}

TEST_F(Served, AReusedChannelStartsItsResponseFromZeroAndNothingOfTheLastOne)
{
    // A response cut short: the peer leaves once it has the header of a long document.
    document = QString(1024 * 1024, QLatin1Char('d'));
    {
        auto client = connectClient();
        client->write(kGet);
        ASSERT_TRUE(QTest::qWaitFor([&] { return client->bytesAvailable() > 0; }));
        client->abort();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 0; }));
    // The free channel holds nothing, not even the rest of the body.
    EXPECT_EQ(pool.recordsHeld(), 0);
    EXPECT_EQ(pool.record(1).TOTAL_LENGTH, 0);
    EXPECT_EQ(pool.record(1).BYTES_SENT, 0);
    EXPECT_TRUE(pool.record(1).PENDING_BODY.isEmpty());
    EXPECT_FALSE(timers[1].isEnabled());

    pool.editRecord(1).TOTAL_LENGTH = 999;
    pool.editRecord(1).BYTES_SENT = 5;
    auto next = connectClient();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 7; }));
    EXPECT_EQ(pool.record(1).TOTAL_LENGTH, 0);
    EXPECT_EQ(pool.record(1).BYTES_SENT, 0);

    // The next client of the channel gets its own answer only.
    next->write("POST / HTTP/1.0\r\n\r\n");
    EXPECT_EQ(readUntilClosed(*next), webtest::kError);
    document = QStringLiteral("short");
    EXPECT_TRUE(fetch(kGet).endsWith("\r\n\r\nshort"));
    EXPECT_EQ(sockets.ubound(), 1);
}

TEST_F(Served, ClosingAClosedChannelJustResetsItsRecord)
{
    auto client = connectClient();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 7; }));
    pool.HTTP_SERVER_Close(1);
    EXPECT_EQ(sockets.state(1), 0);
    pool.editRecord(1).TOTAL_LENGTH = 7;
    pool.HTTP_SERVER_Close(1);
    EXPECT_EQ(sockets.state(1), 0);
    EXPECT_EQ(pool.record(1).TOTAL_LENGTH, 0);
    pool.HTTP_SERVER_Close(0); // the listening element is no channel
    pool.HTTP_SERVER_Close(5);
    EXPECT_EQ(sockets.state(0), 2);
}

TEST_F(Served, AChannelInItsCloseLoopIsNotHandedToAConnectionArrivingMeanwhile)
{
    auto first = connectClient();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 7; }));

    // The next client's connection is waiting when channel 1 closes; it is taken while the close
    // loop lets events run, before channel 1's record has been reset.
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, port);
    QThread::msleep(50);
    pool.HTTP_SERVER_Close(1);
    ASSERT_EQ(sockets.ubound(), 2) << "the connection was not taken inside the close loop";
    EXPECT_EQ(sockets.state(1), 0);
    EXPECT_EQ(sockets.state(2), 7);
}

TEST_F(Served, ConnectionsBeyondTheLastChannelIndexAreClosedAtOnce)
{
    pool.setChannelLimit(2);
    auto first = connectClient();
    auto second = connectClient();
    ASSERT_TRUE(QTest::qWaitFor([&] { return connectedChannels() == 2; }));

    QTcpSocket third;
    third.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(readUntilClosed(third).isEmpty());
    EXPECT_EQ(third.state(), QAbstractSocket::UnconnectedState);
    EXPECT_EQ(sockets.ubound(), 2);
    EXPECT_EQ(pool.channelCount(), 2);

    // Once a channel is free again connections are served as before.
    first->write(kGet);
    readUntilClosed(*first);
    EXPECT_TRUE(fetch(kGet).startsWith("HTTP/1.0 200 OK"));
}

TEST_F(Served, AnAnswerTheSocketRefusesEndsTheChannel)
{
    // The socket goes away between reading the request and sending the answer.
    beforeAnswer = [this] { sockets.close(1); };
    auto client = connectClient();
    client->write(kGet);
    EXPECT_TRUE(readUntilClosed(*client).isEmpty());
    EXPECT_EQ(sockets.state(1), 0);
    EXPECT_EQ(pool.record(1).TOTAL_LENGTH, 0);
    EXPECT_FALSE(timers[1].isEnabled());

    beforeAnswer = nullptr;
    EXPECT_TRUE(fetch(kGet).startsWith("HTTP/1.0 200 OK"));
    EXPECT_EQ(sockets.ubound(), 1);
}

TEST_F(Served, ATickWithNothingLeftToSendForBytesStillOwedEndsTheChannel)
{
    auto client = connectClient();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 7; }));
    pool.editRecord(1).PENDING_BODY.clear();
    pool.editRecord(1).TOTAL_LENGTH = 100;
    pool.editRecord(1).BYTES_SENT = 10;
    timers[1].setEnabled(true);
    pool.Timer_SEND_DATA_Timer(1);
    EXPECT_EQ(sockets.state(1), 0);
    EXPECT_FALSE(timers[1].isEnabled());
    EXPECT_EQ(pool.record(1).TOTAL_LENGTH, 0);
    EXPECT_TRUE(readUntilClosed(*client).isEmpty());
}

TEST_F(Served, TheCloseLoopLetsPendingEventsRunAndTheRecordIsResetOnlyAfterState0)
{
    auto client = connectClient();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 7; }));
    pool.editRecord(1).TOTAL_LENGTH = 42;
    pool.editRecord(1).BYTES_SENT = 7;
    // Pending when the close starts: runs inside the close loop, after the socket's Close.
    int stateSeen = -1;
    qint32 lengthSeen = -1;
    QTimer::singleShot(0, &pool, [&] {
        stateSeen = sockets.state(1);
        lengthSeen = pool.record(1).TOTAL_LENGTH;
    });
    pool.HTTP_SERVER_Close(1);
    EXPECT_EQ(stateSeen, 0);
    EXPECT_EQ(lengthSeen, 42);
    EXPECT_EQ(pool.record(1).TOTAL_LENGTH, 0);
    EXPECT_EQ(pool.record(1).BYTES_SENT, 0);
    EXPECT_TRUE(readUntilClosed(*client).isEmpty());
}

TEST_F(Served, ACloseInsideTheCloseLoopsPassDoesNotLetEventsRunAgain)
{
    auto first = connectClient();
    auto second = connectClient();
    ASSERT_TRUE(QTest::qWaitFor([&] { return connectedChannels() == 2; }));
    // Channel 2's answer ends inside channel 1's close loop; an event pending then runs once both close
    // loops have returned, not inside the second one.
    bool ranInsideSecond = false;
    bool ran = false;
    QTimer::singleShot(0, &pool, [&] {
        QTimer::singleShot(0, &pool, [&] { ran = true; });
        pool.HTTP_SERVER_Close(2);
        ranInsideSecond = ran;
    });
    pool.HTTP_SERVER_Close(1);
    EXPECT_EQ(sockets.state(1), 0);
    EXPECT_EQ(sockets.state(2), 0);
    EXPECT_FALSE(ranInsideSecond);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ran; }));

    // Both channels are free again and serve as before.
    EXPECT_TRUE(fetch(kGet).startsWith("HTTP/1.0 200 OK"));
}

TEST_F(Served, FinishingAnswersClosesSilentConnectionsAndLetsAnAnswerUnderWayEnd)
{
    document = QString(64 * 1024, QLatin1Char('d')); // 32 pieces, one per pacing tick
    auto silent = connectClient();
    auto asking = connectClient();
    ASSERT_TRUE(QTest::qWaitFor([&] { return connectedChannels() == 2; }));
    asking->write(kGet);
    ASSERT_TRUE(QTest::qWaitFor([&] { return asking->bytesAvailable() > 0; }));

    sockets.close(0);
    pool.finishAnswers(10000);
    EXPECT_EQ(connectedChannels(), 0);
    EXPECT_TRUE(readUntilClosed(*silent).isEmpty());
    const QByteArray answer = readUntilClosed(*asking);
    EXPECT_TRUE(answer.startsWith("HTTP/1.0 200 OK"));
    EXPECT_TRUE(answer.endsWith(document.toLatin1()));
    EXPECT_EQ(testsupport::fetch(port, kGet, 1000), QByteArray());
}
