// The station as it starts from its settings file and writes it back, in-process.
#include "settingsstation.h"

#include "core/station/settingsfile.h"
#include "support/eventlines.h"
#include "support/loopback.h"
#include "support/messagerecorder.h"
#include "support/pty.h"
#include "support/settingsfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using testsupport::SettingsFolder;
using testsupport::settingsLinesFor;

namespace {

// The station of the settings tests, read through its model.
struct StationFixture : SettingsStation
{
    const station::StationModel& model() const { return std::as_const(*station).model(); }
    // The website port's digits as the options window shows them.
    QString websiteDigits() const
    {
        QString digits;
        for (int field = options::kWebsitePortFields.first; options::kWebsitePortFields.contains(field); ++field)
            digits += QString::number(model().digit(field));
        return digits;
    }
    // A digit field's digit as the options window shows it.
    QString digitOf(const char* name) const { return QString::number(station->model().digit(options::digitFieldIndex(name))); }
};

} // namespace

TEST_F(StationFixture, WithoutASettingsFileStartsFromTheDefaultsAndWritesThem)
{
    if (!QTcpServer().listen(QHostAddress::Any, 10000))
        GTEST_SKIP() << "port 10000 is taken on this machine";
    ASSERT_TRUE(start());
    EXPECT_EQ(folder.readLines(), station::defaultSettingsLines());
    EXPECT_EQ(boxes.count(), 0);
    auto& s = station->state();
    EXPECT_TRUE(model().hasStarted());
    EXPECT_EQ(s.WEBSITE_PORT, 10000);
    EXPECT_EQ(websiteDigits(), QStringLiteral("10000"));
    EXPECT_EQ(s.DF_CAL, 0);
    EXPECT_EQ(s.START_LATITUDE, QStringLiteral("+34.41852"));
    EXPECT_EQ(s.START_LONGITUDE, QStringLiteral("-119.74167"));
    EXPECT_EQ(s.END_LATITUDE, s.START_LATITUDE);
    EXPECT_EQ(s.END_LONGITUDE, s.START_LONGITUDE);
    EXPECT_EQ(station->serialPort().commPort(), 1);
    EXPECT_TRUE(station->serialPort().portOpen());
    EXPECT_EQ(station->httpServer().state(0), 2);
    EXPECT_TRUE(station->timerDf().isEnabled());
    EXPECT_EQ(model().dfStatus(), station::DfStatus::Silent);
    EXPECT_EQ(model().commPort(), 1);
    EXPECT_TRUE(model().longitudeWest());
    // Written back with lines 2 to 26 in text form.
    QStringList written = station::defaultSettingsLines();
    for (int line = 1; line < 9; ++line)
        written[line] = written[line].trimmed();
    EXPECT_EQ(shutDown(), written);
}

TEST_F(StationFixture, DamagedFilesAreReplacedByTheDefaults)
{
    const quint16 port = testsupport::freePort();
    for (int damage = 0; damage < 2; ++damage) {
        QStringList lines = settingsLinesFor(port);
        lines[8] = QStringLiteral("7"); // a calibration digit that must not survive
        if (damage == 0)
            lines.removeLast();         // 25 lines
        else
            lines[0] = QStringLiteral(" 0 "); // a port the serial line refuses
        folder.writeLines(lines);
        StationCore fresh(messages);
        (void)fresh.Form_Load();
        EXPECT_EQ(folder.readLines(), station::defaultSettingsLines()) << "damage " << damage;
        EXPECT_EQ(fresh.state().DF_CAL, 0);
        fresh.shutDown();
    }
}

TEST_F(StationFixture, OutOfRangeDigitsFallBackAndAreWrittenBackReplaced)
{
    QStringList lines = settingsLinesFor(testsupport::freePort());
    lines[11] = QStringLiteral("7");  // latitude minutes tens: falls back to 5
    lines[10] = QStringLiteral("07"); // latitude degrees units: read as 7
    lines[9] = QStringLiteral("9");   // latitude degrees tens: falls back to 3
    folder.writeLines(lines);
    ASSERT_TRUE(start());
    EXPECT_EQ(digitOf("Label_LAT_MINX10"), QStringLiteral("5"));
    EXPECT_EQ(digitOf("Label_LAT_DEGX1"), QStringLiteral("7"));
    EXPECT_EQ(digitOf("Label_LAT_DEGX10"), QStringLiteral("3"));
    const QStringList written = shutDown();
    EXPECT_EQ(written[11], QStringLiteral("5"));
    EXPECT_EQ(written[10], QStringLiteral("7"));
    EXPECT_EQ(written[9], QStringLiteral("3"));
}

