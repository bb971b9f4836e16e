// Re-binding the listening socket on real loopback ports.
#include "fakestation.h"

#include "options/optionswindow.h"
#include "platform/captionwidgets.h"

#include <QApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

namespace {

const char* const kSite[] = {"Label_SITE_X10K", "Label_SITE_X1K", "Label_SITE_X100", "Label_SITE_X10", "Label_SITE_X1"};

void setPort(Form_OPTIONS& window, quint16 port)
{
    const QString digits = QStringLiteral("%1").arg(port, 5, 10, QLatin1Char('0'));
    for (int i = 0; i < 5; ++i)
        window.digitField(QLatin1String(kSite[i]))->setDigit(digits.mid(i, 1));
}

QList<QColor> portBackgrounds(Form_OPTIONS& window)
{
    QList<QColor> out;
    for (const char* name : kSite)
        out << window.digitField(QLatin1String(name))->background();
    return out;
}

QList<QColor> fiveOf(const QColor& colour)
{
    return QList<QColor>(5, colour);
}

} // namespace

TEST(WebsitePortRebind, RefusedPortGreysTheDigitsAndAUsablePortResumesListening)
{
    FakeStation station;
    Form_OPTIONS window{station};
    const QColor shadow = QApplication::palette().color(QPalette::Dark);

    QTcpServer occupier;
    ASSERT_TRUE(occupier.listen(QHostAddress::Any, 0));
    const quint16 port = occupier.serverPort();
    setPort(window, port);

    station.state().DF_ARRIVING = platform::kTrue;
    station.state().DF_BUFFER = QStringLiteral("%04");
    window.CHANGE_SITE();
    EXPECT_EQ(portBackgrounds(window), fiveOf(shadow));
    EXPECT_EQ(station.server.state(0), 0);
    EXPECT_EQ(station.state().WEBSITE_PORT, port);
    EXPECT_EQ(station.siteCaption, QStringLiteral("WEBSITE PORT : %1").arg(port, 5, 10, QLatin1Char('0')));
    // A sentence being received survives a failed re-bind.
    EXPECT_EQ(station.state().DF_ARRIVING, platform::kTrue);
    EXPECT_EQ(station.state().DF_BUFFER, QStringLiteral("%04"));

    occupier.close();
    // Step away and back: each click re-binds; the second lands on the port just freed.
    window.findChild<QPushButton*>(QStringLiteral("CmdButton_SITE_X1_UP"))->click();
    window.findChild<QPushButton*>(QStringLiteral("CmdButton_SITE_X1_DOWN"))->click();
    EXPECT_EQ(station.state().WEBSITE_PORT, port);
    EXPECT_EQ(portBackgrounds(window), fiveOf(QColor(255, 255, 255)));
    EXPECT_EQ(station.server.state(0), 2);
    EXPECT_EQ(station.state().DF_ARRIVING, platform::kFalse);
    EXPECT_TRUE(station.state().DF_BUFFER.isEmpty());

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(client.waitForConnected(3000));
}

TEST(WebsitePortRebind, PortZeroCannotBeListenedOn)
{
    FakeStation station;
    Form_OPTIONS window{station};
    setPort(window, 0);
    window.CHANGE_SITE();
    EXPECT_EQ(station.siteCaption, QStringLiteral("WEBSITE PORT : 00000"));
    EXPECT_EQ(portBackgrounds(window), fiveOf(QApplication::palette().color(QPalette::Dark)));
}
