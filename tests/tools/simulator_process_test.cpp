// The simulator as operators run it: a process writing to a pseudo-terminal.
#include "noisegenerator.h"
#include "support/pty.h"
#include "support/simulatorprocess.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using testsupport::Pty;
using testsupport::SimulatorProcess;

namespace {

const QString kSimulator = QStringLiteral(TARNVALE_DF_SIMULATOR);

struct Arrival
{
    QByteArray bytes;
    qint64 firstMs = -1; // when the first and the last byte were seen
    qint64 lastMs = -1;
};

// Collects bytes until `expected` have come or the time is up.
template <typename Read>
Arrival collect(Read read, qsizetype expected, int timeoutMs = 5000)
{
    Arrival arrival;
    QElapsedTimer clock;
    clock.start();
    while (arrival.bytes.size() < expected && clock.elapsed() < timeoutMs) {
        const QByteArray piece = read();
        if (!piece.isEmpty()) {
            if (arrival.firstMs < 0)
                arrival.firstMs = clock.elapsed();
            arrival.lastMs = clock.elapsed();
            arrival.bytes += piece;
        } else {
            QThread::usleep(500);
        }
    }
    return arrival;
}

QByteArray readFd(int fd)
{
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    return n > 0 ? QByteArray(buffer, n) : QByteArray();
}

} // namespace

TEST(SimulatorProcess, SendsExactlyTheAskedBytesAtTheLinePace)
{
    Pty pty;
    ASSERT_TRUE(pty.isOpen());
    QProcess process;
    process.start(kSimulator, {"--device", pty.slavePath(), "--sweep", "350:5", "--count", "4", "--period",
                               "0", "--trailer", "/7", "--lf", "--noise", "3", "--seed", "9"});
    dfsim::NoiseGenerator noise(9);
    QByteArray expected = "%350/7\r\n";
    for (const char* sentence : {"%355/7\r\n", "%000/7\r\n", "%005/7\r\n"})
        expected += QByteArray::fromStdString(noise.bytes(3)) + sentence;
    ASSERT_EQ(expected.size(), 41);

    Arrival arrival = collect([&pty] { return pty.readAvailable(); }, expected.size());
    ASSERT_TRUE(process.waitForFinished(5000));
    arrival.bytes += pty.readAvailable(); // nothing more
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_EQ(arrival.bytes, expected);
    // 480 bytes a second: 40 byte times (83 ms) between the first byte and the last. The slack is for
    // a first byte seen late on a busy machine; bytes sent unpaced or twice as fast stay far below it.
    EXPECT_GE(arrival.lastMs - arrival.firstMs, 40 * 2.083 * 0.85);
}

TEST(SimulatorProcess, ReadsBearingsFromStandardInputAndSkipsBadLines)
{
    Pty pty;
    QProcess process;
    process.start(kSimulator, {"--device", pty.slavePath(), "--file", "-", "--period", "0"});
    ASSERT_TRUE(process.waitForStarted(3000));
    process.write("10\nnorth\n\n20\n");
    process.waitForBytesWritten(3000); // nothing else runs the event loop that would write it
    process.closeWriteChannel();
    const Arrival arrival = collect([&pty] { return pty.readAvailable(); }, 10);
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(arrival.bytes, "%010\r%020\r");
    EXPECT_TRUE(process.readAllStandardError().contains("line 2: \"north\""));
}

TEST(SimulatorProcess, AimsAtATargetAndSaysWhere)
{
    Pty pty;
    QProcess process;
    // A target 10 km due east across the 180 degree meridian.
    process.start(kSimulator, {"--device", pty.slavePath(), "--station", "10,179.95", "--target", "10,-179.958659",
                               "--count", "3", "--period", "0"});
    const Arrival arrival = collect([&pty] { return pty.readAvailable(); }, 15);
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(arrival.bytes, "%090\r%090\r%090\r");
    EXPECT_EQ(process.readAllStandardOutput(), "Aiming at the target: bearing 090, whose line passes 0 m from it\n");
}

