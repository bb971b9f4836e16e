// Out of descriptors, the pool gives up channels whose connection has sent nothing, oldest first and
// through its usual Close, so that the waiting map viewers get in: never one that has spoken, never an
// answer still on its way.
#include "served.h"

#include "platform/connectionshedder.h"
#include "platform/eventlog.h"
#include "support/rawclient.h"

#include <QStringList>
#include <QTest>

using platform::ConnectionShedder;
using testsupport::RawClient;
using webtest::kError;
using webtest::Served;

namespace {

const QByteArray kGet = "GET / HTTP/1.0\r\n\r\n";

// The lines the server logs while it lives; standard error again afterwards, however the test ends.
struct KeptLines
{
    KeptLines() { platform::setEventSink([this](const QString& line) { lines << line; }); }
    ~KeptLines() { platform::setEventSink({}); }
    QStringList lines;
};

} // namespace

TEST_F(Served, SilentChannelsAreShedOldestFirstThroughCloseAndNothingThatSpokeIsCut)
{
    KeptLines kept;
    const QStringList& lines = kept.lines;

    // An answer on its way to a client that has not read it yet: the channel is closed and lingers.
    RawClient answered(port);
    ASSERT_TRUE(answered.send(kGet));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 0 && sockets.lingeringCount() == 1; }));

    std::vector<std::unique_ptr<RawClient>> clients; // the first one will speak
    for (int channel = 1; channel <= 4; ++channel) {
        clients.push_back(std::make_unique<RawClient>(port));
        ASSERT_TRUE(QTest::qWaitFor([&] { return sockets.state(channel) == 7; })) << channel;
    }
    // Bytes the station has not read yet count as spoken.
    ASSERT_TRUE(clients[0]->send("GET"));
    const int descriptors = testsupport::openDescriptors();

    EXPECT_EQ(ConnectionShedder::instance().shed(2), 2);

    // Given back at once, not lingering.
    EXPECT_EQ(testsupport::openDescriptors(), descriptors - 2);
    EXPECT_EQ(sockets.state(2), 0);
    EXPECT_EQ(sockets.state(3), 0);
    EXPECT_EQ(sockets.state(4), 7);
    EXPECT_EQ(sockets.state(0), 2);
    for (int shed : {1, 2}) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return clients[static_cast<size_t>(shed)]->peek() != RawClient::Seen::Nothing; }));
        EXPECT_EQ(clients[static_cast<size_t>(shed)]->peek(), RawClient::Seen::Ended) << shed;
    }
    EXPECT_EQ(clients[3]->peek(), RawClient::Seen::Nothing);

    bool reset = true;
    EXPECT_EQ(clients[0]->readUntilEnd(3000, &reset), kError);
    EXPECT_FALSE(reset);
    const QByteArray answer = answered.readUntilEnd(3000, &reset);
    EXPECT_TRUE(answer.startsWith("HTTP/1.0 200 OK"));
    EXPECT_TRUE(answer.endsWith("<kml>served</kml>"));
    EXPECT_FALSE(reset);

    // The shed channels are free like any closed one: the next connections take the lowest (1 is the
    // answered one's).
    RawClient next(port), afterNext(port);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sockets.state(1) == 7 && sockets.state(2) == 7; }));
    EXPECT_EQ(sockets.state(3), 0);
    EXPECT_EQ(sockets.ubound(), 4);

    EXPECT_TRUE(QTest::qWaitFor([&] { return !lines.isEmpty(); }, 1500));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("closed 2 connections"))) << lines[0].toStdString();
}
