// The website port taken by another program: the operator steps the port onto one that is held (grey
// digits, nothing served there by the station), the other program lets it go, and the next step
// serves the map there; the same when the port is held at start-up.
#include "stationsetup.h"

#include "options/optionswindow.h"
#include "platform/captionwidgets.h"
#include "station/stationwindow.h"
#include "support/loopback.h"
#include "support/messagerecorder.h"
#include "support/pty.h"
#include "support/settingsfolder.h"
#include "support/waitfor.h"

#include <QApplication>
#include <QPushButton>
#include <QTcpServer>
#include <gtest/gtest.h>

namespace {

constexpr int kListening = 2;
const char* const kPortDigits[] = {"Label_SITE_X10K", "Label_SITE_X1K", "Label_SITE_X100", "Label_SITE_X10",
                                   "Label_SITE_X1"};

class PortTaken : public ::testing::Test
{
protected:
    void startOn(quint16 port)
    {
        ASSERT_TRUE(dfUnit.linkAs(folder.folder(), 1));
        folder.writeLines(testsupport::settingsLinesFor(port));
        ASSERT_TRUE(station.Form_Load());
    }
    void click(const char* name)
    {
        station.options().findChild<QPushButton*>(QLatin1String(name))->click();
    }
    bool digitsGrey()
    {
        const QColor grey = QApplication::palette().color(QPalette::Dark);
        for (const char* name : kPortDigits) {
            if (station.options().findChild<platform::TagLabel*>(QLatin1String(name))->background() != grey)
                return false;
        }
        return true;
    }
    bool serves(quint16 port)
    {
        return testsupport::fetch(port, "GET / HTTP/1.0\r\n\r\n", 3000).startsWith("HTTP/1.0 200 OK");
    }

    testsupport::SettingsFolder folder;
    testsupport::Pty dfUnit;
    testsupport::MessageRecorder messages;
    Form_STATION station;
};

} // namespace

TEST_F(PortTaken, WhileRunningGreysTheDigitsThenServesOnceFreed)
{
    // The other program holds the port one step up; a free port's neighbour may itself be in use
    // (another connection's local end), so the pair is chosen together.
    QTcpServer otherProgram;
    quint16 port = 0;
    for (int attempt = 0; attempt < 50 && port == 0; ++attempt) {
        const quint16 candidate = hardening::freePortBelowNine();
        if (candidate != 0 && otherProgram.listen(QHostAddress::Any, candidate + 1))
            port = candidate;
    }
    ASSERT_NE(port, 0);
    startOn(port);
    ASSERT_TRUE(serves(port));

    click("CmdButton_SITE_X1_UP");
    EXPECT_EQ(station.state().WEBSITE_PORT, port + 1);
    EXPECT_TRUE(digitsGrey());
    EXPECT_NE(station.httpServer().state(0), kListening);
    EXPECT_FALSE(serves(port)); // the old port was let go
    EXPECT_EQ(messages.count(), 0); // shown by colour only

    otherProgram.close();
    click("CmdButton_SITE_X1_DOWN");
    click("CmdButton_SITE_X1_UP");
    EXPECT_EQ(station.state().WEBSITE_PORT, port + 1);
    EXPECT_FALSE(digitsGrey());
    EXPECT_EQ(station.httpServer().state(0), kListening);
    EXPECT_TRUE(serves(port + 1));
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(PortTaken, AtStartUpIsReportedOnceThenServesOnceFreed)
{
    QTcpServer otherProgram;
    ASSERT_TRUE(otherProgram.listen(QHostAddress::Any, 0));
    const quint16 port = otherProgram.serverPort();
    startOn(port);
    ASSERT_EQ(messages.titles(), QStringList{QStringLiteral("Invalid NETWORK port selected")});
    EXPECT_NE(station.httpServer().state(0), kListening);

    otherProgram.close();
    // Away and back (the units digit wraps, so this works from any digit).
    click("CmdButton_SITE_X1_UP");
    click("CmdButton_SITE_X1_DOWN");
    EXPECT_EQ(station.state().WEBSITE_PORT, port);
    EXPECT_EQ(station.httpServer().state(0), kListening);
    EXPECT_TRUE(serves(port));
    EXPECT_EQ(messages.count(), 1);
}
