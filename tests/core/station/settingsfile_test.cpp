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
    const station::SettingsRead read = station::readSettings(folder.settingsFile());
    ASSERT_EQ(read.outcome, ReadOutcome::Applied);
    const station::Settings& settings = read.settings;
    EXPECT_EQ(settings.commPort, 1);
    EXPECT_EQ(settings.websitePort(), 10000);
    EXPECT_EQ(settings.calibration(), 0);
    EXPECT_EQ(settings.digitsText(options::kLatitudeFields), QStringLiteral("3425111"));
    EXPECT_EQ(settings.digitsText(options::kLongitudeFields), QStringLiteral("11944500"));
    EXPECT_FALSE(settings.south);
    EXPECT_TRUE(settings.west);
    // Written back, the same settings give the default file's lines but for the blanks around numbers.
    QStringList written = station::settingsLines(settings);
    QStringList expected = defaults();
    for (int line = 1; line < 9; ++line)
        expected[line] = expected[line].trimmed();
    EXPECT_EQ(written, expected);
    EXPECT_EQ(station::parseSettings((written.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1()).settings,
              settings);
}

TEST(SettingsFile, MissingAndDamagedFilesAreToldApart)
{
    testsupport::SettingsFolder folder;
    EXPECT_EQ(station::readSettings(folder.settingsFile()).outcome, ReadOutcome::Missing);

    QStringList lines = defaults();
    lines.removeLast(); // 25 lines
    folder.writeLines(lines);
    EXPECT_EQ(station::readSettings(folder.settingsFile()).outcome, ReadOutcome::Damaged);

    lines = defaults();
    lines[0] = QStringLiteral(" 0 "); // a port number the serial line refuses
    folder.writeLines(lines);
    EXPECT_EQ(station::readSettings(folder.settingsFile()).outcome, ReadOutcome::Damaged);

    lines = defaults();
    lines[5] = QStringLiteral("40000"); // beyond 16 bits
    folder.writeLines(lines);
    EXPECT_EQ(station::readSettings(folder.settingsFile()).outcome, ReadOutcome::Damaged);

    folder.writeLines({});
    EXPECT_EQ(station::readSettings(folder.settingsFile()).outcome, ReadOutcome::Damaged);
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
    const station::SettingsRead read = station::readSettings(folder.settingsFile());
    ASSERT_EQ(read.outcome, ReadOutcome::Applied);
    EXPECT_EQ(read.settings.commPort, 12);
    EXPECT_EQ(read.settings.digits[9], 7);
    EXPECT_EQ(read.settings.digits[10], -1);
    EXPECT_EQ(read.settings.digits[11], 2);
    EXPECT_EQ(read.settings.digits[12], 0);
    EXPECT_EQ(read.settings.digits[13], 4);
}

TEST(SettingsFile, ToleratesLinuxLineEndsAndIgnoresExtraLines)
{
    testsupport::SettingsFolder folder;
    QFile file(folder.settingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write((defaults().join(u'\n') + QStringLiteral("\nextra\n")).toLatin1());
    file.close();
    const station::SettingsRead read = station::readSettings(folder.settingsFile());
    EXPECT_EQ(read.outcome, ReadOutcome::Applied);
    EXPECT_TRUE(read.settings.west);
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

TEST(DigitCheck, AcceptsDigitsInRangeAndFallsBackOtherwise)
{
    const auto field = [](const char* name) { return options::digitFieldIndex(name); };
    EXPECT_EQ(station::checkedDigit(field("Label_LAT_DEGX10"), 9), 3);
    EXPECT_EQ(station::checkedDigit(field("Label_LAT_DEGX10"), 8), 8);
    EXPECT_EQ(station::checkedDigit(field("Label_LAT_MINX10"), 7), 5);
    EXPECT_EQ(station::checkedDigit(field("Label_SITE_X10K"), 9), 9);
    EXPECT_EQ(station::checkedDigit(field("Label_SITE_X1"), 12), 5);
    EXPECT_EQ(station::checkedDigit(field("Label_DFCAL_X100"), 4), 0);
    EXPECT_EQ(station::checkedDigit(field("Label_LONG_DEGX100"), 2), 1);
    EXPECT_EQ(station::checkedDigit(field("Label_LONG_DEGX10"), 9), 9);
    EXPECT_EQ(station::checkedDigit(field("Label_LONG_DEGX1"), -1), 8);
    EXPECT_EQ(station::checkedDigit(field("Label_LONG_MINX10"), 10), 1);
    EXPECT_EQ(station::checkedDigit(field("Label_LONG_MINX1"), 32767), 0);
}

TEST(SettingsFile, APathThatIsNoRegularFileIsNeitherReadNorWrittenThrough)
{
    testsupport::SettingsFolder folder;
    const QString path = folder.settingsFile();
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    // Returns at once, with no writer at the FIFO's other end.
    station::SettingsRead read = station::readSettings(path);
    EXPECT_EQ(read.outcome, ReadOutcome::NotRegular);
    const QString problem = read.problem;
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
    read = station::readSettings(path);
    EXPECT_EQ(read.outcome, ReadOutcome::NotRegular);
    EXPECT_EQ(read.problem, path + QStringLiteral(" leads to /dev/zero, a character device, not a regular file"));
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
