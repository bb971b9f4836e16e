// The real station's bearing log, fed by the real DF unit simulator: one line per drawn bearing, in
// order and as the map served it; whole lines only, whether the station is killed in mid-log, its
// disk fills up or a file size limit cuts a write short; and a log rotated away started again.
#include "livestation.h"

#include "support/loopback.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

using e2e::expectedMap;
using e2e::LiveStation;

namespace {

const QByteArray kHeader =
    "utc_time,source,bearing,calibration,station_latitude,station_longitude,end_latitude,end_longitude\n";

// The log as a replaying program reads it, with every rule a line must keep.
struct Log
{
    QByteArray raw;
    QList<QStringList> rows; // the fields of each line after the header
    QString problem;         // the first broken rule, or empty

    int count(const char* source) const
    {
        return static_cast<int>(std::count_if(rows.begin(), rows.end(),
                                              [source](const QStringList& r) { return r[1] == QLatin1String(source); }));
    }
};

Log readLog(const QString& path)
{
    static const QRegularExpression row(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z,(DF,-?\\d+,-?\\d+|TEST,\\d+,),"
        "[+-]\\d\\d\\.\\d{5},[+-]\\d{3}\\.\\d{5},[+-]\\d\\d\\.\\d{5},[+-]\\d{3}\\.\\d{5}$"));
    Log log;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        log.problem = QStringLiteral("no file");
        return log;
    }
    log.raw = file.readAll();
    if (log.raw.isEmpty())
        return log;
    if (!log.raw.endsWith('\n'))
        log.problem = QStringLiteral("ends in an unfinished line: ") + QString::fromLatin1(log.raw.right(60));
    else if (!log.raw.startsWith(kHeader))
        log.problem = QStringLiteral("no header first");
    const QList<QByteArray> lines = log.raw.split('\n');
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QString line = QString::fromLatin1(lines[i]);
        if (!row.match(line).hasMatch() && log.problem.isEmpty())
            log.problem = QStringLiteral("line %1 broken: %2").arg(i + 1).arg(line);
        log.rows << line.split(u',');
    }
    return log;
}

class BearingLogStation : public LiveStation
{
protected:
    void SetUp() override
    {
        LiveStation::SetUp();
        logPath = logDir.filePath(QStringLiteral("bearings.csv"));
    }

    void startLogging(const QStringList& extra = {}, const QString& executable = QStringLiteral(TARNVALE_EXECUTABLE))
    {
        station = std::make_unique<testsupport::StationProcess>(
            executable, QFileInfo(folder.folder()).path(),
            QStringList{QStringLiteral("--bearing-log"), logPath} + extra);
        ASSERT_TRUE(testsupport::waitUntilServing(settings.websitePort)) << "no map on port " << settings.websitePort;
    }

    bool logHasRows(int rows, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return readLog(logPath).rows.size() >= rows; }, timeoutMs);
    }

    int stderrLines(const char* text) { return static_cast<int>(station->standardError().count(text)); }

    QTemporaryDir logDir;
    QString logPath;
};

TEST_F(BearingLogStation, OneLinePerDrawnBearingInOrderAsTheMapServedIt)
{
    settings.calibration = QStringLiteral("010");
    writeSettings();
    ASSERT_NO_FATAL_FAILURE(startSimulator({"--file", "-", "--period", "0", "--wait-open"}));
    ASSERT_NO_FATAL_FAILURE(startLogging({QStringLiteral("--headless")}));
    const options::PositionTexts position = settings.position();

    const std::pair<const char*, qint16> steps[] = {{"35", 45}, {"110", 120}, {"355", 5}, {"349", 359}, {"0", 10},
                                                     {"200", 210}};
    QStringList served; // the line each step's map showed
    for (const auto& [unit, drawn] : steps) {
        simulator->feed(QByteArray(unit) + '\n');
        ASSERT_TRUE(mapShows(expectedMap(position, drawn))) << unit << ": " << lastMap.line.toStdString();
        served << lastMap.line;
    }
    EXPECT_EQ(station->terminate(), 0);

    const Log log = readLog(logPath);
    ASSERT_TRUE(log.problem.isEmpty()) << log.problem.toStdString();
    ASSERT_EQ(log.rows.size(), std::size(steps)) << log.raw.toStdString();
    for (qsizetype i = 0; i < log.rows.size(); ++i) {
        const QStringList& r = log.rows[i];
        EXPECT_EQ(r[1], QStringLiteral("DF"));
        EXPECT_EQ(r[2].toInt(), steps[i].second) << i;
        EXPECT_EQ(r[3], QStringLiteral("10"));
        EXPECT_EQ((QStringList{r[4], r[5]}), (QStringList{position.latitude, position.longitude}));
        // The served LineString runs from the station to exactly the logged end point.
        EXPECT_EQ(served[i], testsupport::kmlTuple(r[4], r[5]) + u' ' + testsupport::kmlTuple(r[6], r[7])) << i;
        if (i > 0) {
            EXPECT_GE(r[0], log.rows[i - 1][0]) << "times out of order";
        }
    }
}

