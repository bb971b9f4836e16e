// The socket set's closes: immediate for the element, whole for the peer, and lingering until the peer
// has closed its side or the linger time is up.
#include "listeningset.h"
#include "support/rawclient.h"

TEST_F(Listening, CloseIsImmediateYetThePeerReceivesEverythingSentBefore)
{
    auto client = connectClient(1);
    const QString payload(1024 * 1024, QLatin1Char('k'));
    ASSERT_TRUE(sockets.sendData(1, payload + QStringLiteral("END")));
    sockets.close(1);
    EXPECT_EQ(sockets.state(1), 0);

    // The element is free at once for the next connection while the old one drains.
    auto next = connectClient(1);
    EXPECT_EQ(sockets.ubound(), 1);

    const QByteArray atPeer = testsupport::readUntilClosed(*client, 10000);
    EXPECT_EQ(atPeer.size(), payload.size() + 3);
    EXPECT_TRUE(atPeer.endsWith("kEND"));
    EXPECT_EQ(client->state(), QAbstractSocket::UnconnectedState);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sockets.lingeringCount() == 0; }));
    EXPECT_EQ(count('S'), 0); // nothing is reported for a connection the element has let go
}

TEST_F(Listening, AnswerReachesAPeerThatIsStillSendingWhenClosed)
{
    auto client = connectClient(1);
    QByteArray atPeer;
    QObject::connect(client.get(), &QTcpSocket::readyRead, [&] { atPeer += client->readAll(); });
    client->write(QByteArray(16 * 1024 * 1024, 'g'));
    ASSERT_TRUE(QTest::qWaitFor([&] { return count('D') >= 1; }));
    const QString answer = QString(4 * 1024 * 1024, QLatin1Char('a')) + QStringLiteral("END");
    ASSERT_TRUE(sockets.sendData(1, answer));
    sockets.close(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return client->state() == QAbstractSocket::UnconnectedState; }, 10000));
    EXPECT_EQ(atPeer.size(), answer.size());
    EXPECT_TRUE(atPeer.endsWith("aEND"));
}

TEST_F(Listening, PeerCloseDeliversEarlierBytesFirstThenState8)
{
    auto client = connectClient(1);
    client->write("last words");
    client->disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return count('C') == 1; }));
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events.front().kind, 'D');
    EXPECT_EQ(events.front().state, 7);
    EXPECT_EQ(events.back().kind, 'C');
    EXPECT_EQ(events.back().state, 8);
    EXPECT_EQ(received, QStringLiteral("last words"));
    EXPECT_EQ(sockets.state(1), 8);
    EXPECT_FALSE(sockets.sendData(1, QStringLiteral("too late")));
    sockets.close(1);
    EXPECT_EQ(sockets.state(1), 0);
    QTest::qWait(20);
    EXPECT_EQ(count('C'), 1);
}

TEST_F(Listening, APeerThatStopsReadingIsCutOffAfterTheLingerTime)
{
    sockets.setLingerTimeout(300);
    auto client = connectClient(1);
    client->setReadBufferSize(1024); // stops reading once this much waits
    ASSERT_TRUE(sockets.sendData(1, QString(64 * 1024 * 1024, QLatin1Char('z'))));
    QTest::qWait(50);
    sockets.close(1);
    EXPECT_EQ(sockets.lingeringCount(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sockets.lingeringCount() == 0; }, 3000));
}

TEST_F(Listening, AClosedConnectionLingersWithoutItsElementUntilThePeerHasClosed)
{
    sockets.setLingerTimeout(400);
    // Several connections one after the other on element 1: each is answered in full and ends
    // cleanly, the element is free at once, and no descriptor is left behind.
    const auto serveOne = [&] {
        auto client = connectClient(1);
        client->write("GET");
        ASSERT_TRUE(QTest::qWaitFor([&] { return count('D') >= 1; }));
        ASSERT_TRUE(sockets.sendData(1, QStringLiteral("answer")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return count('S') == 1; }));
        sockets.close(1);
        EXPECT_EQ(sockets.state(1), 0);
        EXPECT_EQ(testsupport::readUntilClosed(*client, 2000), QByteArray("answer"));
        EXPECT_EQ(client->error(), QAbstractSocket::RemoteHostClosedError); // an end, not a reset
        events.clear();
    };
    serveOne();
    EXPECT_TRUE(QTest::qWaitFor([&] { return sockets.lingeringCount() == 0; }));
    const int descriptors = testsupport::openDescriptors();
    for (int i = 0; i < 20; ++i)
        serveOne();
    EXPECT_TRUE(QTest::qWaitFor([&] { return sockets.lingeringCount() == 0; }));
    EXPECT_EQ(testsupport::openDescriptors(), descriptors);
    EXPECT_EQ(sockets.ubound(), 1);

    // A peer that has everything but never closes its side is cut off after the time limit.
    testsupport::RawClient stays(port);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 7; }));
    ASSERT_TRUE(stays.send("GET"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return count('D') >= 1; }));
    ASSERT_TRUE(sockets.sendData(1, QStringLiteral("answer")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return count('S') == 1; }));
    sockets.close(1);
    bool reset = true;
    EXPECT_EQ(stays.readUntilEnd(2000, &reset), QByteArray("answer"));
    EXPECT_FALSE(reset);
    EXPECT_EQ(sockets.lingeringCount(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sockets.lingeringCount() == 0; }, 3000));
}

