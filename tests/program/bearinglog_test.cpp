// The bearing log: its lines, a path holding what is not the log's own refused untouched, and a log
// that cannot be opened tried again until it can, told once each way. (Full disks, size limits and rotation: the real station's tests in tests/e2e.)
#include "program/bearinglog.h"
#include "support/eventlines.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <sys/stat.h>

using station::BearingLog;
using station::DrawnBearing;

namespace {

const QByteArray kHeader =
    "utc_time,source,bearing,calibration,station_latitude,station_longitude,end_latitude,end_longitude\n";

const QDateTime kDrawnAt(QDate(2026, 5, 4), QTime(9, 15, 2, 417), Qt::UTC);

DrawnBearing dfBearing(qint16 degrees, qint16 calibration = 10, const QDateTime& drawnAt = kDrawnAt)
{
    return {DrawnBearing::Source::Df, degrees, calibration, QStringLiteral("+34.41852"), QStringLiteral("-119.74167"),
            QStringLiteral("+34.67428"), QStringLiteral("-119.43014"), drawnAt};
}

// One drawn at 09:00:`second` UTC.
DrawnBearing drawnAtSecond(int second)
{
    return dfBearing(45, 10, QDateTime(QDate(2026, 5, 4), QTime(9, 0, second), Qt::UTC));
}

TEST(BearingLogLine, TimeInUtcWithMillisecondsThenSourceBearingCalibrationAndBothEnds)
{
    EXPECT_EQ(BearingLog::line(dfBearing(45)),
              "2026-05-04T09:15:02.417Z,DF,45,10,+34.41852,-119.74167,+34.67428,-119.43014\n");
    // The same moment given in another zone is written in UTC all the same.
    const QDateTime elsewhere = kDrawnAt.toTimeZone(QTimeZone(3600 * 5 + 1800));
    EXPECT_EQ(BearingLog::line(dfBearing(45, 10, elsewhere)), BearingLog::line(dfBearing(45)));

    // Test bearings carry no calibration; a DF bearing past one turn is written as drawn.
    DrawnBearing test = dfBearing(102, 0);
    test.source = DrawnBearing::Source::Test;
    EXPECT_EQ(BearingLog::line(test), "2026-05-04T09:15:02.417Z,TEST,102,,+34.41852,-119.74167,+34.67428,-119.43014\n");
    EXPECT_TRUE(BearingLog::line(dfBearing(-5, 0)).contains(",DF,-5,0,"));
    EXPECT_TRUE(BearingLog::line(dfBearing(639, 0)).contains(",DF,639,0,"));
    EXPECT_EQ(BearingLog::header(), kHeader);
    EXPECT_EQ(BearingLog::line(dfBearing(45)).count(','), kHeader.count(','));
}

class BearingLogFile : public ::testing::Test
{
protected:
    QByteArray content() const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QByteArray lineAt(int second) const
    {
        return BearingLog::line(drawnAtSecond(second));
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("bearings.csv"));
    testsupport::EventLines events;
};

TEST_F(BearingLogFile, LinesGoUnderOneHeaderAndTheStartIsTold)
{
    {
        BearingLog log(path);
        EXPECT_EQ(content(), kHeader); // there from the start, for whoever watches the file
        log.write(drawnAtSecond(1));
        log.write(drawnAtSecond(2));
    }
    BearingLog again(path);
    again.write(drawnAtSecond(3));
    EXPECT_EQ(content(), kHeader + lineAt(1) + lineAt(2) + lineAt(3));
    EXPECT_EQ(events.matching(QStringLiteral("Logging bearings to ") + path).size(), 2) << events.lines().join(u'\n').toStdString();
}

TEST_F(BearingLogFile, ALogThatCannotBeOpenedIsTriedAgainUntilItCanBe)
{
    const QString folder = dir.filePath(QStringLiteral("later"));
    path = folder + QStringLiteral("/bearings.csv");
    BearingLog log(path);
    log.write(dfBearing(45));
    log.write(dfBearing(45));
    ASSERT_EQ(events.lines().size(), 1) << events.lines().join(u'\n').toStdString();
    EXPECT_TRUE(events.lines()[0].contains(QStringLiteral("cannot be written")));

    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QTest::qWaitFor([this] { return content() == kHeader; }, 1000));
    log.write(drawnAtSecond(5));
    EXPECT_EQ(content(), kHeader + lineAt(5));
    EXPECT_EQ(events.matching(QStringLiteral("written again (2 bearing(s)")).size(), 1) << events.lines().join(u'\n').toStdString();
}

TEST_F(BearingLogFile, WhatIsNotTheLogsOwnIsRefusedAtTheStartAndLeftByteForByte)
{
    const QByteArray foreign[] = {"my notes", "keep this\nlose this", "utc_time,source\n1,2\n"};
    for (const QByteArray& text : foreign) {
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(text);
        }
        events.clear();
        BearingLog log(path);
        EXPECT_TRUE(log.refused()) << text.toStdString();
        log.write(dfBearing(45));
        EXPECT_EQ(content(), text);
        ASSERT_EQ(events.lines().size(), 2) << events.lines().join(u'\n').toStdString(); // refused, then cannot write
        EXPECT_EQ(events.lines()[0], QStringLiteral("Bearing log %1 refused, it is not one (it does not begin with the log's "
                                                    "header line): the file is left as it is").arg(path));
    }
    ASSERT_TRUE(QFile::remove(path));

    // A FIFO nobody reads, and a folder: refused without being opened, and still what they were.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    {
        BearingLog log(path);
        EXPECT_TRUE(log.refused());
    }
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkdir(path));
    events.clear();
    BearingLog folder(path);
    EXPECT_TRUE(folder.refused());
    EXPECT_EQ(events.matching(QStringLiteral("is a directory, not a regular file")).size(), 1)
        << events.lines().join(u'\n').toStdString();
    EXPECT_TRUE(QDir(path).isEmpty());

    // The log's own file, even with an unfinished last line, is taken as before.
    ASSERT_TRUE(QDir().rmdir(path));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kHeader + lineAt(1) + "2026-05-04T09:0");
    }
    BearingLog own(path);
    EXPECT_FALSE(own.refused());
    own.write(drawnAtSecond(3));
    EXPECT_EQ(content(), kHeader + lineAt(1) + lineAt(3));
}

} // namespace
