#include "core/options/digitfields.h"
#include "core/station/settingsfile.h"
#include "core/station/staletemporaries.h"
#include "support/eventlines.h"
#include "support/settingsfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using station::ReadOutcome;

namespace {

// Records what a settings file applies, and refuses port numbers the way the serial line does.
struct RecordingTarget : station::SettingsTarget
{
    int commPort = 1;
    QStringList tags = QStringList(23, QStringLiteral("8"));
    int latitudeToggles = 0;
    int longitudeToggles = 0;

    bool setCommPort(int portNumber) override
    {
        if (portNumber < 1 || portNumber > 255)
            return false;
        commPort = portNumber;
        return true;
    }
    void setDigitTag(int field, const QString& tag) override { tags[field] = tag; }
    void toggleLatitudeHemisphere() override { ++latitudeToggles; }
    void toggleLongitudeHemisphere() override { ++longitudeToggles; }
};

QStringList defaults() { return station::defaultSettingsLines(); }

} // namespace

TEST(SettingsFile, DefaultFileIsByteForByteTheStationsDefault)
{
    testsupport::SettingsFolder folder;
    ASSERT_TRUE(station::writeSettingsLines(folder.settingsFile(), defaults()));
    QFile file(folder.settingsFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(" 1 \r\n 1 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n"
                                         "3\r\n4\r\n2\r\n5\r\n1\r\n1\r\n1\r\n1\r\n1\r\n9\r\n4\r\n4\r\n5\r\n0\r\n0\r\n"
                                         "N\r\nW\r\n"));
}

TEST(SettingsFile, DefaultFileReadsAsCom1Port10000AndTheDefaultPosition)
{
    testsupport::SettingsFolder folder;
    ASSERT_TRUE(station::writeSettingsLines(folder.settingsFile(), defaults()));
    RecordingTarget target;
    ASSERT_EQ(station::readSettings(folder.settingsFile(), target), ReadOutcome::Applied);
    EXPECT_EQ(target.commPort, 1);
    EXPECT_EQ(target.tags.mid(0, 5).join(QString()), QStringLiteral("10000"));
    EXPECT_EQ(target.tags.mid(5, 3).join(QString()), QStringLiteral("000"));
    EXPECT_EQ(target.tags.mid(8, 7).join(QString()), QStringLiteral("3425111"));
    EXPECT_EQ(target.tags.mid(15, 8).join(QString()), QStringLiteral("11944500"));
    EXPECT_EQ(target.latitudeToggles, 0);
    EXPECT_EQ(target.longitudeToggles, 1);
}

TEST(SettingsFile, MissingAndDamagedFilesAreToldApart)
{
    testsupport::SettingsFolder folder;
    RecordingTarget target;
    EXPECT_EQ(station::readSettings(folder.settingsFile(), target), ReadOutcome::Missing);

    QStringList lines = defaults();
    lines.removeLast(); // 25 lines
    folder.writeLines(lines);
    EXPECT_EQ(station::readSettings(folder.settingsFile(), target), ReadOutcome::Damaged);

    lines = defaults();
    lines[0] = QStringLiteral(" 0 "); // a port number the serial line refuses
    folder.writeLines(lines);
    EXPECT_EQ(station::readSettings(folder.settingsFile(), target), ReadOutcome::Damaged);

    lines = defaults();
    lines[5] = QStringLiteral("40000"); // beyond 16 bits
    folder.writeLines(lines);
    EXPECT_EQ(station::readSettings(folder.settingsFile(), target), ReadOutcome::Damaged);

    folder.writeLines({});
    EXPECT_EQ(station::readSettings(folder.settingsFile(), target), ReadOutcome::Damaged);
}

TEST(SettingsFile, ReadsNumbersAsDecimalTagsWithoutBlanksOrLeadingZeros)
{
    testsupport::SettingsFolder folder;
    QStringList lines = defaults();
    lines[0] = QStringLiteral("12");    // port without blanks
    lines[10] = QStringLiteral("07");   // "7"
    lines[11] = QStringLiteral("-1");   // kept for the digit check to replace
    lines[12] = QStringLiteral("1.5");  // rounds to 2
    lines[13] = QStringLiteral("abc");  // no number: 0
    lines[14] = QStringLiteral("4,9");  // the first value of the line
    folder.writeLines(lines);
    RecordingTarget target;
    ASSERT_EQ(station::readSettings(folder.settingsFile(), target), ReadOutcome::Applied);
    EXPECT_EQ(target.commPort, 12);
    EXPECT_EQ(target.tags[9], QStringLiteral("7"));
    EXPECT_EQ(target.tags[10], QStringLiteral("-1"));
    EXPECT_EQ(target.tags[11], QStringLiteral("2"));
    EXPECT_EQ(target.tags[12], QStringLiteral("0"));
    EXPECT_EQ(target.tags[13], QStringLiteral("4"));
}

