#include "platform/paths.h"
#include "platform/serialport.h"
#include "support/pty.h"
#include "support/settingsfolder.h"

#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

using platform::SerialPort;
using testsupport::Pty;
using testsupport::SettingsFolder;

namespace {

// Collects everything the port delivers through its receive event.
struct Receiver
{
    explicit Receiver(SerialPort& port)
    {
        QObject::connect(&port, &SerialPort::onComm, [this, &port] {
            ++events;
            received += port.input();
        });
    }
    int events = 0;
    QString received;
};

} // namespace

TEST(SerialPort, PortNumbersOutsideOneTo255AreRefusedAndKeepTheOldValue)
{
    SerialPort port;
    EXPECT_EQ(port.commPort(), 1);
    for (int bad : {0, -1, 256, 1000}) {
        EXPECT_FALSE(port.setCommPort(bad)) << bad;
        EXPECT_FALSE(port.errorString().isEmpty());
        EXPECT_EQ(port.commPort(), 1);
    }
    ASSERT_TRUE(port.setCommPort(255));
    EXPECT_EQ(port.commPort(), 255);
    ASSERT_TRUE(port.setCommPort(1));
    EXPECT_EQ(port.commPort(), 1);
}

TEST(SerialPort, MissingDevicesAndDanglingLinksFailToOpenWithAReason)
{
    SettingsFolder settings;
    SerialPort port;

    // No link: the port number leads to the system's own device.
    ASSERT_EQ(platform::serialDeviceFor(255), QStringLiteral("/dev/ttyS254"));
    if (!QFile::exists(QStringLiteral("/dev/ttyS254"))) {
        ASSERT_TRUE(port.setCommPort(255));
        EXPECT_FALSE(port.setPortOpen(true));
        EXPECT_FALSE(port.portOpen());
        EXPECT_FALSE(port.errorString().isEmpty());
    }

    // A link that leads nowhere is still the operator's choice, and a port that cannot open.
    const QString link = settings.folder() + QStringLiteral("/COM4");
    ASSERT_TRUE(QFile::link(settings.folder() + QStringLiteral("/no-such-device"), link));
    EXPECT_EQ(platform::serialDeviceFor(4), link);
    ASSERT_TRUE(port.setCommPort(4));
    EXPECT_FALSE(port.setPortOpen(true));
    EXPECT_FALSE(port.portOpen());
    EXPECT_FALSE(port.errorString().isEmpty());
    EXPECT_TRUE(port.input().isEmpty());

    // A plain file is not a serial device.
    QFile::remove(link);
    QFile plain(link);
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_FALSE(port.setPortOpen(true));
    EXPECT_FALSE(port.portOpen());
}

TEST(SerialPort, ALostLineIsTriedByItsLinkAndTheSystemsDeviceOnlyWhenNoLinkWasEverThere)
{
    SettingsFolder settings;
    const QString link = settings.folder() + QStringLiteral("/COM1");
    const QString system = QStringLiteral("/dev/ttyS0");
    SerialPort port;

    // No link: the port is the system's device, when chosen and when tried again.
    (void)port.setPortOpen(true);
    EXPECT_EQ(port.triedDevice(), system);
    ASSERT_TRUE(port.setPortOpen(false));
    (void)port.reopen();
    EXPECT_EQ(port.triedDevice(), system);
    ASSERT_TRUE(port.setPortOpen(false));

    // A link made meanwhile is the operator's choice.
    Pty first;
    ASSERT_TRUE(first.linkAs(settings.folder(), 1));
    ASSERT_TRUE(port.reopen()) << port.errorString().toStdString();
    EXPECT_EQ(port.openedDevice(), link + QStringLiteral(" -> ") + first.slavePath());

    // Its device gone and the link removed: the link stays the port's name.
    first.closeMaster();
    ASSERT_TRUE(QFile::remove(link));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !port.portOpen(); }, 3000));
    EXPECT_FALSE(port.reopen());
    EXPECT_EQ(port.triedDevice(), link);
    EXPECT_FALSE(port.portOpen());

    // Made again for a new device: read from it.
    Pty second;
    ASSERT_TRUE(second.linkAs(settings.folder(), 1));
    ASSERT_TRUE(port.reopen()) << port.errorString().toStdString();
    EXPECT_EQ(port.openedDevice(), link + QStringLiteral(" -> ") + second.slavePath());
}

TEST(SerialPort, LinkedDeviceOpensAndDeliversEveryByteInOrder)
{
    SettingsFolder settings;
    Pty pty;
    ASSERT_TRUE(pty.isOpen());
    ASSERT_TRUE(pty.linkAs(settings.folder(), 3));
    EXPECT_EQ(platform::serialDeviceFor(3), settings.folder() + QStringLiteral("/COM3"));

    SerialPort port;
    Receiver receiver(port);
    ASSERT_TRUE(port.setCommPort(3));
    ASSERT_TRUE(port.setPortOpen(true)) << port.errorString().toStdString();
    EXPECT_TRUE(port.portOpen());

    // A port that someone else holds is busy.
    SerialPort other;
    ASSERT_TRUE(other.setCommPort(3));
    EXPECT_FALSE(other.setPortOpen(true));
    EXPECT_FALSE(other.portOpen());

    // Every byte value, one character per byte, in pieces with the event loop running between them.
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QByteArray sent = all + "%045\r" + all;
    for (qsizetype at = 0; at < sent.size(); at += 97) {
        ASSERT_TRUE(pty.write(sent.mid(at, 97)));
        QTest::qWait(2);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return receiver.received.size() >= sent.size(); }, 3000));
    EXPECT_EQ(receiver.received, QString::fromLatin1(sent));
    EXPECT_TRUE(port.input().isEmpty()); // consumed

    // A burst larger than the read buffer arrives whole once the buffer is read.
    receiver.received.clear();
    QByteArray burst;
    for (int i = 0; i < 3000; ++i)
        burst.append(static_cast<char>('a' + i % 26));
    ASSERT_TRUE(pty.write(burst));
    ASSERT_TRUE(QTest::qWaitFor([&] { return receiver.received.size() >= burst.size(); }, 3000));
    EXPECT_EQ(receiver.received, QString::fromLatin1(burst));

    ASSERT_TRUE(port.setPortOpen(false));
    EXPECT_FALSE(port.portOpen());

    // Closed and reopened, the same device works again.
    ASSERT_TRUE(port.setPortOpen(true)) << port.errorString().toStdString();
    receiver.received.clear();
    ASSERT_TRUE(pty.write("%123\r"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return receiver.received == QStringLiteral("%123\r"); }, 3000));
}

TEST(SerialPort, FarEndGoingAwayClosesThePortWithoutSpinning)
{
    SettingsFolder settings;
    Pty pty;
    ASSERT_TRUE(pty.linkAs(settings.folder(), 2));

    SerialPort port;
    Receiver receiver(port);
    ASSERT_TRUE(port.setCommPort(2));
    ASSERT_TRUE(port.setPortOpen(true)) << port.errorString().toStdString();
    ASSERT_TRUE(pty.write("%0"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return receiver.received == QStringLiteral("%0"); }, 3000));

    pty.closeMaster();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !port.portOpen(); }, 3000));
    const int eventsAtClose = receiver.events;
    QTest::qWait(300);
    EXPECT_FALSE(port.portOpen());
    EXPECT_LT(receiver.events - eventsAtClose, 5);
    EXPECT_LT(receiver.events, 20);
    EXPECT_TRUE(port.input().isEmpty());
    EXPECT_TRUE(port.setPortOpen(false)); // closing a closed port is harmless
}
