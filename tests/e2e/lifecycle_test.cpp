// Stopping the station as a service manager does and starting it again: SIGTERM writes the settings
// and ends with status 0, and the next start serves the same port, position and calibration.
#include "livestation.h"

#include <QFile>

using e2e::expectedMap;
using e2e::LiveStation;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST_F(LiveStation, SigtermWritesTheSettingsAndASecondStartKeepsThem)
{
    settings.commPort = 2;
    settings.calibration = QStringLiteral("010");
    settings.latitude = QStringLiteral("1234567"); // 12 degrees 34.567 minutes south
    settings.latitudeHemisphere = QStringLiteral("S");
    settings.longitude = QStringLiteral("05607890"); // 56 degrees 07.890 minutes east
    settings.longitudeHemisphere = QStringLiteral("E");
    writeSettings();
    const options::PositionTexts position = settings.position();
    ASSERT_EQ(position.latitude, QStringLiteral("-12.57612"));
    ASSERT_EQ(position.longitude, QStringLiteral("+056.13150"));
    const QStringList arguments{"--bearing", "80", "--period", "100", "--wait-open"};

    ASSERT_NO_FATAL_FAILURE(startSimulator(arguments));
    ASSERT_NO_FATAL_FAILURE(startStation());
    EXPECT_TRUE(mapShows(expectedMap(position, 90))) << lastMap.line.toStdString() << lastMap.error.toStdString();

    QFile::remove(folder.settingsFile()); // whatever is there afterwards, the shutdown wrote
    EXPECT_EQ(station->terminate(), 0);
    const QByteArray written = fileBytes(folder.settingsFile());
    EXPECT_EQ(written, settings.shutdownLines().join(QStringLiteral("\r\n")).toLatin1() + "\r\n");
    EXPECT_EQ(written.count("\r\n"), 26);

    // The second run reads the first one's file: same COM port, website port, position and calibration.
    ASSERT_NO_FATAL_FAILURE(startSimulator(arguments));
    ASSERT_NO_FATAL_FAILURE(startStation());
    EXPECT_TRUE(mapShows(expectedMap(position, 90))) << lastMap.line.toStdString() << lastMap.error.toStdString();
    EXPECT_EQ(station->terminate(), 0);
    EXPECT_EQ(fileBytes(folder.settingsFile()), written);
}