TEST(SettingsFile, ToleratesLinuxLineEndsAndIgnoresExtraLines)
{
    testsupport::SettingsFolder folder;
    QFile file(folder.settingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write((defaults().join(u'\n') + QStringLiteral("\nextra\n")).toLatin1());
    file.close();
    RecordingTarget target;
    EXPECT_EQ(station::readSettings(folder.settingsFile(), target), ReadOutcome::Applied);
    EXPECT_EQ(target.longitudeToggles, 1);
}

TEST(SettingsFile, AFailedWriteLeavesThePreviousFileWhole)
{
    testsupport::SettingsFolder folder;
    ASSERT_TRUE(station::writeSettingsLines(folder.settingsFile(), defaults()));
    QFile before(folder.settingsFile());
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray previous = before.readAll();
    before.close();

    // The disk "fills up" after 20 bytes: the write fails half way, as it would on a full card.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = old;
    tiny.rlim_cur = 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    QString reason;
    const bool wrote = station::writeSettingsLines(folder.settingsFile(), QStringList(26, QStringLiteral("12345")), &reason);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(wrote);
    EXPECT_FALSE(reason.isEmpty());
    QFile after(folder.settingsFile());
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), previous);
    // No half-written temporary file is left behind either.
    EXPECT_EQ(QDir(folder.folder()).entryList(QDir::Files), QStringList{QStringLiteral("Tarnvale_Demo.ini")});
}

TEST(SettingsFile, WriteIntoAPlaceThatIsAFolderFailsWithAReason)
{
    testsupport::SettingsFolder folder;
    const QString blocked = folder.folder() + QStringLiteral("/Tarnvale_Demo.ini");
    ASSERT_TRUE(QDir().mkpath(blocked + QStringLiteral("/inner")));
    QString reason;
    EXPECT_FALSE(station::writeSettingsLines(blocked, defaults(), &reason));
    EXPECT_FALSE(reason.isEmpty());
}

TEST(DigitCheck, AcceptsExactDigitTextsInRangeAndFallsBackOtherwise)
{
    const auto field = [](const char* name) { return options::digitFieldIndex(name); };
    EXPECT_EQ(station::checkedDigit(field("Label_LAT_DEGX10"), QStringLiteral("9")), QStringLiteral("3"));
    EXPECT_EQ(station::checkedDigit(field("Label_LAT_DEGX10"), QStringLiteral("8")), QStringLiteral("8"));
    EXPECT_EQ(station::checkedDigit(field("Label_LAT_MINX10"), QStringLiteral("7")), QStringLiteral("5"));
    EXPECT_EQ(station::checkedDigit(field("Label_SITE_X10K"), QStringLiteral("9")), QStringLiteral("9"));
    EXPECT_EQ(station::checkedDigit(field("Label_SITE_X1"), QStringLiteral("12")), QStringLiteral("5"));
    EXPECT_EQ(station::checkedDigit(field("Label_DFCAL_X100"), QStringLiteral("4")), QStringLiteral("0"));
    EXPECT_EQ(station::checkedDigit(field("Label_LONG_DEGX100"), QStringLiteral("2")), QStringLiteral("1"));
    EXPECT_EQ(station::checkedDigit(field("Label_LONG_DEGX10"), QStringLiteral("9")), QStringLiteral("9"));
    EXPECT_EQ(station::checkedDigit(field("Label_LONG_DEGX1"), QStringLiteral("-1")), QStringLiteral("8"));
    EXPECT_EQ(station::checkedDigit(field("Label_LONG_MINX10"), QStringLiteral("10")), QStringLiteral("1"));
    EXPECT_EQ(station::checkedDigit(field("Label_LONG_MINX1"), QStringLiteral(" 7")), QStringLiteral("0"));
}

