// The real program as a headless service: no display, no GUI library, its account on standard error,
// and the statuses a supervisor acts on.
#include "support/loopback.h"
#include "support/pty.h"
#include "support/settingsfolder.h"
#include "support/stationprocess.h"

#include <QDir>
#include <QFile>
#include <QDateTime>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <memory>
#include <utility>

using testsupport::StationProcess;

namespace {

const QString kExecutable = QStringLiteral(TARNVALE_EXECUTABLE);
const QStringList kHeadless{QStringLiteral("--headless")};

// A station at 51 degrees 30.000 minutes north, 0 degrees 7.200 minutes west, calibration 0.
QStringList settingsAt(quint16 port, int commPort = 1)
{
    QStringList lines = testsupport::settingsLinesFor(port, commPort);
    const QString latitude = QStringLiteral("5130000");
    const QString longitude = QStringLiteral("00007200");
    for (int i = 0; i < 7; ++i)
        lines[9 + i] = latitude.mid(i, 1);
    for (int i = 0; i < 8; ++i)
        lines[16 + i] = longitude.mid(i, 1);
    return lines;
}

// The whole response for that station with a bearing of 45 degrees drawn, as a map viewer receives it.
const QByteArray kResponseAt45 =
    "HTTP/1.0 200 OK\r\nServer: Tarnvale DF Demo WebServer V 1.0\r\nContent-Type: */*\r\nContent-Length:  1099\r\n\r\n"
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><kml xmlns=\"http://www.opengis.net/kml/2.2\" "
    "xmlns:gx=\"http://www.google.com/kml/ext/2.2\" xmlns:kml=\"http://www.opengis.net/kml/2.2\" "
    "xmlns:atom=\"http://www.w3.org/2005/Atom\"><Document><Placemark><name>Click Me</name>"
    "<description><![CDATA[<center><b><h2>Quennick</h2></b><a href=\"https://quennick.example/\">Quennick</a><br><br>"
    "<hr size=1>RDF / radio hunting tools, modules and software<hr size = 1>"
    "This <b>GoogleEarth</b> display of an internet-operated DF base station "
    "was created with <b>Tarnvale DF</b> display software. ( Demo version : 1 mile range )</center><br><br>]]>"
    "</description><Style><LineStyle><color>ff0000ff</color><width>3</width></LineStyle><IconStyle><Icon>"
    "<href>http://maps.google.com/mapfiles/kml/shapes/target.png</href></Icon></IconStyle>"
    "<LabelStyle><color>ff00ffff</color></LabelStyle></Style><MultiGeometry><Point>"
    "<coordinates>-000.12000,+51.50000,0</coordinates></Point><LineString><tessellate>1</tessellate>"
    "<coordinates>-000.12000,+51.50000,0 +000.29086,+51.75575,0</coordinates></LineString></MultiGeometry>"
    "</Placemark></Document></kml>";

class Headless : public ::testing::Test
{
protected:
    void SetUp() override
    {
        port = testsupport::freePort();
        ASSERT_TRUE(dfUnit.linkAs(folder.folder(), 1));
    }
    QString configHome() const { return QFileInfo(folder.folder()).path(); }
    QByteArray settingsBytes() const
    {
        QFile file(folder.settingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    testsupport::SettingsFolder folder;
    testsupport::Pty dfUnit;
    quint16 port = 0;
};

} // namespace

TEST_F(Headless, ServesTheMapByteForByteAndSaysWhatItDoes)
{
    folder.writeLines(settingsAt(port));
    StationProcess station(kExecutable, configHome(), kHeadless);
    ASSERT_TRUE(testsupport::waitUntilServing(port));
    EXPECT_FALSE(station.hasLoaded(QStringLiteral("libQt6Gui")));
    EXPECT_FALSE(station.hasLoaded(QStringLiteral("libQt6Widgets")));

    QByteArray response;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        dfUnit.write("%045\r");
        response = testsupport::fetch(port, "GET / HTTP/1.0\r\n\r\n");
        return response.contains("+000.29086");
    }, 5000));
    EXPECT_EQ(response, kResponseAt45);

    const QString settingsFile = QDir::toNativeSeparators(folder.settingsFile());
    EXPECT_EQ(station.terminate(), 0);
    const QString log = QString::fromLocal8Bit(station.standardError());
    EXPECT_TRUE(log.contains(QStringLiteral("Settings file %1\n").arg(settingsFile))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Serving the map on port %1\n").arg(port))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Serial port COM1 open: %1/COM1 -> %2\n").arg(folder.folder(), dfUnit.slavePath())))
        << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("DF status: DF = DETECTED")), 1) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Shutting down on SIGTERM\n")));
    EXPECT_TRUE(log.contains(QStringLiteral("Settings written to %1\n").arg(settingsFile)));
    // A supervisor reading the log finds the station's last word last.
    EXPECT_TRUE(log.endsWith(QStringLiteral("Serial port COM1 closed\nStation closed\n"))) << log.toStdString();
}

