// The settings file under faults: the program killed while it writes the file, and a settings folder
// that cannot be written at shutdown. The file is always a whole one, old or new.
#include "stationsetup.h"

#include "platform/messages.h"
#include "core/station/settingsfile.h"
#include "core/station/stationcore.h"
#include "support/messagerecorder.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray fileBytes(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toLatin1() + "\r\n";
    return bytes;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// What the shutdown writes back from `lines`: line 1 in number form, the rest in text form.
QStringList writtenBack(QStringList lines)
{
    for (int i = 1; i < lines.size(); ++i)
        lines[i] = lines[i].trimmed();
    return lines;
}

// Makes a folder impossible to write into for as long as it lives: permission bits for an ordinary
// user, the immutable attribute for root (who passes permission bits by).
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString& path)
        : m_path(path)
    {
        if (geteuid() != 0) {
            m_ok = QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
            return;
        }
        m_ok = setImmutable(true);
    }
    ~ReadOnlyFolder()
    {
        if (geteuid() != 0)
            QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        else if (m_ok)
            setImmutable(false);
    }
    bool ok() const { return m_ok; }

private:
    bool setImmutable(bool on)
    {
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    QString m_path;
    bool m_ok = false;
};

using SettingsUnderFaults = hardening::StationSetup;

} // namespace

TEST_F(SettingsUnderFaults, KilledWhileWritingLeavesTheOldFileOrTheNewOneWhole)
{
    const QStringList oldLines = testsupport::settingsLinesFor(port);
    const QByteArray oldFile = fileBytes(oldLines);
    const QByteArray newFile = fileBytes(writtenBack(oldLines));
    ASSERT_NE(oldFile, newFile);

    // SIGTERM starts the shutdown that writes the file; SIGKILL follows at delays that cover the
    // time from before the write begins until after it has ended.
    int sawOld = 0;
    int sawNew = 0;
    for (int delayUs : {0, 150, 300, 500, 700, 1000, 1500, 2000, 3000, 5000, 8000, 20000}) {
        folder.writeLines(oldLines);
        auto station = startStation();
        ASSERT_TRUE(testsupport::waitUntilServing(port)) << "delay " << delayUs;
        station.signal(SIGTERM);
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
        station.signal(SIGKILL);
        station.waitForExit();

        const QByteArray now = readAll(folder.settingsFile());
        EXPECT_TRUE(now == oldFile || now == newFile) << "killed " << delayUs << " us after SIGTERM: " << now.constData();
        sawOld += now == oldFile;
        sawNew += now == newFile;
    }
    RecordProperty("old_files", sawOld);
    RecordProperty("new_files", sawNew);
    std::printf("killed during shutdown: %d old files, %d new files\n", sawOld, sawNew);

    // The first start writes the default file; killed during it, the file is missing or whole.
    const QByteArray defaultFile = fileBytes(station::defaultSettingsLines());
    for (int delayMs : {0, 5, 10, 20, 40, 80}) {
        QFile::remove(folder.settingsFile());
        auto station = startStation();
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        station.signal(SIGKILL);
        station.waitForExit();
        const QByteArray now = readAll(folder.settingsFile());
        EXPECT_TRUE(now == "<missing>" || now == defaultFile) << "killed " << delayMs << " ms after start: " << now.constData();
    }
}

TEST_F(SettingsUnderFaults, ReadOnlyFolderAtSignalShutdownIsReportedOnStandardErrorWithStatus1)
{
    const QByteArray before = readAll(folder.settingsFile());

    auto station = startStation();
    ASSERT_TRUE(testsupport::waitUntilServing(port));
    {
        ReadOnlyFolder readOnly(folder.folder());
        if (!readOnly.ok())
            GTEST_SKIP() << "this file system cannot make a folder read-only for root";
        station.signal(SIGTERM);
        EXPECT_EQ(station.waitForExit(), 1);
    }
    const QString err = QString::fromLocal8Bit(station.standardError());
    EXPECT_TRUE(err.contains(QStringLiteral("WARNING ! Settings could not be written to ")
                             + QDir::toNativeSeparators(folder.settingsFile())))
        << err.toStdString();
    EXPECT_EQ(readAll(folder.settingsFile()), before);
    // Nothing else was left behind (the folder holds the file and the COM1 link).
    EXPECT_EQ(QDir(folder.folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("COM1"), QStringLiteral("Tarnvale_Demo.ini")}));
}

TEST_F(SettingsUnderFaults, ReadOnlyFolderAtOperatorShutdownShowsSettingsNotSaved)
{
    const QByteArray before = readAll(folder.settingsFile());
    platform::Messages shown;
    testsupport::MessageRecorder messages(shown);
    StationCore station(shown);
    ASSERT_TRUE(station.Form_Load());
    ASSERT_EQ(messages.count(), 0);
    {
        ReadOnlyFolder readOnly(folder.folder());
        if (!readOnly.ok())
            GTEST_SKIP() << "this file system cannot make a folder read-only for root";
        station.shutDown();
    }
    EXPECT_TRUE(station.isClosed());
    // Settings lost is not a success.
    EXPECT_EQ(station.exitStatus(), 1);
    ASSERT_EQ(messages.titles(), QStringList{QStringLiteral("Settings not saved")});
    EXPECT_TRUE(messages.messages()[0].text.startsWith(QStringLiteral("WARNING ! Settings could not be written to ")
                                                       + QDir::toNativeSeparators(folder.settingsFile())
                                                       + QStringLiteral("\r\r")))
        << messages.messages()[0].text.toStdString();
    EXPECT_EQ(readAll(folder.settingsFile()), before);
}
