// Re-binding the listening socket on real loopback ports.
#include "core/station/optionscore.h"
#include "platform/messages.h"
#include "core/station/stationcore.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

TEST(WebsitePortRebind, RefusedPortGreysTheDigitsAndAUsablePortResumesListening)
{
    platform::Messages messages;
    StationCore station(messages);
    options::OptionsCore& operations = station.options();
    StationState& s = station.state();

    QTcpServer occupier;
    ASSERT_TRUE(occupier.listen(QHostAddress::Any, 0));
    const quint16 port = occupier.serverPort();
    const QString digits = QStringLiteral("%1").arg(port, 5, 10, QLatin1Char('0'));
    for (int field = 0; field < 5; ++field)
        station.model().setDigit(field, digits.mid(field, 1).toInt());

    s.DF_ARRIVING = true;
    s.DF_BUFFER = QStringLiteral("%04");
    operations.CHANGE_SITE();
    EXPECT_TRUE(station.model().websitePortRefused());
    EXPECT_EQ(station.httpServer().state(0), 0);
    EXPECT_FALSE(station.model().websiteListening());
    EXPECT_EQ(station.model().websitePort(), port);
    EXPECT_EQ(s.WEBSITE_PORT, port);
    // A sentence being received survives a failed re-bind.
    EXPECT_TRUE(s.DF_ARRIVING);
    EXPECT_EQ(s.DF_BUFFER, QStringLiteral("%04"));

    occupier.close();
    // Away and back: the second click lands on the port just freed.
    operations.stepDigit(4, options::Step::Up);
    operations.stepDigit(4, options::Step::Down);
    EXPECT_EQ(s.WEBSITE_PORT, port);
    EXPECT_FALSE(station.model().websitePortRefused());
    EXPECT_EQ(station.httpServer().state(0), 2);
    EXPECT_TRUE(station.model().websiteListening());
    EXPECT_FALSE(s.DF_ARRIVING);
    EXPECT_TRUE(s.DF_BUFFER.isEmpty());
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(client.waitForConnected(3000));
}
