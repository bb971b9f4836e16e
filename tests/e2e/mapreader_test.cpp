// The live station's map read by an independent KML reader, GDAL's ogrinfo: it finds the station as a
// point and the bearing line from the station to the line's end.
#include "livestation.h"

#include "geo/coordtext.h"
#include "support/waitfor.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

using e2e::expectedMap;
using e2e::LiveStation;

namespace {

// The numbers of the first match of `pattern` in `text`.
QList<double> numbersOf(const QString& text, const QString& pattern)
{
    const QRegularExpressionMatch match = QRegularExpression(pattern).match(text);
    QList<double> numbers;
    for (int i = 1; i <= match.lastCapturedIndex(); ++i)
        numbers << match.captured(i).toDouble();
    return numbers;
}

// Longitude and latitude of each "<longitude>,<latitude>,0" tuple of a <coordinates> text.
QList<double> tupleNumbers(const QString& coordinates)
{
    QList<double> numbers;
    for (const QString& tuple : coordinates.split(u' ')) {
        numbers << geo::readCoordinate(tuple.section(u',', 0, 0)) << geo::readCoordinate(tuple.section(u',', 1, 1));
    }
    return numbers;
}

void expectNear(const QList<double>& actual, const QList<double>& expected, const QString& what)
{
    ASSERT_EQ(actual.size(), expected.size()) << what.toStdString();
    for (qsizetype i = 0; i < actual.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-9) << what.toStdString() << " #" << i;
}

} // namespace

TEST_F(LiveStation, GdalReadsTheStationPointAndTheBearingLineFromTheServedMap)
{
    const QString ogrinfo = QStandardPaths::findExecutable(QStringLiteral("ogrinfo"));
    if (ogrinfo.isEmpty())
        GTEST_SKIP() << "ogrinfo (gdal-bin) not installed";

    writeSettings();
    ASSERT_NO_FATAL_FAILURE(startSimulator({"--bearing", "135", "--period", "100", "--wait-open"}));
    ASSERT_NO_FATAL_FAILURE(startStation());
    const e2e::ExpectedMap expected = expectedMap(settings.position(), 135);
    ASSERT_TRUE(mapShows(expected)) << lastMap.line.toStdString() << lastMap.error.toStdString();

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("station.kml"));
    {
        QFile saved(file);
        ASSERT_TRUE(saved.open(QIODevice::WriteOnly));
        saved.write(lastMap.body);
    }
    QProcess reader;
    reader.setProcessChannelMode(QProcess::MergedChannels);
    reader.start(ogrinfo, {QStringLiteral("-ro"), QStringLiteral("-al"), file});
    ASSERT_TRUE(testsupport::waitFor([&] { return reader.state() == QProcess::NotRunning; }, 20000));
    const QString read = QString::fromLocal8Bit(reader.readAll());
    ASSERT_EQ(reader.exitCode(), 0) << read.toStdString();

    const QString number = QStringLiteral("(-?[0-9.]+)");
    expectNear(numbersOf(read, QStringLiteral("POINT Z \\(%1 %1 0\\)").arg(number)), tupleNumbers(expected.point),
               read);
    expectNear(numbersOf(read, QStringLiteral("LINESTRING Z \\(%1 %1 0,%1 %1 0\\)").arg(number)),
               tupleNumbers(expected.line), read);
}