TEST_F(Headless, AMissingComPortIsOneLineNamingTheDeviceAndTheMapIsStillServed)
{
    // COM2 leads nowhere (a /dev/ttyS device may exist on the test machine).
    ASSERT_TRUE(QFile::link(folder.folder() + QStringLiteral("/nowhere"), folder.folder() + QStringLiteral("/COM2")));
    folder.writeLines(settingsAt(port, 2));
    StationProcess station(kExecutable, configHome(), kHeadless);
    ASSERT_TRUE(testsupport::waitUntilServing(port));
    QTest::qWait(1500); // a try or two to open it again say nothing more
    const QString log = QString::fromLocal8Bit(station.standardError());
    EXPECT_EQ(log.count(QStringLiteral("Serial port COM2 not available: %1/COM2 -> %1/nowhere: ").arg(folder.folder())), 1)
        << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("Serial port")), 1) << log.toStdString();
    // The windows' message as it is, then what to do where there is no options window.
    EXPECT_EQ(log.count(QStringLiteral(
                  "Invalid COM port selected: WARNING ! Chosen COM port is not available / Select a different COM port on "
                  "OPTIONS screen\nWithout an options window: link COM2 in %1 to the DF unit's device "
                  "(ln -s /dev/serial/by-id/<device> %1/COM2), or put another COM port number on line 1 of %1/Tarnvale_Demo.ini\n")
                  .arg(folder.folder())),
              1)
        << log.toStdString();
    EXPECT_EQ(station.terminate(), 0);
}

TEST_F(Headless, TheOpenFileLimitIsALineOnlyWhenItHoldsTheStationToAFewThousandConnections)
{
    folder.writeLines(settingsAt(port));
    const auto startWithHardLimit = [this](rlim_t hard) {
        return std::make_unique<StationProcess>(kExecutable, configHome(), kHeadless, [hard] {
            const rlimit limit{hard, hard};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        });
    };
    rlimit own{};
    ::getrlimit(RLIMIT_NOFILE, &own);
    if (own.rlim_max >= 4096) { // a hard limit cannot be raised here
        auto ample = startWithHardLimit(4096);
        ASSERT_TRUE(testsupport::waitUntilServing(port));
        EXPECT_EQ(ample->terminate(), 0);
        EXPECT_FALSE(ample->standardError().contains("Open-file limit")) << ample->standardError().constData();
    }

    auto tight = startWithHardLimit(1024);
    ASSERT_TRUE(testsupport::waitUntilServing(port));
    EXPECT_EQ(tight->terminate(), 0);
    EXPECT_TRUE(tight->standardError().contains("Open-file limit: the hard limit of 1024 open files lets the station serve "
                                                "about 960 connections at once; raise it for more"))
        << tight->standardError().constData();
}

TEST_F(Headless, AWebsitePortHeldByAnotherProgramEndsTheRunWithStatus3AndLeavesTheSettings)
{
    QTcpServer otherProgram;
    ASSERT_TRUE(otherProgram.listen(QHostAddress::Any, port));
    folder.writeLines(settingsAt(port));
    const QByteArray before = settingsBytes();
    const QDateTime modified = QFileInfo(folder.settingsFile()).lastModified();
    QTest::qWait(20); // a rewrite would show in the modification time

    StationProcess station(kExecutable, configHome(), kHeadless);
    EXPECT_EQ(station.waitForExit(), 3);
    const QString log = QString::fromLocal8Bit(station.standardError());
    EXPECT_TRUE(log.contains(QStringLiteral("Website port %1 cannot be used").arg(port))) << log.toStdString();
    EXPECT_EQ(settingsBytes(), before);
    EXPECT_EQ(QFileInfo(folder.settingsFile()).lastModified(), modified);
}

TEST_F(Headless, ASettingsFileEditedWhileItRunsIsNotOverwritten)
{
    folder.writeLines(settingsAt(port));
    StationProcess station(kExecutable, configHome(), kHeadless);
    ASSERT_TRUE(testsupport::waitUntilServing(port));
    QStringList edited = settingsAt(port);
    edited[7] = QStringLiteral("4"); // calibration 40, for the next run
    folder.writeLines(edited);
    EXPECT_EQ(station.terminate(), 0);
    EXPECT_EQ(folder.readLines(), edited);
    EXPECT_TRUE(station.standardError().contains("changed since the start: left as it is"));
}

