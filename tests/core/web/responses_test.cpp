// What goes out on the wire for each kind of arrival, and how a document is paced out in pieces.
#include "served.h"
#include "core/web/request.h"

#include <QElapsedTimer>
#include <QTest>

using webtest::kError;
using webtest::readUntilClosed;

namespace {

// Records, per send on channel 1, the bytes reported for it, and the ticks of its timer.
class Paced : public webtest::Served
{
protected:
    void SetUp() override
    {
        Served::SetUp();
        QObject::connect(&sockets, &platform::TcpSocketSet::sendProgress, [this](int i, qint32 n, qint32) {
            if (i == 1)
                inFlight += n;
        });
        QObject::connect(&sockets, &platform::TcpSocketSet::sendComplete, [this](int i) {
            if (i == 1) {
                sends.push_back(inFlight);
                inFlight = 0;
            }
        });
        QObject::connect(&timers, &platform::TimerSet::fired, [this](int i) { ticks += i == 1 ? 1 : 0; });
    }

    QByteArray serve(const QByteArray& request)
    {
        auto client = connectClient();
        client->write(request);
        const QByteArray answer = readUntilClosed(*client);
        EXPECT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 0; }));
        return answer;
    }

    std::vector<qint64> sends;
    qint64 inFlight = 0;
    int ticks = 0;
};

} // namespace

