// The COM port selector over pseudo-terminals linked as COMn.
#include "fakestation.h"

#include "options/optionswindow.h"
#include "platform/captionwidgets.h"
#include "station/stationwindow.h"

#include "support/messagerecorder.h"
#include "support/pty.h"
#include "support/settingsfolder.h"
#include "support/waitfor.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

class CommPortSelector : public ::testing::Test
{
protected:
    // COMn that leads nowhere: a port that fails to open.
    void linkMissing(int n)
    {
        ASSERT_TRUE(QFile::link(folder.folder() + QStringLiteral("/nowhere"), folder.folder() + QStringLiteral("/COM%1").arg(n)));
    }
    // DF input on, receiving on COMn.
    void receiveOn(int n)
    {
        station.acquire = QStringLiteral("ON");
        ASSERT_TRUE(station.serial.setCommPort(n));
        ASSERT_TRUE(station.serial.setPortOpen(true));
    }

    testsupport::SettingsFolder folder;
    testsupport::Pty first;
    testsupport::Pty second;
    FakeStation station;
    Form_OPTIONS window{station};
    platform::TagButton& button = window.commPortButton();
};

} // namespace

TEST_F(CommPortSelector, WrapsFromCom8ToCom1AndOnlyTriesThePortWhileDfInputIsOff)
{
    ASSERT_TRUE(first.linkAs(folder.folder(), 1));
    ASSERT_TRUE(station.serial.setCommPort(8));
    button.click();
    EXPECT_EQ(station.serial.commPort(), 1);
    EXPECT_EQ(button.text(), QStringLiteral("COMM PORT : COM 1"));
    EXPECT_FALSE(station.serial.portOpen());
    EXPECT_EQ(button.faceRole(), QPalette::Button);

    linkMissing(2);
    button.click();
    EXPECT_EQ(button.text(), QStringLiteral("COMM PORT : COM 2"));
    EXPECT_EQ(button.faceRole(), QPalette::Dark);
    EXPECT_EQ(station.acquireClicks, 0);
}

TEST_F(CommPortSelector, AnOpenPortMovesOnAndKeepsReceiving)
{
    ASSERT_TRUE(first.linkAs(folder.folder(), 3));
    ASSERT_TRUE(second.linkAs(folder.folder(), 4));
    receiveOn(3);
    button.click();
    EXPECT_EQ(station.serial.commPort(), 4);
    ASSERT_TRUE(station.serial.portOpen());

    QString received;
    QObject::connect(&station.serial, &platform::SerialPort::onComm, [&] { received += station.serial.input(); });
    (void)first.write("%111\r"); // the old port is no longer read
    ASSERT_TRUE(second.write("%045\r"));
    EXPECT_TRUE(testsupport::waitFor([&] { return received.contains(QStringLiteral("%045\r")); }));
    EXPECT_FALSE(received.contains(QStringLiteral("111")));
    EXPECT_EQ(station.acquireClicks, 0);
}

TEST_F(CommPortSelector, AMissingPortGreysTheButtonAndSwitchesDfInputOff)
{
    ASSERT_TRUE(first.linkAs(folder.folder(), 4));
    linkMissing(5);
    ASSERT_TRUE(second.linkAs(folder.folder(), 6));
    receiveOn(4);
    button.click();
    EXPECT_EQ(button.text(), QStringLiteral("COMM PORT : COM 5"));
    EXPECT_FALSE(station.serial.portOpen());
    EXPECT_EQ(station.acquire, QStringLiteral("OFF"));
    EXPECT_EQ(button.faceRole(), QPalette::Dark);

    // The next press moves on from the failed port, and a port that opens clears the grey.
    button.click();
    EXPECT_EQ(button.text(), QStringLiteral("COMM PORT : COM 6"));
    EXPECT_EQ(button.faceRole(), QPalette::Button);
    EXPECT_EQ(station.acquireClicks, 1);
}

TEST_F(CommPortSelector, APortBeyondCom8IsNotMovedAndStaysOpen)
{
    ASSERT_TRUE(first.linkAs(folder.folder(), 12));
    receiveOn(12);
    button.click();
    EXPECT_EQ(station.serial.commPort(), 12);
    EXPECT_EQ(button.text(), QStringLiteral("COM PORT : COM 1"));
    EXPECT_TRUE(station.serial.portOpen());
}

TEST(CommPortSelectorOnTheStation, AMissingPortSwitchesTheStationsDfInputOffWithoutAMessage)
{
    testsupport::SettingsFolder folder;
    testsupport::Pty pty;
    testsupport::MessageRecorder recorder;
    ASSERT_TRUE(pty.linkAs(folder.folder(), 2));
    ASSERT_TRUE(QFile::link(folder.folder() + QStringLiteral("/nowhere"), folder.folder() + QStringLiteral("/COM3")));
    Form_STATION station;
    ASSERT_TRUE(station.serialPort().setCommPort(2));
    ASSERT_TRUE(station.serialPort().setPortOpen(true));

    station.options().commPortButton().click();
    auto* acquire = station.findChild<platform::TagButton*>(QStringLiteral("CmdButton_ACQUIRE"));
    EXPECT_EQ(acquire->text(), QStringLiteral(" DF INPUT OFF ( ON )"));
    EXPECT_FALSE(station.serialPort().portOpen());
    EXPECT_EQ(station.options().commPortButton().faceRole(), QPalette::Dark);
    EXPECT_EQ(recorder.count(), 0);
}
