// The real program, as an operator meets it: started headless with no settings file, fed by a DF unit
// on COM1, read over HTTP, stopped with SIGTERM, and started again.
#include "core/station/settingsfile.h"
#include "support/mapdocument.h"
#include "support/pty.h"
#include "support/settingsfolder.h"
#include "support/stationprocess.h"

#include <QFileInfo>
#include <QTcpServer>
#include <QTest>
#include <gtest/gtest.h>

using testsupport::fetchMap;
using testsupport::StationProcess;

namespace {
const QString kExecutable = QStringLiteral(TARNVALE_EXECUTABLE);
constexpr quint16 kDefaultPort = 10000;
} // namespace

TEST(Program, StartsFromNothingServesBearingsAndKeepsItsSettingsAcrossRuns)
{
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::Any, kDefaultPort))
            GTEST_SKIP() << "port 10000 is taken on this machine";
    }
    testsupport::SettingsFolder folder;
    QFile::remove(folder.settingsFile());
    testsupport::Pty dfUnit;
    ASSERT_TRUE(dfUnit.linkAs(folder.folder(), 1));
    const QString configHome = QFileInfo(folder.folder()).path();

    {
        StationProcess station(kExecutable, configHome);
        ASSERT_TRUE(testsupport::waitUntilServing(kDefaultPort));
        EXPECT_EQ(folder.readLines(), station::defaultSettingsLines());

        testsupport::MapDocument map = fetchMap(kDefaultPort);
        ASSERT_TRUE(map.ok) << map.error.toStdString();
        EXPECT_EQ(map.point, QStringLiteral("-119.74167,+34.41852,0"));
        EXPECT_EQ(map.line, QStringLiteral("-119.74167,+34.41852,0 -119.74167,+34.41852,0"));

        // A DF unit reports due east: the line's far end moves east of the station.
        ASSERT_TRUE(QTest::qWaitFor([&] {
            dfUnit.write("%090\r");
            map = fetchMap(kDefaultPort);
            return map.ok && !map.line.endsWith(QStringLiteral(" -119.74167,+34.41852,0"));
        }, 5000));
        EXPECT_TRUE(map.line.startsWith(QStringLiteral("-119.74167,+34.41852,0 -119.3")));

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
        StationProcess station(kExecutable, configHome);
        ASSERT_TRUE(testsupport::waitUntilServing(kDefaultPort));
        EXPECT_EQ(fetchMap(kDefaultPort).point, QStringLiteral("-119.74167,+34.41852,0"));
        EXPECT_EQ(station.terminate(), 0);
    }
    EXPECT_EQ(folder.readLines(), lines);
}

TEST(Program, ASignalAnswersAWaitingMessageBoxAndStillSavesTheSettings)
{
    testsupport::SettingsFolder folder;
    // Port digits 9, 9, 9, 9, 9: the start-up waits in the network port message, unseen offscreen.
    QStringList lines = station::defaultSettingsLines();
    for (int line = 1; line <= 5; ++line)
        lines[line] = QStringLiteral("9");
    folder.writeLines(lines);
    StationProcess station(kExecutable, QFileInfo(folder.folder()).path());
    QTest::qWait(1500);
    ASSERT_TRUE(station.isRunning());

    QFile::remove(folder.settingsFile());
    EXPECT_EQ(station.terminate(), 0);
    const QStringList written = folder.readLines();
    ASSERT_EQ(written.size(), 26);
    EXPECT_EQ(written.mid(1, 5), QStringList(5, QStringLiteral("9")));
}