TEST_F(BearingLogStation, TheWindowedStationLogsToo)
{
    writeSettings();
    ASSERT_NO_FATAL_FAILURE(startSimulator({"--bearing", "77", "--period", "50", "--wait-open"}));
    ASSERT_NO_FATAL_FAILURE(startLogging());
    ASSERT_TRUE(logHasRows(3));
    EXPECT_EQ(station->terminate(), 0);
    const Log log = readLog(logPath);
    EXPECT_TRUE(log.problem.isEmpty()) << log.problem.toStdString();
    EXPECT_EQ(log.rows.first()[2], QStringLiteral("77"));
    EXPECT_EQ(log.count("DF"), log.rows.size());
}

TEST_F(BearingLogStation, ALogRotatedAwayIsStartedAgainAtItsPathWithinASecond)
{
    writeSettings();
    ASSERT_NO_FATAL_FAILURE(startSimulator({"--sweep", "0:1", "--period", "100", "--wait-open"}));
    ASSERT_NO_FATAL_FAILURE(startLogging({QStringLiteral("--headless")}));
    ASSERT_TRUE(logHasRows(2));

    // logrotate's "create": renamed, and the next lines belong in a new file at the path.
    const QString rotated = logPath + QStringLiteral(".1");
    ASSERT_TRUE(QFile::rename(logPath, rotated));
    QElapsedTimer since;
    since.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(logPath); }, 2000));
    EXPECT_LE(since.elapsed(), 1000);
    ASSERT_TRUE(logHasRows(2));
    const Log old = readLog(rotated);
    EXPECT_TRUE(old.problem.isEmpty()) << old.problem.toStdString();
    EXPECT_GE(old.rows.size(), 2);
    EXPECT_TRUE(readLog(logPath).problem.isEmpty());
    EXPECT_EQ(stderrLines("was moved or removed"), 1);

    // logrotate's "copytruncate": the same file emptied, and the next line comes under a header.
    ASSERT_TRUE(QFile::resize(logPath, 0));
    ASSERT_TRUE(logHasRows(1));
    const Log truncated = readLog(logPath);
    EXPECT_TRUE(truncated.problem.isEmpty()) << truncated.problem.toStdString();
    EXPECT_EQ(truncated.raw.count("utc_time"), 1);
    EXPECT_TRUE(station->isRunning());
}

TEST_F(BearingLogStation, KilledAtRandomMomentsWhileLoggingFastItLeavesOnlyWholeLines)
{
    writeSettings();
    // DF sentences back to back (about a hundred a second) while test mode comes and goes.
    ASSERT_NO_FATAL_FAILURE(startSimulator({"--sweep", "0:7", "--period", "0", "--wait-open"}));
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    qsizetype rowsBefore = 0;
    for (int run = 0; run < 10; ++run) {
        ASSERT_NO_FATAL_FAILURE(startLogging({QStringLiteral("--toggle-test"), QStringLiteral("400")},
                                             QStringLiteral(TARNVALE_TOGGLING_STATION)));
        QTest::qWait(static_cast<int>(random.bounded(200, 1200)));
        station->signal(SIGKILL);
        station->waitForExit();
        const Log log = readLog(logPath);
        ASSERT_TRUE(log.problem.isEmpty()) << "seed " << seed << ", run " << run << ": " << log.problem.toStdString();
        EXPECT_GT(log.rows.size(), rowsBefore) << "run " << run;
        rowsBefore = log.rows.size();
    }
    const Log log = readLog(logPath);
    EXPECT_EQ(log.raw.count("utc_time"), 1);
    EXPECT_GT(log.count("DF"), 50);
    EXPECT_GT(log.count("TEST"), 0); // test mode was on in some runs long enough for a tick
}

