// Connections that are opened and then send nothing (a port scanner, a misbehaving client, browsers'
// preconnects) never keep a map viewer out: the real station, started with the usual open-file limit,
// makes room by closing the oldest silent ones, and with a hard limit that allows it holds thousands.
#include "stationsetup.h"

#include "support/mapdocument.h"
#include "support/rawclient.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/resource.h>

using testsupport::RawClient;

namespace {

const QByteArray kGet = "GET / HTTP/1.0\r\n\r\n";

class SilentFlood : public hardening::StationSetup
{
protected:
    // The real station with the open-file limit a shell or a service manager gives it.
    testsupport::StationProcess startWithOpenFileLimit(rlim_t soft, rlim_t hard) const
    {
        return {QStringLiteral(TARNVALE_EXECUTABLE), QFileInfo(folder.folder()).path(), {QStringLiteral("--headless")},
                [soft, hard] {
                    const rlimit limit{soft, hard};
                    ::setrlimit(RLIMIT_NOFILE, &limit);
                }};
    }

    // Connections opened in this order and then left silent.
    std::vector<std::unique_ptr<RawClient>> openSilent(int count) const
    {
        std::vector<std::unique_ptr<RawClient>> clients;
        for (int i = 0; i < count; ++i) {
            clients.push_back(std::make_unique<RawClient>(port));
            if (!clients.back()->isOpen())
                ADD_FAILURE() << "connection " << i << " failed";
        }
        return clients;
    }

    // A map viewer's request: the whole map document, with a clean end, within `timeoutMs`.
    void expectMapWithin(int timeoutMs) const
    {
        QDeadlineTimer deadline(timeoutMs);
        RawClient viewer(port);
        ASSERT_TRUE(viewer.send(kGet));
        bool reset = false;
        const QByteArray response = viewer.readUntilEnd(static_cast<int>(deadline.remainingTime()), &reset);
        const testsupport::MapDocument map = testsupport::readMapDocument(response);
        EXPECT_TRUE(map.ok) << map.error.toStdString() << " after " << response.size() << " bytes";
        EXPECT_FALSE(reset);
    }

    static rlim_t hardLimit()
    {
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        return limit.rlim_max;
    }
};

} // namespace

TEST_F(SilentFlood, AtTheUsualLimitAMapViewerGetsInAndOnlyTheOldestSilentConnectionsAreClosed)
{
    constexpr int kSilent = 1100;
    if (!testsupport::allowOpenFiles(kSilent + 256))
        GTEST_SKIP() << "this machine's hard open-file limit (" << hardLimit() << ") is too low to hold " << kSilent
                     << " connections";
    auto station = startWithOpenFileLimit(1024, 1024);
    ASSERT_TRUE(testsupport::waitUntilServing(port));

    // An answer on its way before the flood, read only after it: the station's close of it lingers.
    RawClient answered(port);
    ASSERT_TRUE(answered.send(kGet));
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered.peek() == RawClient::Seen::Bytes; }));

    // More than the limit: the listen backlog holds the ones the station has no descriptor for.
    const auto silent = openSilent(kSilent);
    expectMapWithin(2000);

    int closed = 0;
    int resets = 0;
    bool oldestFirst = true;
    for (int i = 0; i < kSilent; ++i) {
        switch (silent[static_cast<size_t>(i)]->peek()) {
        case RawClient::Seen::Ended:
            oldestFirst = oldestFirst && i == closed;
            ++closed;
            break;
        case RawClient::Seen::Reset:
            ++resets;
            break;
        case RawClient::Seen::Bytes:
            ADD_FAILURE() << "connection " << i << " was sent something";
            break;
        case RawClient::Seen::Nothing:
            break;
        }
    }
    EXPECT_GT(closed, 0);
    EXPECT_TRUE(oldestFirst) << "a newer connection was closed before an older one";
    EXPECT_EQ(resets, 0);
    EXPECT_GE(kSilent - closed, 900) << "closed " << closed << ", more than were needed";

    bool reset = false;
    EXPECT_TRUE(testsupport::readMapDocument(answered.readUntilEnd(3000, &reset)).ok);
    EXPECT_FALSE(reset);

    // Full of silent connections once more, the station still has the files it needs to save its
    // settings at shutdown.
    const auto more = openSilent(20);
    QTest::qWait(300);
    EXPECT_EQ(station.terminate(), 0);
    const QByteArray log = station.standardError();
    EXPECT_TRUE(log.contains("hard limit of 1024 ")) << log.toStdString();
    EXPECT_TRUE(log.contains("Open files running out: closed ")) << log.toStdString();
}

TEST_F(SilentFlood, WithAHighEnoughHardLimitFiveThousandSilentConnectionsStayWhileMapsAreServed)
{
    constexpr int kSilent = 5000;
    if (!testsupport::allowOpenFiles(kSilent + 256))
        GTEST_SKIP() << "this machine's hard open-file limit (" << hardLimit() << ") is too low to hold " << kSilent
                     << " connections";
    // The usual soft limit: the station raises it itself.
    auto station = startWithOpenFileLimit(1024, hardLimit());
    ASSERT_TRUE(testsupport::waitUntilServing(port));

    const auto silent = openSilent(kSilent);
    for (int i = 0; i < 3; ++i)
        expectMapWithin(5000);

    int open = 0;
    for (const auto& client : silent)
        open += client->peek() == RawClient::Seen::Nothing ? 1 : 0;
    EXPECT_EQ(open, kSilent);

    EXPECT_EQ(station.terminate(), 0);
    EXPECT_FALSE(station.standardError().contains("Open files running out"));
}
