// Clients that hold connections without asking, send rubbish or send far too much: the server keeps
// answering, and nothing it holds for them lasts for ever.
#include "served.h"

#include <QRandomGenerator>
#include <QTest>

#include <sys/resource.h>

using webtest::kError;
using webtest::readUntilClosed;
using webtest::Served;

namespace {

// Both ends of every connection live in this process; make room for them.
int idleClientsAffordable(int wanted)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    const rlim_t needed = static_cast<rlim_t>(2 * wanted + 200);
    if (limit.rlim_cur < needed) {
        limit.rlim_cur = std::min(needed, limit.rlim_max);
        ::setrlimit(RLIMIT_NOFILE, &limit);
        ::getrlimit(RLIMIT_NOFILE, &limit);
    }
    return std::min<int>(wanted, static_cast<int>((limit.rlim_cur - 200) / 2));
}

// The answer is one error response, or several when more of the rubbish arrived before the first
// had gone out; nothing else.
void expectErrorAnswers(const QByteArray& answer)
{
    ASSERT_FALSE(answer.isEmpty());
    EXPECT_EQ(answer.size() % kError.size(), 0) << answer.size();
    for (qsizetype at = 0; at < answer.size(); at += kError.size())
        EXPECT_EQ(answer.mid(at, kError.size()), kError);
}

} // namespace

TEST_F(Served, AThousandIdleConnectionsDoNotKeepRequestsFromBeingAnswered)
{
    const int idle = idleClientsAffordable(1000);
    ASSERT_GE(idle, 100) << "too few descriptors for this test";
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < idle; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QHostAddress::LocalHost, port);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return connectedChannels() == idle; }, 20000)) << connectedChannels();

    for (int i = 0; i < 3; ++i) {
        const QByteArray answer = fetch("GET / HTTP/1.0\r\n\r\n");
        EXPECT_TRUE(answer.startsWith("HTTP/1.0 200 OK")) << i;
        EXPECT_TRUE(answer.endsWith("<kml>served</kml>")) << i;
    }
    EXPECT_EQ(connectedChannels(), idle);

    // All of them leaving together: every channel is closed and free again. The close loops that
    // this burst sets off must not nest without bound; a smaller stack than usual shows it.
    rlimit stack{};
    ASSERT_EQ(::getrlimit(RLIMIT_STACK, &stack), 0);
    const rlimit small{std::min<rlim_t>(stack.rlim_cur, 1024 * 1024), stack.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_STACK, &small), 0);
    clients.clear();
    const bool allClosed = QTest::qWaitFor([&] { return connectedChannels() == 0; }, 20000);
    ::setrlimit(RLIMIT_STACK, &stack);
    EXPECT_TRUE(allClosed);
    for (int i = 1; i <= sockets.ubound(); ++i)
        EXPECT_EQ(sockets.state(i), 0) << i;
    EXPECT_TRUE(fetch("GET / HTTP/1.0\r\n\r\n").startsWith("HTTP/1.0 200 OK"));
}

TEST_F(Served, RubbishAndAMegabyteOfBytesGetTheErrorAnswerAndAClose)
{
    QByteArray rubbish(4096, '\0');
    for (char& c : rubbish)
        c = static_cast<char>(QRandomGenerator::global()->bounded(256));
    rubbish.replace("GET ", "get ");
    expectErrorAnswers(fetch(rubbish));
    expectErrorAnswers(fetch(QByteArray("\r\n\r\n")));

    auto client = connectClient();
    QByteArray answer;
    QObject::connect(client.get(), &QTcpSocket::readyRead, [&] { answer += client->readAll(); });
    client->write(QByteArray(1024 * 1024, 'x'));
    answer += readUntilClosed(*client, 10000);
    EXPECT_EQ(client->state(), QAbstractSocket::UnconnectedState);
    expectErrorAnswers(answer);
    EXPECT_TRUE(QTest::qWaitFor([&] { return connectedChannels() == 0 && sockets.lingeringCount() == 0; }));
}

TEST_F(Served, ConnectionsWithoutACompletedAnswerAreClosedAfterTheIdleTime)
{
    pool.setIdleTimeout(200);
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 20; ++i)
        clients.push_back(connectClient());
    clients.back()->write("GET / HT"); // an unfinished request is answered (404) and closed anyway
    ASSERT_TRUE(QTest::qWaitFor([&] { return connectedChannels() == 19; }));

    for (auto& client : clients)
        EXPECT_TRUE(QTest::qWaitFor([&] { return client->state() == QAbstractSocket::UnconnectedState; }, 3000));
    EXPECT_EQ(connectedChannels(), 0);
    for (int i = 1; i <= sockets.ubound(); ++i) {
        EXPECT_EQ(pool.record(i).TOTAL_LENGTH, 0);
        EXPECT_FALSE(timers[i].isEnabled());
    }
    EXPECT_TRUE(fetch("GET / HTTP/1.0\r\n\r\n").startsWith("HTTP/1.0 200 OK"));
}

TEST_F(Served, EachIdleConnectionIsClosedAtItsOwnTimeOut)
{
    pool.setIdleTimeout(300);
    auto early = connectClient();
    ASSERT_TRUE(QTest::qWaitFor([&] { return connectedChannels() == 1; }));
    QTest::qWait(200);
    auto late = connectClient();
    ASSERT_TRUE(QTest::qWaitFor([&] { return connectedChannels() == 2; }));

    // The first one goes at its time-out; the second, accepted 200 ms later, is still served then.
    ASSERT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 0; }, 3000));
    EXPECT_EQ(sockets.state(2), 7);
    late->write("GET / HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(readUntilClosed(*late).endsWith("<kml>served</kml>"));
    EXPECT_EQ(early->state(), QAbstractSocket::UnconnectedState);
}