TEST(CommandLine, HelpVersionAndUsageErrorsAsOneLineAndTheHint)
{
    const auto run = [](const QStringList& arguments, QByteArray* out, QByteArray* err) {
        QProcess process;
        process.start(kExecutable, arguments);
        process.waitForFinished(10000);
        *out = process.readAllStandardOutput();
        *err = process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };
    QByteArray out;
    QByteArray err;
    EXPECT_EQ(run({QStringLiteral("--help")}, &out, &err), 0);
    EXPECT_TRUE(out.startsWith("Usage: tarnvale-webserver [options]"));
    EXPECT_TRUE(out.contains("--settings-dir DIR"));
    EXPECT_TRUE(err.isEmpty());
    EXPECT_EQ(run({QStringLiteral("--version")}, &out, &err), 0);
    EXPECT_EQ(out, "tarnvale-webserver 1.0\n");

    // Whatever the mistake, where it stands and whatever else is given: the option and what is wrong
    // on one line, the hint on the next, status 2, and nothing before them.
    const std::pair<QStringList, QByteArray> usageErrors[] = {
        {{"--bogus"}, "--bogus: unknown option"},
        {{"--headless", "-bogus", "--help"}, "-bogus: unknown option"},
        {{"--headless", "--settings-dir"}, "--settings-dir: needs a value"},
        {{"--headless", "--settings-dir="}, "--settings-dir: needs a folder"},
        {{"--headless=yes"}, "--headless: takes no value"},
        {{"--headless", "stray"}, "stray: not an option (the station takes options only)"},
        {{"--headless", "--web-map", "--bogus"}, "--web-map: needs a port from 1 to 65535, not '--bogus'"},
        {{"--headless", "--bearing-log", ""}, "--bearing-log: needs a file"},
    };
    for (const auto& [arguments, line] : usageErrors) {
        EXPECT_EQ(run(arguments, &out, &err), 2) << arguments.join(u' ').toStdString();
        EXPECT_EQ(err, "tarnvale-webserver: " + line + "\nTry 'tarnvale-webserver --help'.\n");
        EXPECT_TRUE(out.isEmpty());
    }
}

TEST(CommandLine, WithoutADisplayTheWindowedStationPointsToHeadlessAndTouchesNothing)
{
    QTemporaryDir config;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(kExecutable, {});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 1); // a supervisor must not take it for a clean stop
    EXPECT_TRUE(process.readAllStandardError().contains("run it with --headless"));
    EXPECT_TRUE(QDir(config.path()).isEmpty());
}

TEST(CommandLine, SettingsDirIsCreatedAndUsedAndNothingIsWrittenElsewhere)
{
    testsupport::SettingsFolder home;
    QDir(home.folder()).removeRecursively();
    QTemporaryDir chosen;
    const QString folder = chosen.path() + QStringLiteral("/new/station");
    {
        StationProcess station(kExecutable, QFileInfo(home.folder()).path(),
                               {QStringLiteral("--headless"), QStringLiteral("--settings-dir"), folder});
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(folder + QStringLiteral("/Tarnvale_Demo.ini")); }, 10000));
        station.terminate();
    }
    EXPECT_FALSE(QFileInfo::exists(home.folder()));

    // A folder that cannot be made: the settings message, with the path, and status 1.
    StationProcess refused(kExecutable, QFileInfo(home.folder()).path(),
                           {QStringLiteral("--headless"), QStringLiteral("--settings-dir"), QStringLiteral("/proc/tarnvale")});
    EXPECT_EQ(refused.waitForExit(), 1);
    EXPECT_TRUE(refused.standardError().contains(
        "Settings file not available: WARNING ! Settings file /proc/tarnvale/Tarnvale_Demo.ini can be neither read nor created"
        " / Check that the folder /proc/tarnvale exists and can be written"))
        << refused.standardError().constData();
}

TEST_F(Headless, StartedWithoutItsDfUnitReadsAsSoonAsOneIsLinked)
{
    // COM1 leads nowhere yet; the adapter appears a little after power-up and the link is re-pointed.
    QFile::remove(folder.folder() + QStringLiteral("/COM1"));
    ASSERT_TRUE(QFile::link(folder.folder() + QStringLiteral("/nowhere"), folder.folder() + QStringLiteral("/COM1")));
    folder.writeLines(settingsAt(port));
    StationProcess station(kExecutable, configHome(), kHeadless);
    ASSERT_TRUE(testsupport::waitUntilServing(port));
    testsupport::Pty late;
    ASSERT_TRUE(late.linkAs(folder.folder(), 1));
    QByteArray response;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        late.write("%045\r");
        response = testsupport::fetch(port, "GET / HTTP/1.0\r\n\r\n");
        return response.contains("+000.29086");
    }, 5000)) << station.standardError().constData();
    EXPECT_EQ(response, kResponseAt45);
    const QString log = QString::fromLocal8Bit(station.standardError());
    EXPECT_EQ(log.count(QStringLiteral("Serial port COM1 not available: ")), 1) << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("Serial port COM1 open: ")), 1) << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("DF INPUT = OFF"))) << log.toStdString();
    EXPECT_EQ(station.terminate(), 0);
}
