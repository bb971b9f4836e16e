// The website port taken by another program: the operator steps the port onto one that is held (grey
// digits, nothing served there by the station), the other program lets it go, and the next step
// serves the map there; the same when the port is held at start-up.
#include "stationsetup.h"

#include "core/station/optionscore.h"
#include "platform/messages.h"
#include "core/station/stationcore.h"
#include "support/loopback.h"
#include "support/messagerecorder.h"
#include "support/pty.h"
#include "support/settingsfolder.h"

#include <QTcpServer>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int kListening = 2;
constexpr int kPortUnits = 4; // Label_SITE_X1

class PortTaken : public ::testing::Test
{
protected:
    void startOn(quint16 port)
    {
        ASSERT_TRUE(dfUnit.linkAs(folder.folder(), 1));
        folder.writeLines(testsupport::settingsLinesFor(port));
        ASSERT_TRUE(station.Form_Load());
    }
    void step(options::Step direction) { station.options().stepDigit(kPortUnits, direction); }
    bool digitsGrey() { return station.model().websitePortRefused(); }
    bool serves(quint16 port)
    {
        return testsupport::fetch(port, "GET / HTTP/1.0\r\n\r\n", 3000).startsWith("HTTP/1.0 200 OK");
    }

    testsupport::SettingsFolder folder;
    testsupport::Pty dfUnit;
    platform::Messages shown;
    testsupport::MessageRecorder messages{shown};
    StationCore station{shown};
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

    step(options::Step::Up);
    EXPECT_EQ(station.state().WEBSITE_PORT, port + 1);
    EXPECT_TRUE(digitsGrey());
    EXPECT_NE(station.httpServer().state(0), kListening);
    EXPECT_FALSE(serves(port)); // the old port was let go
    EXPECT_EQ(messages.count(), 0); // shown by colour only

    otherProgram.close();
    step(options::Step::Down);
    step(options::Step::Up);
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
    step(options::Step::Up);
    step(options::Step::Down);
    EXPECT_EQ(station.state().WEBSITE_PORT, port);
    EXPECT_EQ(station.httpServer().state(0), kListening);
    EXPECT_TRUE(serves(port));
    EXPECT_EQ(messages.count(), 1);
}
