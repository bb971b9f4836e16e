// tools/plot-bearings: a PNG from a bearing log, with the DF unit's silences found and the times read
// right across days, months and leap days; what is no bearing log is refused.
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

const QByteArray kHeader =
    "utc_time,source,bearing,calibration,station_latitude,station_longitude,end_latitude,end_longitude\n";

QByteArray row(const QDateTime& utc, const char* source, int bearing)
{
    const QByteArray calibration = QByteArray(source) == "DF" ? "10" : "";
    return utc.toString(Qt::ISODateWithMs).toLatin1() + ',' + source + ',' + QByteArray::number(bearing) + ','
        + calibration + ",+34.41852,-119.74167,+34.67427,-119.43163\n";
}

class PlotBearings : public ::testing::Test
{
protected:
    struct Run
    {
        int status = -1;
        QString out;
        QString err;
    };

    Run plot(const QByteArray& log, const QStringList& options = {})
    {
        QFile file(logPath);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(log);
        file.close();
        QProcess process;
        process.start(QStringLiteral(TARNVALE_PLOT_BEARINGS), QStringList{logPath, pngPath} + options);
        Run r;
        if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit) {
            r.status = process.exitCode();
            r.out = QString::fromLocal8Bit(process.readAllStandardOutput());
            r.err = QString::fromLocal8Bit(process.readAllStandardError());
        }
        return r;
    }

    // Width and height from the PNG's IHDR chunk, or (0, 0) when the file is no PNG.
    std::pair<quint32, quint32> pngSize() const
    {
        QFile file(pngPath);
        if (!file.open(QIODevice::ReadOnly))
            return {0, 0};
        const QByteArray head = file.read(24);
        if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR")
            return {0, 0};
        return {qFromBigEndian<quint32>(head.constData() + 16), qFromBigEndian<quint32>(head.constData() + 20)};
    }

    QTemporaryDir dir;
    QString logPath = dir.filePath(QStringLiteral("bearings.csv"));
    QString pngPath = dir.filePath(QStringLiteral("bearings.png"));
};

TEST_F(PlotBearings, DfAndTestBearingsWithASilenceBetweenMakeAPng)
{
    QByteArray log = kHeader;
    QDateTime t(QDate(2026, 5, 4), QTime(9, 15, 0), Qt::UTC);
    for (int i = 0; i < 20; ++i, t = t.addMSecs(250))
        log += row(t, "DF", 40 + i);
    t = t.addSecs(5); // the DF unit falls silent
    for (int i = 0; i < 20; ++i, t = t.addMSecs(250))
        log += row(t, "DF", (350 + i) % 360 + (i == 3 ? 360 : 0)); // round north, once past a turn
    for (int i = 0; i < 10; ++i, t = t.addMSecs(200))
        log += row(t, "TEST", 6 * t.time().second());
    t = t.addSecs(3); // test mode ignored the DF unit meanwhile: no silence of it
    log += row(t, "DF", -5);
    const Run r = plot(log);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("41 DF and 10 test bearing(s)"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("1 silence(s)"))) << r.out.toStdString();
    EXPECT_EQ(pngSize(), (std::pair<quint32, quint32>(1000, 500)));
}

TEST_F(PlotBearings, TimesAreReadAcrossMidnightMonthsAndLeapDays)
{
    const std::tuple<QDateTime, QDateTime, const char*> spans[] = {
        {QDateTime(QDate(2026, 2, 28), QTime(23, 59, 50), Qt::UTC), QDateTime(QDate(2026, 3, 1), QTime(0, 0, 10), Qt::UTC), "20.000 s"},
        {QDateTime(QDate(2024, 2, 28), QTime(23, 59, 59), Qt::UTC), QDateTime(QDate(2024, 3, 1), QTime(0, 0, 1, 500), Qt::UTC), "86402.500 s"},
        {QDateTime(QDate(2025, 12, 31), QTime(23, 59, 59, 999), Qt::UTC), QDateTime(QDate(2026, 1, 1), QTime(0, 0, 0, 1), Qt::UTC), "0.002 s"},
    };
    for (const auto& [from, to, span] : spans) {
        const Run r = plot(kHeader + row(from, "DF", 10) + row(to, "DF", 20), {"--gap", "100000"});
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(QLatin1String(span))) << span << ": " << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("0 silence(s)"))) << r.out.toStdString();
    }
    // One bearing alone still makes a plot.
    const Run single = plot(kHeader + row(QDateTime(QDate(2026, 5, 4), QTime(9, 0), Qt::UTC), "TEST", 0));
    EXPECT_EQ(single.status, 0) << single.err.toStdString();
    EXPECT_EQ(pngSize().first, 1000u);
}

TEST_F(PlotBearings, WhatIsNoBearingLogIsRefusedWithAReason)
{
    const QDateTime t(QDate(2026, 5, 4), QTime(9, 0), Qt::UTC);
    EXPECT_EQ(plot(kHeader).status, 1);                                 // no bearing in it
    EXPECT_EQ(plot("time,bearing\n" + row(t, "DF", 1)).status, 1);      // not the log's header
    // A line that is no bearing line is left out, and said.
    const Run partly = plot(kHeader + row(t, "DF", 1) + "garbage,line\n" + row(t.addSecs(1), "DF", 2));
    EXPECT_EQ(partly.status, 0);
    EXPECT_TRUE(partly.err.contains(QStringLiteral("1 line(s)"))) << partly.err.toStdString();
    EXPECT_TRUE(partly.out.contains(QStringLiteral("2 DF"))) << partly.out.toStdString();

    QProcess process;
    process.start(QStringLiteral(TARNVALE_PLOT_BEARINGS), {logPath});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_EQ(plot(kHeader + row(t, "DF", 1), {"--gap", "0"}).status, 2);
    QFile::remove(logPath);
    process.start(QStringLiteral(TARNVALE_PLOT_BEARINGS), {logPath, pngPath});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 1);
}

} // namespace