// A full disk, then room again: one line on standard error, the map served all along, whole lines
// only, and logging back once there is room.
class FullDisk : public BearingLogStation
{
protected:
    // Fills the file system of the log, keeping `filler` open to give the room back later.
    void fill()
    {
        QFile fill(filler);
        ASSERT_TRUE(fill.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'f');
        while (fill.write(block) == block.size() && fill.flush()) {
        }
        const QByteArray tail(1, 'f');
        while (fill.write(tail) == 1 && fill.flush()) {
        }
    }

    void expectFailureToldOnceWithTheMapServed(const options::PositionTexts& position)
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return stderrLines("cannot be written") > 0; }, 5000));
        QTest::qWait(1500); // dozens of bearings fail meanwhile
        EXPECT_EQ(stderrLines("cannot be written"), 1) << station->standardError().toStdString();
        EXPECT_TRUE(station->isRunning());
        const testsupport::MapDocument map = testsupport::fetchMap(settings.websitePort);
        EXPECT_TRUE(map.ok) << map.error.toStdString();
        EXPECT_EQ(map.point, testsupport::kmlTuple(position.latitude, position.longitude));
        const Log log = readLog(logPath);
        EXPECT_TRUE(log.problem.isEmpty()) << log.problem.toStdString();
    }

    void expectLoggingBack()
    {
        const qsizetype rows = readLog(logPath).rows.size();
        ASSERT_TRUE(QTest::qWaitFor([this] { return stderrLines("written again") == 1; }, 3000))
            << station->standardError().toStdString();
        ASSERT_TRUE(logHasRows(static_cast<int>(rows) + 5));
        const Log log = readLog(logPath);
        EXPECT_TRUE(log.problem.isEmpty()) << log.problem.toStdString();
        EXPECT_EQ(stderrLines("cannot be written"), 1);
    }

    void TearDown() override
    {
        station.reset();
        if (!mounted.isEmpty())
            ::umount2(mounted.constData(), MNT_DETACH);
    }

    QString filler;
    QByteArray mounted; // the tmpfs to take away again
};

TEST_F(FullDisk, OnASmallTmpfs)
{
    // A mount namespace of this test's own, so the small file system goes when the test ends.
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "cannot make a mount namespace here (" << std::strerror(errno)
                     << "); the file size limit case covers short writes";
    const QByteArray mountPoint = QFile::encodeName(logDir.path());
    if (::mount("tarnvale-test", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << ")";
    mounted = mountPoint;
    filler = logDir.filePath(QStringLiteral("filler"));

    writeSettings();
    ASSERT_NO_FATAL_FAILURE(startSimulator({"--sweep", "0:3", "--period", "20", "--wait-open"}));
    ASSERT_NO_FATAL_FAILURE(startLogging({QStringLiteral("--headless")}));
    ASSERT_TRUE(logHasRows(5));
    ASSERT_NO_FATAL_FAILURE(fill());
    ASSERT_NO_FATAL_FAILURE(expectFailureToldOnceWithTheMapServed(settings.position()));
    ASSERT_TRUE(QFile::remove(filler));
    ASSERT_NO_FATAL_FAILURE(expectLoggingBack());
    EXPECT_EQ(station->terminate(), 0);
}

TEST_F(FullDisk, AtAFileSizeLimitWithoutBeingKilledBySigxfsz)
{
    writeSettings();
    ASSERT_NO_FATAL_FAILURE(startSimulator({"--sweep", "0:3", "--period", "20", "--wait-open"}));
    ASSERT_NO_FATAL_FAILURE(startLogging({QStringLiteral("--headless")}));
    ASSERT_TRUE(logHasRows(5));

    // Room for about one more line and a half, so a write is cut short.
    const pid_t pid = static_cast<pid_t>(station->pid());
    rlimit old{};
    ASSERT_EQ(::prlimit(pid, RLIMIT_FSIZE, nullptr, &old), 0);
    rlimit lowered = old;
    lowered.rlim_cur = static_cast<rlim_t>(QFileInfo(logPath).size() + 120);
    ASSERT_EQ(::prlimit(pid, RLIMIT_FSIZE, &lowered, nullptr), 0) << std::strerror(errno);
    ASSERT_NO_FATAL_FAILURE(expectFailureToldOnceWithTheMapServed(settings.position()));
    EXPECT_LE(QFileInfo(logPath).size(), static_cast<qint64>(lowered.rlim_cur));

    ASSERT_EQ(::prlimit(pid, RLIMIT_FSIZE, &old, nullptr), 0);
    ASSERT_NO_FATAL_FAILURE(expectLoggingBack());
    EXPECT_EQ(station->terminate(), 0);
}

} // namespace