TEST_F(Paced, EachRequestFormGetsItsAnswerExactly)
{
    const QByteArray documentAnswer = "HTTP/1.0 200 OK\r\nServer: Tarnvale DF Demo WebServer V 1.0\r\n"
                                      "Content-Type: */*\r\nContent-Length:  17\r\n\r\n<kml>served</kml>";
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: GoogleEarth/7.3\r\nAccept: */*\r\n\r\n", documentAnswer},
        {"GET /anything/at/all?x=1 HTTP/1.0\r\n\r\n", documentAnswer},
        {"GET  HTTP/1.0", documentAnswer},
        {"GET HTTP/1.0", kError},
        {"GET / HTTP/1.", kError},
        {"GET / HTTP/2.0", kError},
        {"GET / HTT", kError},
        {"HEAD / HTTP/1.0\r\n\r\n", kError},
        {"get / HTTP/1.0\r\n\r\n", kError},
    };
    for (const auto& [request, expected] : cases) {
        sends.clear();
        EXPECT_EQ(serve(request), expected) << request.toStdString();
        EXPECT_EQ(sockets.ubound(), 1) << request.toStdString();
    }
}

TEST_F(Paced, BodiesGoOutInPiecesOfAtMost2048Characters)
{
    const std::pair<int, std::vector<qint64>> cases[] = {
        {2048, {2048}},
        {2049, {2048, 1}},
        {5000, {2048, 2048, 904}},
    };
    for (const auto& [length, pieces] : cases) {
        document = QString(length - 1, QLatin1Char('b')) + QLatin1Char('E');
        sends.clear();
        ticks = 0;
        const QString header = web::documentHeader(length);
        const QByteArray answer = serve("GET / HTTP/1.0\r\n\r\n");
        EXPECT_EQ(answer, (header + document).toLatin1()) << length;

        std::vector<qint64> expected{header.size()};
        expected.insert(expected.end(), pieces.begin(), pieces.end());
        EXPECT_EQ(sends, expected) << length;
        EXPECT_EQ(ticks, static_cast<int>(pieces.size())) << length;
        EXPECT_TRUE(pool.record(1).PENDING_BODY.isEmpty());
        EXPECT_FALSE(timers[1].isEnabled());
    }
}

TEST_F(Paced, AnErrorAnswerClosesOnItsFirstCompletionWithoutATick)
{
    document = QStringLiteral("left from before");
    EXPECT_EQ(serve("POST / HTTP/1.0\r\n\r\n"), kError);
    EXPECT_EQ(sends, std::vector<qint64>{81});
    EXPECT_EQ(ticks, 0);
}

TEST_F(Paced, APeerLeavingAfterTheHeaderStopsThePacing)
{
    document = QString(1024 * 1024, QLatin1Char('p'));
    auto client = connectClient();
    client->write("GET / HTTP/1.0\r\n\r\n");
    QByteArray got;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        got += client->readAll();
        return got.contains("\r\n\r\n");
    }));
    client->abort();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 0; }));
    EXPECT_FALSE(timers[1].isEnabled());
    const int ticksAtClose = ticks;
    const size_t sendsAtClose = sends.size();
    QTest::qWait(30);
    EXPECT_EQ(ticks, ticksAtClose);
    EXPECT_EQ(sends.size(), sendsAtClose);
    // Far from the whole body went out, and the free channel keeps none of the rest.
    qint64 sent = 0;
    for (const qint64 bytes : sends)
        sent += bytes;
    EXPECT_LT(sent, document.size());
    EXPECT_EQ(pool.recordsHeld(), 0);
}

TEST_F(Paced, ASecondRequestOnTheSameChannelIsAnsweredAfterTheFirstAndEndsIt)
{
    const int length = 1024 * 1024;
    document = QString(length, QLatin1Char('A'));
    auto client = connectClient();
    client->write("GET / HTTP/1.0\r\n\r\n");
    const QByteArray header = web::documentHeader(length).toLatin1();
    QByteArray got;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        got += client->readAll();
        return got.size() > header.size();
    }));
    document = QString(length, QLatin1Char('B'));
    client->write("GET /again HTTP/1.0\r\n\r\n");
    got += readUntilClosed(*client);

    // The second header follows part of the first body; the count of bytes sent runs on from the
    // first response, so the channel ends once it reaches the second response's length.
    ASSERT_TRUE(got.startsWith(header + 'A'));
    const qsizetype second = got.indexOf(header, header.size());
    ASSERT_GT(second, header.size());
    EXPECT_EQ(got.count(header), 2);
    EXPECT_EQ(got.mid(header.size(), second - header.size()), QByteArray(second - header.size(), 'A'));
    EXPECT_EQ(got.mid(second + header.size()), QByteArray(got.size() - second - header.size(), 'B'));
    EXPECT_GE(got.size(), header.size() + length);
    EXPECT_LT(got.size(), header.size() + length + 2048 + header.size());
    EXPECT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 0; }));
}

TEST_F(Paced, EventsOfAResponseComeInTheirOrderWithTheTickAFullMillisecondAfterEachCompletion)
{
    // Every event on channel 1 as this test sees it, after the pool has handled it.
    struct Seen
    {
        char kind; // D arrival, P progress, S completion, T tick
        qint64 bytes;
        qint64 atNs;
    };
    std::vector<Seen> seen;
    QElapsedTimer clock;
    clock.start();
    using platform::TcpSocketSet;
    QObject::connect(&sockets, &TcpSocketSet::dataArrival, [&](int i, qint32) {
        if (i == 1)
            seen.push_back({'D', 0, clock.nsecsElapsed()});
    });
    QObject::connect(&sockets, &TcpSocketSet::sendProgress, [&](int i, qint32 n, qint32) {
        if (i == 1)
            seen.push_back({'P', n, clock.nsecsElapsed()});
    });
    QObject::connect(&sockets, &TcpSocketSet::sendComplete, [&](int i) {
        if (i == 1)
            seen.push_back({'S', 0, clock.nsecsElapsed()});
    });
    QObject::connect(&timers, &platform::TimerSet::fired, [&](int i) {
        if (i == 1)
            seen.push_back({'T', 0, clock.nsecsElapsed()});
    });

    document = QString(5000, QLatin1Char('o'));
    const QByteArray answer = serve("GET / HTTP/1.0\r\n\r\n");
    EXPECT_EQ(answer, (web::documentHeader(5000) + document).toLatin1());

    // The arrival's handler has returned before anything of its header is reported; each piece goes
    // out on a tick after the previous completion, never from inside it.
    std::string kinds;
    for (const Seen& s : seen)
        kinds += s.kind;
    ASSERT_EQ(kinds, "DPSTPSTPSTPS");
    const std::vector<qint64> pieces = {web::documentHeader(5000).size(), 2048, 2048, 904};
    for (size_t i = 0; i < pieces.size(); ++i)
        EXPECT_EQ(seen[1 + 3 * i].bytes, pieces[i]) << i;
    // Each tick comes at least 1 ms after the completion that armed it (which came after its progress).
    for (size_t i = 3; i < seen.size(); i += 3)
        EXPECT_GE(seen[i].atNs - seen[i - 2].atNs, 1000000) << i;
    EXPECT_FALSE(timers[1].isEnabled());
}
