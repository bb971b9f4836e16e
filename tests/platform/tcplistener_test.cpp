// A listening socket that runs out of descriptors: it neither spins nor stalls, has room made as far as
// the process's pools allow, oldest silent connections first, and accepts again.
#include "platform/connectionshedder.h"
#include "platform/eventlog.h"
#include "platform/tcplistener.h"
#include "support/rawclient.h"

#include <QStringList>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

using platform::ConnectionShedder;
using platform::SheddableConnection;
using platform::TcpListener;
using testsupport::DescriptorsUsedUp;
using testsupport::RawClient;

namespace {

class Exhausted : public ::testing::Test
{
protected:
    void SetUp() override
    {
        platform::setEventSink([this](const QString& line) { lines << line; });
        // Descriptors are counted exactly here; the reserve would only add to the counts.
        listener.setReservedDescriptors(0);
        ASSERT_TRUE(listener.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&listener, &TcpListener::newConnection, [this] {
            while (QTcpSocket* socket = listener.nextPendingConnection())
                accepted.emplace_back(socket);
        });
    }
    void TearDown() override
    {
        for (int id : sources)
            ConnectionShedder::instance().removeSource(id);
        platform::setEventSink({});
    }

    void addSource(std::function<std::vector<SheddableConnection>()> source)
    {
        sources.push_back(ConnectionShedder::instance().addSource(std::move(source)));
    }

    TcpListener listener;
    std::vector<std::unique_ptr<QTcpSocket>> accepted;
    std::vector<int> sources;
    QStringList lines;
};

} // namespace

TEST(TcpListener, KeepsAtMostTheMaximumOfPendingConnectionsUntilTheyAreTaken)
{
    TcpListener listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    listener.setMaxPendingConnections(1);
    RawClient a(listener.serverPort()), b(listener.serverPort());
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener.hasPendingConnections(); }));
    QTest::qWait(100);
    EXPECT_EQ(listener.waitingConnections(), 1);
    std::unique_ptr<QTcpSocket> first(listener.nextPendingConnection());
    EXPECT_TRUE(QTest::qWaitFor([&] { return listener.waitingConnections() == 0 && listener.hasPendingConnections(); }));
    std::unique_ptr<QTcpSocket> second(listener.nextPendingConnection());
    EXPECT_EQ(second->state(), QAbstractSocket::ConnectedState);
    EXPECT_EQ(listener.nextPendingConnection(), nullptr);
}

TEST_F(Exhausted, ListenerPausesWithoutSpinningAndAcceptsOnceDescriptorsAreFree)
{
    // An ordinary accept first: afterwards Qt's own server would no longer notice running out.
    RawClient first(listener.serverPort());
    ASSERT_TRUE(QTest::qWaitFor([&] { return accepted.size() == 1; }));

    int consulted = 0;
    addSource([&] {
        ++consulted;
        return std::vector<SheddableConnection>{};
    });
    DescriptorsUsedUp used(1);
    ASSERT_TRUE(used.ok());
    RawClient waiting(listener.serverPort());
    ASSERT_TRUE(waiting.isOpen());
    QTest::qWait(600);
    EXPECT_EQ(accepted.size(), 1u);
    // Noticed, and tried again only every so often.
    EXPECT_GE(consulted, 1);
    EXPECT_LE(consulted, 8);
    EXPECT_EQ(listener.waitingConnections(), 1);

    used.release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return accepted.size() == 2; }, 2000));
    EXPECT_EQ(listener.waitingConnections(), 0);
    EXPECT_EQ(accepted.back()->state(), QAbstractSocket::ConnectedState);
}

TEST_F(Exhausted, OldestSilentConnectionsOfEveryPoolAreShedAsManyAsWait)
{
    DescriptorsUsedUp used(3);
    ASSERT_TRUE(used.ok());
    std::vector<qint64> tried;
    // Each shed connection gives a descriptor back; the one at 20 has spoken since it was offered.
    const auto offer = [&](std::vector<qint64> times) {
        std::vector<SheddableConnection> offered;
        for (qint64 at : times)
            offered.push_back({at, [&tried, &used, at] {
                tried.push_back(at);
                if (at == 20)
                    return false;
                used.release(1);
                return true;
            }});
        return offered;
    };
    addSource([&] { return offer({50, 10, 30}); });
    addSource([&] { return offer({20, 60, 40}); });

    RawClient a(listener.serverPort()), b(listener.serverPort()), c(listener.serverPort());
    ASSERT_TRUE(a.isOpen() && b.isOpen() && c.isOpen());
    EXPECT_TRUE(QTest::qWaitFor([&] { return accepted.size() == 3; }, 3000)) << accepted.size();
    EXPECT_EQ(tried, (std::vector<qint64>{10, 20, 30, 40}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !lines.isEmpty(); }, 1500));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("closed 3 connections"))) << lines[0].toStdString();
}