TEST_F(StationFixture, EachDigitReplacedAndALongitudeOffTheEarthIsOneLineOnStandardError)
{
    testsupport::EventLines events;
    QStringList lines = settingsLinesFor(testsupport::freePort());
    lines[9] = QStringLiteral("9"); // latitude degrees tens: 3 is used
    const char* longitude[] = {"1", "9", "4", "12", "5", "0", "0", "0"}; // 194 degrees; minutes tens: 1 is used
    for (int i = 0; i < 8; ++i)
        lines[16 + i] = QString::fromLatin1(longitude[i]);
    folder.writeLines(lines);
    ASSERT_TRUE(start());

    EXPECT_EQ(events.matching(QStringLiteral("Settings file line")).join(u'\n').toStdString(),
              "Settings file line 10 (Label_LAT_DEGX10) holds 9, not a digit from 0 to 8: 3 is used instead\n"
              "Settings file line 20 (Label_LONG_MINX10) holds 12, not a digit from 0 to 5: 1 is used instead\n"
              "Settings file lines 17 to 24 give the longitude 194 degrees 15.000 minutes W, beyond 180 degrees and so "
              "off the Earth: the map is given -194.25000");
    // The check and the map stay as they are.
    EXPECT_EQ(digitOf("Label_LAT_DEGX10"), QStringLiteral("3"));
    EXPECT_EQ(station->state().START_LONGITUDE, QStringLiteral("-194.25000"));
    EXPECT_TRUE(station->currentDocument().contains(QStringLiteral("-194.25000")));

    // The last meridian itself is on the Earth, and a file the check takes whole says nothing.
    lines = settingsLinesFor(testsupport::freePort());
    const char* meridian[] = {"1", "8", "0", "0", "0", "0", "0", "0"};
    for (int i = 0; i < 8; ++i)
        lines[16 + i] = QString::fromLatin1(meridian[i]);
    folder.writeLines(lines);
    events.clear();
    StationCore fresh(messages);
    ASSERT_TRUE(fresh.Form_Load());
    EXPECT_TRUE(events.matching(QStringLiteral("Settings file line")).isEmpty()) << events.lines().join(u'\n').toStdString();
    fresh.shutDown();
}

TEST_F(StationFixture, HemisphereLinesAndTheirRecovery)
{
    QStringList lines = settingsLinesFor(testsupport::freePort());
    lines[24] = QStringLiteral("s"); // only the exact capitals turn the hemisphere
    lines[25] = QStringLiteral("w");
    folder.writeLines(lines);
    ASSERT_TRUE(start());
    EXPECT_FALSE(model().latitudeSouth());
    EXPECT_FALSE(model().longitudeWest());
    EXPECT_TRUE(station->state().START_LATITUDE.startsWith(u'+'));
    shutDown();

    // "S" and the file ending after line 25: south from the first pass, west from the default file.
    lines[24] = QStringLiteral("S");
    lines.removeLast();
    folder.writeLines(lines);
    station = std::make_unique<StationCore>(messages);
    (void)start();
    EXPECT_TRUE(model().latitudeSouth());
    EXPECT_TRUE(model().longitudeWest());
    EXPECT_EQ(station->state().START_LATITUDE, QStringLiteral("-34.41852"));
    const QStringList written = shutDown();
    EXPECT_EQ(written[24], QStringLiteral("S"));
    EXPECT_EQ(written[25], QStringLiteral("W"));
}

TEST_F(StationFixture, CalibrationDigitsAreTakenAsStoredEvenAbove359)
{
    QStringList lines = settingsLinesFor(testsupport::freePort());
    lines[6] = QStringLiteral("3");
    lines[7] = QStringLiteral("9");
    lines[8] = QStringLiteral("9");
    folder.writeLines(lines);
    ASSERT_TRUE(start());
    EXPECT_EQ(station->state().DF_CAL, 399);
}

