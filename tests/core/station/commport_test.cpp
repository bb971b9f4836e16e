// The COM port selector over pseudo-terminals linked as COMn.
#include "core/station/optionscore.h"
#include "platform/messages.h"
#include "core/station/stationcore.h"
#include "support/messagerecorder.h"
#include "support/pty.h"
#include "support/settingsfolder.h"

#include <QFile>
#include <QTest>
#include <gtest/gtest.h>


namespace {

class CommPortSelector : public ::testing::Test
{
protected:
    void SetUp() override { station.CmdButton_ACQUIRE_Click(); } // the window opens with DF input on

    // COMn that leads nowhere: a port that fails to open.
    void linkMissing(int n)
    {
        ASSERT_TRUE(QFile::link(folder.folder() + QStringLiteral("/nowhere"), folder.folder() + QStringLiteral("/COM%1").arg(n)));
    }
    // DF input on, receiving on COMn.
    void receiveOn(int n)
    {
        ASSERT_TRUE(serial.setCommPort(n));
        station.CmdButton_ACQUIRE_Click();
        ASSERT_TRUE(serial.portOpen());
    }
    void press() { station.options().CmdButton_COMM_PORT_Click(); }
    // The port the selector shows (0 before its first selection) and whether it is refused.
    int selected() const { return station.model().commPort(); }
    bool refused() const { return station.model().commPortRefused(); }
    bool dfInput() const { return station.model().dfInput(); }

    testsupport::SettingsFolder folder;
    testsupport::Pty first;
    testsupport::Pty second;
    platform::Messages messages;
    testsupport::MessageRecorder recorder{messages};
    StationCore station{messages};
    platform::SerialPort& serial = station.serialPort();
};

} // namespace

TEST_F(CommPortSelector, WrapsFromCom8ToCom1AndOnlyTriesThePortWhileDfInputIsOff)
{
    ASSERT_TRUE(first.linkAs(folder.folder(), 1));
    ASSERT_TRUE(serial.setCommPort(8));
    press();
    EXPECT_EQ(serial.commPort(), 1);
    EXPECT_EQ(selected(), 1);
    EXPECT_FALSE(serial.portOpen());
    EXPECT_FALSE(refused());

    linkMissing(2);
    press();
    EXPECT_EQ(selected(), 2);
    EXPECT_TRUE(refused());
    EXPECT_FALSE(dfInput());
    EXPECT_EQ(recorder.count(), 0);
}

TEST_F(CommPortSelector, AnOpenPortMovesOnAndKeepsReceiving)
{
    ASSERT_TRUE(first.linkAs(folder.folder(), 3));
    ASSERT_TRUE(second.linkAs(folder.folder(), 4));
    receiveOn(3);
    press();
    EXPECT_EQ(serial.commPort(), 4);
    ASSERT_TRUE(serial.portOpen());

    (void)first.write("%111\r"); // the old port is no longer read
    ASSERT_TRUE(second.write("%045\r"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return station.state().BEARING_DEGREES == 45; }));
    QTest::qWait(50);
    EXPECT_EQ(station.state().BEARING_DEGREES, 45);
    EXPECT_TRUE(dfInput());
}

TEST_F(CommPortSelector, AMissingPortGreysTheButtonAndSwitchesDfInputOffWithoutAMessage)
{
    ASSERT_TRUE(first.linkAs(folder.folder(), 4));
    linkMissing(5);
    ASSERT_TRUE(second.linkAs(folder.folder(), 6));
    receiveOn(4);
    press();
    EXPECT_EQ(selected(), 5);
    EXPECT_FALSE(serial.portOpen());
    EXPECT_FALSE(dfInput());
    EXPECT_TRUE(refused());
    EXPECT_EQ(station.model().serialLine(), station::SerialLine::Failed);
    EXPECT_EQ(recorder.count(), 0);

    // The next press moves on from the failed port, and a port that opens clears the grey.
    press();
    EXPECT_EQ(selected(), 6);
    EXPECT_FALSE(refused());
    EXPECT_FALSE(dfInput());
    EXPECT_EQ(station.model().serialLine(), station::SerialLine::Closed); // only tried
}

TEST_F(CommPortSelector, APortBeyondCom8IsNotMovedAndStaysOpen)
{
    ASSERT_TRUE(first.linkAs(folder.folder(), 12));
    receiveOn(12);
    press();
    EXPECT_EQ(serial.commPort(), 12);
    EXPECT_EQ(selected(), 0);
    EXPECT_TRUE(serial.portOpen());
}
