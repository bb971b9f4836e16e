// The live map as the operator asks for it on the command line: refused before anything starts when the
// port is wrong or taken, served by the headless and the windowed station alike, and nothing of it
// loaded or bound without --web-map.
#include "support/loopback.h"
#include "support/settingsfolder.h"
#include "support/stationprocess.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTest>
#include <gtest/gtest.h>

using testsupport::StationProcess;

namespace {

const QString kExecutable = QStringLiteral(TARNVALE_EXECUTABLE);

class WebMapRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        websitePort = testsupport::freePort();
        mapPort = testsupport::freePort();
        while (mapPort == websitePort)
            mapPort = testsupport::freePort();
        folder.writeLines(testsupport::settingsLinesFor(websitePort));
        settingsBefore = settingsBytes();
    }
    QString configHome() const { return QFileInfo(folder.folder()).path(); }
    QByteArray settingsBytes() const
    {
        QFile file(folder.settingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList mapArguments(bool headless = true) const
    {
        QStringList arguments{QStringLiteral("--web-map"), QString::number(mapPort)};
        if (headless)
            arguments.prepend(QStringLiteral("--headless"));
        return arguments;
    }
    QByteArray status() const
    {
        return testsupport::fetch(mapPort, "GET /status.json HTTP/1.1\r\nHost: station\r\nConnection: close\r\n\r\n", 3000);
    }

    testsupport::SettingsFolder folder;
    quint16 websitePort = 0;
    quint16 mapPort = 0;
    QByteArray settingsBefore;
};

QByteArray usageError(const QByteArray& line)
{
    return "tarnvale-webserver: " + line + "\nTry 'tarnvale-webserver --help'.\n";
}

// Runs the program to its end; its exit status (-1 when it did not end) and standard error.
int run(const QStringList& arguments, QByteArray* err)
{
    QProcess process;
    process.start(kExecutable, arguments);
    process.waitForFinished(10000);
    *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

TEST(WebMapCommandLine, PortsOutsideTheRangeAndTileAddressesWithoutPlaceholdersAreUsageErrors)
{
    QByteArray err;
    for (const char* port : {"0", "65536", "99999", "-1", "80a", ""}) {
        EXPECT_EQ(run({QStringLiteral("--headless"), QStringLiteral("--web-map"), QLatin1String(port)}, &err), 2) << port;
        EXPECT_EQ(err, usageError("--web-map: needs a port from 1 to 65535, not '" + QByteArray(port) + "'"));
    }
    EXPECT_EQ(run({QStringLiteral("--headless"), QStringLiteral("--web-map")}, &err), 2);
    EXPECT_EQ(run({QStringLiteral("--headless"), QStringLiteral("--tiles"), QStringLiteral("https://t.example/{z}/{x}/{y}.png")}, &err), 2);
    EXPECT_EQ(err, usageError("--tiles: goes with --web-map"));
    for (const char* tiles : {"https://t.example/tiles.png", "ftp://t.example/{z}/{x}/{y}.png", "/{z}/{x}/{y}.png"}) {
        EXPECT_EQ(run({QStringLiteral("--headless"), QStringLiteral("--web-map"), QStringLiteral("8099"), QStringLiteral("--tiles"),
                       QLatin1String(tiles)},
                      &err),
                  2)
            << tiles;
        EXPECT_EQ(err, usageError("--tiles: needs an http or https address with {z}, {x} and {y}, not '" + QByteArray(tiles) + "'"));
    }
    EXPECT_EQ(run({QStringLiteral("--help")}, &err), 0);
}

TEST_F(WebMapRun, TheWebsitePortFromTheSettingsFileIsAUsageErrorAndNothingStarts)
{
    mapPort = websitePort;
    StationProcess station(kExecutable, configHome(), mapArguments());
    EXPECT_EQ(station.waitForExit(), 2);
    // A usage error like any other: nothing said before it (no start-up line, no open-file line).
    EXPECT_EQ(station.standardError(),
              usageError(QStringLiteral("--web-map: %1 is the website port (set in %2): choose another port for the live map")
                             .arg(websitePort)
                             .arg(folder.settingsFile())
                             .toLocal8Bit()));
    EXPECT_EQ(settingsBytes(), settingsBefore);

    // A missing settings file means the default one, with the website port 10000.
    QFile::remove(folder.settingsFile());
    StationProcess defaults(kExecutable, configHome(), {QStringLiteral("--headless"), QStringLiteral("--web-map"), QStringLiteral("10000")});
    EXPECT_EQ(defaults.waitForExit(), 2);
    EXPECT_FALSE(QFile::exists(folder.settingsFile()));
}

TEST_F(WebMapRun, AMapPortHeldByAnotherProgramEndsTheRunWithStatus3BeforeAnythingElse)
{
    QTcpServer otherProgram;
    ASSERT_TRUE(otherProgram.listen(QHostAddress::Any, mapPort));
    for (const bool headless : {true, false}) {
        StationProcess station(kExecutable, configHome(), mapArguments(headless));
        EXPECT_EQ(station.waitForExit(), 3) << headless;
        const QByteArray log = station.standardError();
        EXPECT_TRUE(log.contains(QStringLiteral("Live map port %1 cannot be used: ").arg(mapPort).toLocal8Bit())) << log.constData();
        EXPECT_FALSE(log.contains("Serving the map")) << log.constData();
        EXPECT_EQ(settingsBytes(), settingsBefore);
    }
}

TEST_F(WebMapRun, HeadlessAndWindowedStationsServeIt)
{
    for (const bool headless : {true, false}) {
        StationProcess station(kExecutable, configHome(), mapArguments(headless));
        ASSERT_TRUE(testsupport::waitUntilServing(websitePort)) << station.standardError().constData();
        QByteArray answer;
        ASSERT_TRUE(QTest::qWaitFor([&] { return (answer = status()).startsWith("HTTP/1.1 200 OK"); }, 5000));
        EXPECT_TRUE(answer.contains(QStringLiteral(R"("port":%1})").arg(websitePort).toLatin1())) << answer.constData();
        EXPECT_TRUE(answer.contains(R"("coordinates":[-119.74167,34.41852])")) << answer.constData();
        EXPECT_EQ(station.terminate(), 0);
        const QByteArray log = station.standardError();
        EXPECT_EQ(log.count(QStringLiteral("Serving the live map on port %1").arg(mapPort).toLocal8Bit()), 1) << log.constData();
        EXPECT_FALSE(station.hasLoaded(QStringLiteral("libQt6Gui")) && headless);
    }
}

TEST_F(WebMapRun, WithoutItNothingListensOnTheMapPortAndTheServiceKeepsItsMemoryFigure)
{
    StationProcess station(kExecutable, configHome(), {QStringLiteral("--headless")});
    ASSERT_TRUE(testsupport::waitUntilServing(websitePort));
    EXPECT_TRUE(status().isEmpty());
    EXPECT_FALSE(station.standardError().contains("live map"));
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "resident memory is the sanitizers' here";
#else
    const qint64 resident = station.residentKiB();
    EXPECT_GT(resident, 0);
    EXPECT_LE(resident, 14 * 1024) << "resident KiB";
#endif
}
