#include "platform/tcpsocketset.h"
#include "support/loopback.h"
#include "support/rawclient.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

#include <unistd.h>

using platform::TcpSocketSet;
using testsupport::freePort;

namespace {

// One event as the handlers saw it, with the element's State at that moment.
struct Event
{
    char kind; // 'D' data arrival, 'P' send progress, 'S' send complete, 'C' peer close
    int index;
    qint64 bytes;
    int state;
};

// A socket set listening on a free port that takes every connection on the lowest closed element.
class Listening : public ::testing::Test
{
protected:
    void SetUp() override
    {
        port = freePort();
        sockets.setLocalPort(0, port);
        ASSERT_TRUE(sockets.listen(0)) << sockets.errorString().toStdString();
        QObject::connect(&sockets, &TcpSocketSet::connectionRequest, [this](int, qint32 id) {
            ++requests;
            if (!acceptRequests)
                return;
            int i = 1;
            while (i <= sockets.ubound() && sockets.state(i) != 0)
                ++i;
            if (i > sockets.ubound()) {
                ASSERT_TRUE(sockets.load(i));
            }
            ASSERT_TRUE(sockets.accept(i, id));
        });
        QObject::connect(&sockets, &TcpSocketSet::dataArrival, [this](int i, qint32 n) {
            events.push_back({'D', i, n, sockets.state(i)});
            if (readOnArrival)
                received += sockets.getData(i);
        });
        QObject::connect(&sockets, &TcpSocketSet::sendProgress,
                         [this](int i, qint32 n, qint32) { events.push_back({'P', i, n, sockets.state(i)}); });
        QObject::connect(&sockets, &TcpSocketSet::sendComplete,
                         [this](int i) { events.push_back({'S', i, 0, sockets.state(i)}); });
        QObject::connect(&sockets, &TcpSocketSet::closed,
                         [this](int i) { events.push_back({'C', i, 0, sockets.state(i)}); });
    }

    // A client connected and taken over by an element.
    std::unique_ptr<QTcpSocket> connectClient(int expectedIndex)
    {
        auto client = std::make_unique<QTcpSocket>();
        client->connectToHost(QHostAddress::LocalHost, port);
        EXPECT_TRUE(QTest::qWaitFor([&] { return sockets.state(expectedIndex) == 7; }));
        EXPECT_TRUE(QTest::qWaitFor([&] { return client->state() == QAbstractSocket::ConnectedState; }));
        return client;
    }

    int count(char kind) const
    {
        return static_cast<int>(std::count_if(events.begin(), events.end(), [kind](const Event& e) { return e.kind == kind; }));
    }

    TcpSocketSet sockets;
    quint16 port = 0;
    int requests = 0;
    bool acceptRequests = true;
    bool readOnArrival = true;
    QString received;
    std::vector<Event> events;
};

} // namespace

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

TEST_F(Listening, AfterABurstTheFreeElementsAboveTheKeptOnesHoldNoSocket)
{
    constexpr int kBurst = TcpSocketSet::kKeptSockets + 8;
    const auto burst = [&] {
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        for (int i = 1; i <= kBurst; ++i)
            clients.push_back(connectClient(i));
        EXPECT_EQ(sockets.connectionCount(), kBurst);
        // Answered and closed, the element first, the way the pool ends a connection.
        for (int i = 1; i <= kBurst; ++i) {
            ASSERT_TRUE(sockets.sendData(i, QStringLiteral("answer")));
            sockets.close(i);
        }
        for (auto& client : clients)
            EXPECT_EQ(testsupport::readUntilClosed(*client, 2000), QByteArray("answer"));
    };
    burst();
    EXPECT_EQ(sockets.connectionCount(), 0);
    // The elements stay; the sockets of those above the kept ones go once the burst has drained.
    ASSERT_TRUE(QTest::qWaitFor([&] { return sockets.socketCount() == TcpSocketSet::kKeptSockets; }, 5000))
        << sockets.socketCount();
    EXPECT_EQ(sockets.ubound(), kBurst);

    // Those elements take connections again, each with a socket made anew.
    burst();
    EXPECT_EQ(sockets.ubound(), kBurst);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sockets.socketCount() == TcpSocketSet::kKeptSockets; }, 5000));
}
