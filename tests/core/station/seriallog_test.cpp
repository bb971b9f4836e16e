// The serial line's account in the event log: told once per event, tries and repeats kept quiet.
#include "platform/serialport.h"
#include "core/station/seriallog.h"
#include "support/eventlines.h"
#include "support/pty.h"
#include "support/settingsfolder.h"

#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class SerialLogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(first.linkAs(folder.folder(), 1));
        ASSERT_TRUE(second.linkAs(folder.folder(), 2));
        ASSERT_TRUE(QFile::link(folder.folder() + QStringLiteral("/nowhere"), folder.folder() + QStringLiteral("/COM3")));
    }
    // What the log says once the current event is over.
    QStringList told()
    {
        QTest::qWait(5);
        const QStringList lines = log.lines();
        log.clear();
        return lines;
    }
    QString device(int port) const
    {
        const testsupport::Pty& pty = port == 1 ? first : second;
        return QStringLiteral("%1/COM%2 -> %3").arg(folder.folder()).arg(port).arg(pty.slavePath());
    }

    testsupport::SettingsFolder folder;
    testsupport::Pty first;
    testsupport::Pty second;
    testsupport::EventLines log;
    platform::SerialPort port;
    station::SerialLog serialLog{port};
};

} // namespace

TEST_F(SerialLogTest, OpeningMovingAndClosingAreOneLineEach)
{
    ASSERT_TRUE(port.setPortOpen(true));
    EXPECT_EQ(told(), QStringList{QStringLiteral("Serial port COM1 open: ") + device(1)});

    // Moved to another port within one event: the new port is told, not the close in between.
    ASSERT_TRUE(port.setPortOpen(false));
    ASSERT_TRUE(port.setCommPort(2));
    ASSERT_TRUE(port.setPortOpen(true));
    EXPECT_EQ(told(), QStringList{QStringLiteral("Serial port COM2 open: ") + device(2)});

    ASSERT_TRUE(port.setPortOpen(false));
    EXPECT_EQ(told(), QStringList{QStringLiteral("Serial port COM2 closed")});
}

TEST_F(SerialLogTest, APortOnlyTriedSaysNothingAndARepeatedFailureIsToldOnce)
{
    ASSERT_TRUE(port.setPortOpen(true));
    ASSERT_TRUE(port.setPortOpen(false));
    EXPECT_TRUE(told().isEmpty());

    ASSERT_TRUE(port.setCommPort(3));
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_FALSE(port.setPortOpen(true));
        QTest::qWait(5);
    }
    const QStringList lines = told();
    ASSERT_EQ(lines.size(), 1) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Serial port COM3 not available: %1/COM3 -> ").arg(folder.folder())));

    // Once something else has been told, the same failure is worth telling again.
    ASSERT_TRUE(port.setCommPort(1));
    ASSERT_TRUE(port.setPortOpen(true));
    EXPECT_EQ(told().size(), 1);
    ASSERT_TRUE(port.setPortOpen(false));
    ASSERT_TRUE(port.setCommPort(3));
    EXPECT_FALSE(port.setPortOpen(true));
    EXPECT_EQ(told().size(), 2); // closed, and the failure

}

TEST_F(SerialLogTest, ADeviceThatGoesAwayIsToldAsLost)
{
    ASSERT_TRUE(port.setPortOpen(true));
    (void)told();
    first.closeMaster();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !port.portOpen(); }, 3000));
    const QStringList lines = told();
    ASSERT_EQ(lines.size(), 1) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Serial port COM1 lost: ") + device(1)));
}
