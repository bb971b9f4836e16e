// The real program, as an operator meets it: started headless with no settings file, fed by a DF unit
// on COM1, read over HTTP, stopped with SIGTERM, and started again.
#include "station/settingsfile.h"
#include "support/loopback.h"
#include "support/pty.h"
#include "support/settingsfolder.h"
#include "support/waitfor.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTcpServer>
#include <gtest/gtest.h>

#include <csignal>

namespace {

struct RunningStation
{
    QProcess process;

    explicit RunningStation(const QString& configHome)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("/tmp/tarnvale-test-runtime"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(TARNVALE_EXECUTABLE), {});
    }
    ~RunningStation()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(3000);
        }
    }
    // SIGTERM, then the exit status (-1 when it did not end in time).
    int terminate()
    {
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        if (!testsupport::waitFor([&] { return process.state() == QProcess::NotRunning; }, 10000))
            return -1;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
};

QStringList coordinates(const QByteArray& response)
{
    QStringList out;
    static const QRegularExpression tag(QStringLiteral("<coordinates>([^<]*)</coordinates>"));
    for (auto it = tag.globalMatch(QString::fromLatin1(response)); it.hasNext();)
        out << it.next().captured(1);
    return out;
}

QByteArray getMap()
{
    return testsupport::fetch(10000, "GET / HTTP/1.0\r\n\r\n", 3000);
}

} // namespace

TEST(Program, StartsFromNothingServesBearingsAndKeepsItsSettingsAcrossRuns)
{
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::Any, 10000))
            GTEST_SKIP() << "port 10000 is taken on this machine";
    }
    testsupport::SettingsFolder folder;
    QFile::remove(folder.settingsFile());
    testsupport::Pty dfUnit;
    ASSERT_TRUE(dfUnit.linkAs(folder.folder(), 1));
    const QString configHome = QFileInfo(folder.folder()).path();

    {
        RunningStation station(configHome);
        ASSERT_TRUE(testsupport::waitFor([] { return getMap().startsWith("HTTP/1.0 200 OK"); }, 10000));
        EXPECT_EQ(folder.readLines(), station::defaultSettingsLines());

        QStringList coords = coordinates(getMap());
        ASSERT_EQ(coords.size(), 2);
        EXPECT_EQ(coords[0], QStringLiteral("-119.74167,+34.41852,0"));
        EXPECT_EQ(coords[1], QStringLiteral("-119.74167,+34.41852,0 -119.74167,+34.41852,0"));

        // A DF unit reports due east: the line's far end moves east of the station.
        ASSERT_TRUE(testsupport::waitFor([&] {
            dfUnit.write("%090\r");
            coords = coordinates(getMap());
            return coords.size() == 2 && !coords[1].endsWith(QStringLiteral(" -119.74167,+34.41852,0"));
        }, 5000));
        EXPECT_TRUE(coords[1].startsWith(QStringLiteral("-119.74167,+34.41852,0 -119.3")));

        QFile::remove(folder.settingsFile()); // the shutdown must write it anew
        EXPECT_EQ(station.terminate(), 0);
        QStringList written = station::defaultSettingsLines();
        for (int line = 1; line < 9; ++line)
            written[line] = written[line].trimmed(); // lines 2 to 26 come back in text form
        EXPECT_EQ(folder.readLines(), written);
    }

    // A second start reads what the first wrote.
    QStringList lines = folder.readLines();
    {
        RunningStation station(configHome);
        ASSERT_TRUE(testsupport::waitFor([] { return getMap().startsWith("HTTP/1.0 200 OK"); }, 10000));
        EXPECT_EQ(coordinates(getMap()).value(0), QStringLiteral("-119.74167,+34.41852,0"));
        EXPECT_EQ(station.terminate(), 0);
    }
    EXPECT_EQ(folder.readLines(), lines);
}
