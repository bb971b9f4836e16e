#pragma once
// A socket set listening on a free loopback port, and what its handlers saw, for the socket set's tests.

#include "platform/tcpsocketset.h"
#include "support/loopback.h"

#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

using platform::TcpSocketSet;
using testsupport::freePort;

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