TEST_F(StationFixture, AnUnusableWebsitePortShowsTheNetworkMessageAndLeavesTheSerialPortClosed)
{
    QStringList lines = settingsLinesFor(0);
    for (int i = 1; i <= 5; ++i)
        lines[i] = QStringLiteral("9");
    folder.writeLines(lines);
    ASSERT_TRUE(start());
    EXPECT_EQ(station->state().WEBSITE_PORT, 99999);
    EXPECT_EQ(websiteDigits(), QStringLiteral("99999"));
    ASSERT_EQ(boxes.count(), 1);
    EXPECT_EQ(boxes.messages()[0].title, QStringLiteral("Invalid NETWORK port selected"));
    EXPECT_EQ(boxes.messages()[0].text, QStringLiteral("WARNING ! Chosen NETWORK port is not available\r\r"
                                                       "Select a different NETWORK port on OPTIONS screen"));
    EXPECT_FALSE(station->serialPort().portOpen());
    EXPECT_NE(station->httpServer().state(0), 2);
}

TEST_F(StationFixture, WebsitePortDigitsKeepLeadingZeros)
{
    // A port with a leading zero that is free: 0xxxx.
    quint16 port = 0;
    for (quint16 candidate = 9000; candidate < 9990; candidate += 37) {
        QTcpServer probe;
        if (probe.listen(QHostAddress::Any, candidate)) {
            port = candidate;
            break;
        }
    }
    ASSERT_NE(port, 0);
    folder.writeLines(settingsLinesFor(port));
    ASSERT_TRUE(start());
    EXPECT_EQ(websiteDigits(), QStringLiteral("0%1").arg(port));
    EXPECT_EQ(station->state().WEBSITE_PORT, port);
    EXPECT_EQ(station->httpServer().state(0), 2);
}

TEST_F(StationFixture, StoredSerialPortsComeBackThroughTheComPortButton)
{
    const quint16 port = testsupport::freePort();
    const std::pair<int, int> cases[] = {{1, 1}, {9, 1}, {12, 11}, {3, 3}};
    for (const auto& [stored, expected] : cases) {
        folder.writeLines(settingsLinesFor(port, stored));
        StationCore fresh(messages);
        (void)fresh.Form_Load();
        EXPECT_EQ(fresh.serialPort().commPort(), expected) << "stored " << stored;
        fresh.shutDown();
        EXPECT_EQ(folder.readLines()[0], QStringLiteral(" %1 ").arg(expected));
    }
}

TEST_F(StationFixture, AMissingSerialPortEndsTheStartUpWithDfInputOff)
{
    folder.writeLines(settingsLinesFor(testsupport::freePort(), 2)); // nothing linked as COM2
    ASSERT_TRUE(start());
    ASSERT_EQ(boxes.count(), 1);
    EXPECT_EQ(boxes.messages()[0].title, QStringLiteral("Invalid COM port selected"));
    EXPECT_FALSE(station->model().dfInput());
    EXPECT_EQ(model().dfStatus(), station::DfStatus::Silent);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return model().dfStatus() == station::DfStatus::InputOff; }, 3000));
}

TEST_F(StationFixture, ABearingFromTheDfUnitReachesTheMap)
{
    folder.writeLines(settingsLinesFor(testsupport::freePort()));
    ASSERT_TRUE(start());
    ASSERT_TRUE(dfUnit.write("%090\r"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return station->state().DF_VALID; }));
    EXPECT_NE(station->state().END_LONGITUDE, station->state().START_LONGITUDE);
    EXPECT_TRUE(station->currentDocument().contains(station->state().END_LONGITUDE));
}

TEST(StationWithoutSettings, AFolderThatCannotBeCreatedStopsTheStartUpWithItsMessage)
{
    SettingsFolder folder;
    // The settings folder's place is taken by a file: it can be neither read nor created.
    QDir(folder.folder()).removeRecursively();
    QFile blocker(folder.folder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    platform::Messages messages;
    testsupport::MessageRecorder boxes(messages);
    StationCore station(messages);
    EXPECT_FALSE(station.Form_Load());
    EXPECT_EQ(station.exitStatus(), 1);
    ASSERT_EQ(boxes.count(), 1);
    EXPECT_EQ(boxes.messages()[0].title, QStringLiteral("Settings file not available"));
    EXPECT_TRUE(boxes.messages()[0].text.startsWith(
        QStringLiteral("WARNING ! Settings file %1 can be neither read nor created\r\rCheck that the folder %2 exists")
            .arg(folder.settingsFile(), folder.folder())));
    station.shutDown();
    // Nothing was touched: the blocker is still a plain empty file.
    EXPECT_TRUE(QFileInfo(folder.folder()).isFile());
}
