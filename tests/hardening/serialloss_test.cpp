// The DF unit's device goes away while the station has it open (a USB adapter pulled out; here the
// far end of the pseudo-terminal closed): the whole program must neither spin nor stop serving, and
// reads on by itself once the device is back (a new pseudo-terminal linked as the same COMn).
#include "stationsetup.h"

#include "support/loopback.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString lineEnd(const QByteArray& response)
{
    static const QRegularExpression line(QStringLiteral("<coordinates>[^<]* ([^< ]*)</coordinates>"));
    return line.match(QString::fromLatin1(response)).captured(1);
}

using SerialDeviceGone = hardening::StationSetup;

} // namespace

TEST_F(SerialDeviceGone, StationStaysIdleKeepsServingAndReadsAgainOnceTheDeviceIsBack)
{
    auto station = startStation({QStringLiteral("--headless")});
    ASSERT_TRUE(testsupport::waitUntilServing(port));
    const QString atStation = lineEnd(testsupport::fetch(port, "GET / HTTP/1.0\r\n\r\n"));

    // The line is live: a bearing moves its far end.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        dfUnit.write("%090\r");
        return lineEnd(testsupport::fetch(port, "GET / HTTP/1.0\r\n\r\n")) != atStation;
    }, 5000));

    dfUnit.unplug();
    QTest::qWait(300); // the read errors come at once, if they come

    // A station that spins on read errors burns a whole core; an idle one a few milliseconds.
    const qint64 before = station.cpuMilliseconds();
    ASSERT_GE(before, 0);
    QTest::qWait(1000);
    const qint64 used = station.cpuMilliseconds() - before;
    EXPECT_LT(used, 250) << "CPU time over one second after the device went away: " << used << " ms";

    EXPECT_TRUE(station.isRunning());
    EXPECT_TRUE(testsupport::fetch(port, "GET / HTTP/1.0\r\n\r\n").startsWith("HTTP/1.0 200 OK"));
    EXPECT_EQ(station.waitForExit(0), -1); // still running
    const QString device = QStringLiteral("%1/COM1 -> %2").arg(folder.folder(), dfUnit.slavePath());
    QString log = QString::fromLocal8Bit(station.standardError());
    EXPECT_EQ(log.count(QStringLiteral("Serial port COM1 lost: ") + device), 1) << log.toStdString();
    // Not Qt's stale "Resource temporarily unavailable", which reads as a passing hiccup.
    EXPECT_TRUE(log.contains(device + QStringLiteral(": the device was removed or closed"))) << log.toStdString();

    // Plugged in again: read within two seconds, without anyone touching a switch.
    testsupport::Pty replugged;
    ASSERT_TRUE(replugged.linkAs(folder.folder(), 1));
    QElapsedTimer sinceReplug;
    sinceReplug.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return station.standardError().contains("Serial port COM1 back: "); }, 5000));
    EXPECT_LT(sinceReplug.elapsed(), 2000);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        replugged.write("%270\r");
        const QString end = lineEnd(testsupport::fetch(port, "GET / HTTP/1.0\r\n\r\n"));
        return end != atStation && !end.isEmpty();
    }, 3000));
    log = QString::fromLocal8Bit(station.standardError());
    EXPECT_EQ(log.count(QStringLiteral("Serial port COM1")), 3) << log.toStdString(); // open, lost, back
    station.signal(SIGTERM);
    EXPECT_EQ(station.waitForExit(), 0);
}