TEST(SettingsFile, APathThatIsNoRegularFileIsNeitherReadNorWrittenThrough)
{
    testsupport::SettingsFolder folder;
    const QString path = folder.settingsFile();
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    RecordingTarget target;
    QString problem;
    // Returns at once, with no writer at the FIFO's other end.
    EXPECT_EQ(station::readSettings(path, target, &problem), ReadOutcome::NotRegular);
    EXPECT_EQ(problem, path + QStringLiteral(" is a FIFO, not a regular file"));
    QString reason;
    EXPECT_FALSE(station::writeSettingsLines(path, defaults(), &reason));
    EXPECT_EQ(reason, problem);
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode)); // not replaced by a regular file
    ASSERT_TRUE(QFile::remove(path));

    // A device that never ends costs one bounded read of nothing.
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path));
    EXPECT_EQ(station::readSettings(path, target, &problem), ReadOutcome::NotRegular);
    EXPECT_EQ(problem, path + QStringLiteral(" leads to /dev/zero, a character device, not a regular file"));
    EXPECT_FALSE(station::writeSettingsLines(path, defaults()));
    EXPECT_EQ(QFileInfo(path).symLinkTarget(), QStringLiteral("/dev/zero"));
}

TEST(SettingsTemporaries, OnlyOldRegularFilesOfSettingsLinesAreRemovedTheRestIsNamedOnce)
{
    testsupport::SettingsFolder folder;
    testsupport::EventLines events;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto put = [&](const QString& name, const QByteArray& bytes, int minutesOld) {
        QFile file(folder.folder() + u'/' + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        ASSERT_TRUE(file.flush());
        ASSERT_TRUE(file.setFileTime(now.addSecs(-60 * minutesOld), QFileDevice::FileModificationTime));
    };
    QByteArray whole;
    for (const QString& line : defaults())
        whole += line.toLatin1() + "\r\n";
    put(QStringLiteral("Tarnvale_Demo.ini.a1B2c3"), whole, 11);                 // a whole file, never renamed
    put(QStringLiteral("Tarnvale_Demo.ini.Qx9ZzY"), whole.left(37), 60);        // cut short in mid-line
    put(QStringLiteral("Tarnvale_Demo.ini.000000"), QByteArray(), 600);         // killed before a byte
    put(QStringLiteral("Tarnvale_Demo.ini.young1"), whole, 9);                  // a station may be writing it
    put(QStringLiteral("Tarnvale_Demo.ini.notes1"), "my notes\r\n", 60);       // someone's text
    put(QStringLiteral("Tarnvale_Demo.ini.lfonly"), QByteArray(whole).replace("\r\n", "\n"), 60); // not the station's line ends
    put(QStringLiteral("Tarnvale_Demo.ini.27line"), whole + "N\r\n", 60);      // more than a settings file
    put(QStringLiteral("Tarnvale_Demo.ini.backup"), whole, 60);
    ASSERT_TRUE(QFile::rename(folder.folder() + QStringLiteral("/Tarnvale_Demo.ini.backup"),
                              folder.folder() + QStringLiteral("/Tarnvale_Demo.ini.bak")));  // not the shape
    put(QStringLiteral("Tarnvale_Demo.ini.1234567"), whole, 60);                 // seven characters
    ASSERT_TRUE(QFile::link(folder.folder() + QStringLiteral("/Tarnvale_Demo.ini.bak"),
                            folder.folder() + QStringLiteral("/Tarnvale_Demo.ini.linked")));
    ASSERT_TRUE(QDir().mkdir(folder.folder() + QStringLiteral("/Tarnvale_Demo.ini.folder")));

    const station::TemporariesFound found = station::removeStaleTemporaries(folder.settingsFile(), now);
    QStringList removed = found.removed;
    removed.sort();
    EXPECT_EQ(removed.join(u' ').toStdString(), "Tarnvale_Demo.ini.000000 Tarnvale_Demo.ini.Qx9ZzY Tarnvale_Demo.ini.a1B2c3")
        << events.lines().join(u'\n').toStdString();
    QStringList left = found.leftAlone;
    left.sort();
    EXPECT_EQ(left.join(u' ').toStdString(), "Tarnvale_Demo.ini.27line Tarnvale_Demo.ini.folder Tarnvale_Demo.ini.lfonly "
                                             "Tarnvale_Demo.ini.linked Tarnvale_Demo.ini.notes1 Tarnvale_Demo.ini.young1");
    // One line for each, naming it; everything not removed is still there.
    EXPECT_EQ(events.lines().size(), 9) << events.lines().join(u'\n').toStdString();
    for (const QString& name : left)
        EXPECT_EQ(events.matching(name + QStringLiteral(" looks like a temporary")).size(), 1) << name.toStdString();
    QStringList remaining = QDir(folder.folder()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    EXPECT_EQ(remaining.size(), 8);
    EXPECT_TRUE(remaining.contains(QStringLiteral("Tarnvale_Demo.ini.bak")));
    EXPECT_TRUE(remaining.contains(QStringLiteral("Tarnvale_Demo.ini.1234567")));
}
