// Re-binding the listening socket on real loopback ports.
#include "fakestation.h"

#include "options/optionswindow.h"
#include "platform/captionwidgets.h"

#include <QApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

TEST(WebsitePortRebind, RefusedPortGreysTheDigitsAndAUsablePortResumesListening)
{
    FakeStation station;
    Form_OPTIONS window{station};
    StationState& s = station.state();
    const char* const names[] = {"Label_SITE_X10K", "Label_SITE_X1K", "Label_SITE_X100", "Label_SITE_X10", "Label_SITE_X1"};
    const auto backgrounds = [&] {
        QList<QColor> out;
        for (const char* name : names)
            out << window.digitField(QLatin1String(name))->background();
        return out;
    };

    QTcpServer occupier;
    ASSERT_TRUE(occupier.listen(QHostAddress::Any, 0));
    const quint16 port = occupier.serverPort();
    const QString digits = QStringLiteral("%1").arg(port, 5, 10, QLatin1Char('0'));
    for (int i = 0; i < 5; ++i)
        window.digitField(QLatin1String(names[i]))->setDigit(digits.mid(i, 1));

    s.DF_ARRIVING = platform::kTrue;
    s.DF_BUFFER = QStringLiteral("%04");
    window.CHANGE_SITE();
    EXPECT_EQ(backgrounds(), QList<QColor>(5, QApplication::palette().color(QPalette::Dark)));
    EXPECT_EQ(station.server.state(0), 0);
    EXPECT_EQ(s.WEBSITE_PORT, port);
    EXPECT_EQ(station.siteCaption, QStringLiteral("WEBSITE PORT : ") + digits);
    // A sentence being received survives a failed re-bind.
    EXPECT_EQ(s.DF_ARRIVING, platform::kTrue);
    EXPECT_EQ(s.DF_BUFFER, QStringLiteral("%04"));

    occupier.close();
    // Away and back: the second click lands on the port just freed.
    window.findChild<QPushButton*>(QStringLiteral("CmdButton_SITE_X1_UP"))->click();
    window.findChild<QPushButton*>(QStringLiteral("CmdButton_SITE_X1_DOWN"))->click();
    EXPECT_EQ(s.WEBSITE_PORT, port);
    EXPECT_EQ(backgrounds(), QList<QColor>(5, QColor(255, 255, 255)));
    EXPECT_EQ(station.server.state(0), 2);
    EXPECT_EQ(s.DF_ARRIVING, platform::kFalse);
    EXPECT_TRUE(s.DF_BUFFER.isEmpty());
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(client.waitForConnected(3000));
}