TEST_F(Listening, ASmallAnswerReachesAPeerThatIsStillSendingWhenClosed)
{
    auto client = connectClient(1);
    QByteArray atPeer;
    QObject::connect(client.get(), &QTcpSocket::readyRead, [&] { atPeer += client->readAll(); });
    client->write(QByteArray(4 * 1024 * 1024, 'g'));
    ASSERT_TRUE(QTest::qWaitFor([&] { return count('D') >= 1; }));
    ASSERT_TRUE(sockets.sendData(1, QStringLiteral("short answer")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return count('S') == 1; }));
    sockets.close(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return client->state() == QAbstractSocket::UnconnectedState; }, 10000));
    EXPECT_EQ(atPeer, QByteArray("short answer"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return sockets.lingeringCount() == 0; }));
}

TEST_F(Listening, APeerThatHalfClosesAfterItsRequestGetsTheWholeAnswerBeforeOurEnd)
{
    // The answer is far more than the system takes at once: most of it still waits in the set when
    // the peer's end arrives and the element is closed, as the pool closes on that event.
    const QByteArray answer = QByteArray(8 * 1024 * 1024, 'h') + "END";
    QObject::connect(&sockets, &TcpSocketSet::dataArrival, [&](int i, qint32) {
        if (received.endsWith(QStringLiteral("\r\n\r\n"))) {
            ASSERT_TRUE(sockets.sendData(i, QString::fromLatin1(answer)));
        }
    });
    QObject::connect(&sockets, &TcpSocketSet::closed, [&](int i) { sockets.close(i); });
    testsupport::RawClient client(port);
    ASSERT_TRUE(client.send("GET / HTTP/1.0\r\n\r\n"));
    client.endSending();
    bool reset = true;
    const QByteArray atPeer = client.readUntilEnd(10000, &reset);
    EXPECT_FALSE(reset);
    EXPECT_EQ(atPeer.size(), answer.size());
    EXPECT_TRUE(atPeer.endsWith("hEND"));
    EXPECT_EQ(count('C'), 1);
    EXPECT_EQ(sockets.state(1), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sockets.lingeringCount() == 0; }));
}

TEST_F(Listening, APeerThatResetsDuringASendEndsAsItsCloseAndLeavesNothingBehind)
{
    const int descriptors = testsupport::openDescriptors();
    {
        testsupport::RawClient client(port);
        ASSERT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 7; }));
        ASSERT_TRUE(sockets.sendData(1, QString(16 * 1024 * 1024, QLatin1Char('r'))));
        ASSERT_TRUE(QTest::qWaitFor([&] { return client.peek() == testsupport::RawClient::Seen::Bytes; }));
    } // closed with the answer unread: the system resets the connection
    ASSERT_TRUE(QTest::qWaitFor([&] { return count('C') == 1; }, 5000));
    EXPECT_EQ(events.back().state, 8);
    EXPECT_EQ(count('S'), 0); // the send never completed
    EXPECT_FALSE(sockets.sendData(1, QStringLiteral("more")));
    sockets.close(1);
    QTest::qWait(20);
    EXPECT_EQ(sockets.lingeringCount(), 0);
    EXPECT_EQ(testsupport::openDescriptors(), descriptors);
}

TEST_F(Listening, BytesQueuedWhenTheElementIsClosedReachThePeerBeforeOurEnd)
{
    {
        testsupport::RawClient client(port);
        ASSERT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 7; }));
        ASSERT_TRUE(client.send("GET"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return count('D') == 1; }));
        // Several sends, the later ones queued behind what the system has not taken.
        QByteArray expected;
        for (char c : {'a', 'b', 'c'}) {
            const QByteArray part(8 * 1024 * 1024, c);
            expected += part;
            ASSERT_TRUE(sockets.sendData(1, QString::fromLatin1(part)));
        }
        sockets.close(1);
        EXPECT_EQ(sockets.state(1), 0);
        EXPECT_EQ(sockets.lingeringInSockets(), 1);
        bool reset = true;
        EXPECT_EQ(client.readUntilEnd(10000, &reset), expected);
        EXPECT_FALSE(reset);
        EXPECT_EQ(sockets.lingeringInSockets(), 0);
    } // the peer closes its side too
    EXPECT_TRUE(QTest::qWaitFor([&] { return sockets.lingeringCount() == 0; }, 1000));
}
