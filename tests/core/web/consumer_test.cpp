// The station's map document as a real HTTP client fetches it and an independent KML reader reads it.
#include "core/geo/kml.h"
#include "served.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using webtest::Served;

namespace {

// Runs a tool while the server keeps serving (both live on this thread's event loop).
QByteArray run(const QString& program, const QStringList& arguments, int* exitCode)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    QByteArray output;
    (void)QTest::qWaitFor([&] {
        output += process.readAll();
        return process.state() == QProcess::NotRunning;
    }, 20000);
    output += process.readAll();
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return output;
}

} // namespace

TEST_F(Served, AMapReaderFetchesAndReadsTheStationAndItsBearingLine)
{
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    const QString ogrinfo = QStandardPaths::findExecutable(QStringLiteral("ogrinfo"));
    if (curl.isEmpty() || ogrinfo.isEmpty())
        GTEST_SKIP() << "curl or ogrinfo (gdal-bin) not installed";

    document = geo::fillKml(geo::buildKmlTemplate(), QStringLiteral("-119.74167"), QStringLiteral("+34.41850"),
                            QStringLiteral("-119.48590"), QStringLiteral("+34.62765"));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("station.kml"));
    int exitCode = 0;
    const QByteArray curlOutput =
        run(curl, {QStringLiteral("-sS"), QStringLiteral("--max-time"), QStringLiteral("10"), QStringLiteral("-o"), file,
                   QStringLiteral("http://127.0.0.1:%1/station.kml").arg(port)},
            &exitCode);
    ASSERT_EQ(exitCode, 0) << curlOutput.toStdString();
    QFile served(file);
    ASSERT_TRUE(served.open(QIODevice::ReadOnly));
    EXPECT_EQ(served.readAll(), document.toLatin1());

    const QByteArray read = run(ogrinfo, {QStringLiteral("-ro"), QStringLiteral("-al"), file}, &exitCode);
    ASSERT_EQ(exitCode, 0) << read.toStdString();
    EXPECT_TRUE(read.contains("POINT Z (-119.74167 34.4185 0)")) << read.toStdString();
    EXPECT_TRUE(read.contains("LINESTRING Z (-119.74167 34.4185 0,-119.4859 34.62765 0)")) << read.toStdString();
}