TEST(SimulatorProcess, LinksAPseudoTerminalAsComNAndRemovesTheLinkAtTheEnd)
{
    QTemporaryDir folder;
    SimulatorProcess simulator(kSimulator, folder.path(), 4, {"--bearing", "7", "--count", "3", "--period", "20", "--wait-open"});
    ASSERT_TRUE(simulator.linked()) << simulator.errors().toStdString();
    const QString link = simulator.link();
    ASSERT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo(link).symLinkTarget().startsWith("/dev/pts/"));

    // Opened through the link, as a station opens its COM port: CR arrives as CR.
    const int fd = ::open(QFile::encodeName(link).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    const Arrival arrival = collect([fd] { return readFd(fd); }, 15);
    EXPECT_EQ(simulator.finish(), 0);
    ::close(fd);
    EXPECT_EQ(arrival.bytes, "%007\r%007\r%007\r");
    EXPECT_FALSE(QFileInfo::exists(link) || QFileInfo(link).isSymLink());
}

TEST(SimulatorProcess, StopsCleanlyOnSigtermAndRespectsAnExistingComEntry)
{
    QTemporaryDir folder;
    {
        SimulatorProcess endless(kSimulator, folder.path(), 5, {"--sweep", "0:1"});
        ASSERT_TRUE(endless.linked());
        EXPECT_EQ(endless.stop(), 0);
        EXPECT_FALSE(QFileInfo(endless.link()).isSymLink());
    }

    // An operator's own COM2 (here a plain file) is never replaced.
    QFile own(folder.filePath("COM2"));
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    own.close();
    QProcess refused;
    refused.start(kSimulator, {"--port", "2", "--link-folder", folder.path(), "--bearing", "1"});
    ASSERT_TRUE(refused.waitForFinished(3000));
    EXPECT_EQ(refused.exitCode(), 1);
    EXPECT_TRUE(refused.readAllStandardError().contains("already exists"));
    EXPECT_TRUE(QFileInfo(own.fileName()).isFile());

    // A link an earlier, killed run left to a terminal that is gone is taken over.
    ASSERT_TRUE(QFile::link("/dev/pts/999999", folder.filePath("COM6")));
    SimulatorProcess again(kSimulator, folder.path(), 6, {"--bearing", "1"});
    EXPECT_TRUE(again.linked());
    EXPECT_EQ(again.stop(), 0);
}

TEST(SimulatorProcess, ExplainsItselfAndRefusesABadCommandLine)
{
    // Exit status 0 for --help, 2 for a command line it refuses, 1 for a device it cannot open.
    const std::pair<QStringList, int> runs[] = {
        {{"--help"}, 0},
        {{"--device", "/nonexistent/tty", "--bearing", "1"}, 1},
    };
    for (const auto& [arguments, status] : runs) {
        QProcess process;
        process.start(kSimulator, arguments);
        ASSERT_TRUE(process.waitForFinished(3000));
        EXPECT_EQ(process.exitCode(), status) << arguments.join(u' ').toStdString();
        EXPECT_FALSE((status == 0 ? process.readAllStandardOutput() : process.readAllStandardError()).isEmpty());
    }
    // A usage error: the option and what is wrong on one line, then the hint, and nothing else.
    const std::pair<QStringList, QByteArray> usageErrors[] = {
        {{"--port", "1", "--bearing", "360"}, "--bearing: wants a whole number from 0 to 359, not \"360\""},
        {{"--bogus"}, "--bogus: unknown option"},
        {{"--port", "1"}, "--bearing, --sweep, --file or --target: missing; say what to report: --bearing N, --sweep "
                          "START:STEP, --file F or --station LAT,LON --target LAT,LON"},
        {{"--port", "1", "--sweep", "0:5", "--station", "1,1", "--target", "1,2"}, "--target: does not go with --sweep "
                                                                                 "(give one of --bearing, --sweep, --file and --target)"},
    };
    for (const auto& [arguments, line] : usageErrors) {
        QProcess process;
        process.start(kSimulator, arguments);
        ASSERT_TRUE(process.waitForFinished(3000));
        EXPECT_EQ(process.exitCode(), 2) << arguments.join(u' ').toStdString();
        EXPECT_EQ(process.readAllStandardError(), "tarnvale-df-simulator: " + line + "\nTry 'tarnvale-df-simulator --help'.\n");
        EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
    }
}
