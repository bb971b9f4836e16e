// The settings file's path as the station meets it at start-up and at shutdown when it is no regular
// file (a FIFO, a device, a folder), a link to a regular file, and a file it cannot read at shutdown.
#include "settingsstation.h"

#include "support/eventlines.h"
#include "support/loopback.h"
#include "support/messagerecorder.h"
#include "support/pty.h"
#include "support/settingsfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using testsupport::settingsLinesFor;

namespace {

using SettingsPath = SettingsStation;

// A file this thread cannot read: no permission bits, and for root (who passes them by) this thread's
// power to override them set aside while the object lives.
class UnreadableFile
{
public:
    explicit UnreadableFile(const QString& path)
        : m_path(path)
    {
        ::chmod(QFile::encodeName(path).constData(), 0);
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        if (::geteuid() != 0 || ::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_reduced = ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~UnreadableFile()
    {
        if (m_reduced)
            ::syscall(SYS_capset, &m_header, m_saved);
        ::chmod(QFile::encodeName(m_path).constData(), 0644);
    }
    bool unreadable() const { return !QFile(m_path).open(QIODevice::ReadOnly); }

private:
    QString m_path;
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_reduced = false;
};

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

TEST_F(SettingsPath, ASettingsPathThatIsNoRegularFileIsNotReplacedAndTheStationDoesNotStart)
{
    const QString path = folder.settingsFile();
    const QString fifo = QStringLiteral("%1 is a FIFO, not a regular file").arg(path);
    const QString zero = QStringLiteral("%1 leads to /dev/zero, a character device, not a regular file").arg(path);
    const QString directory = QStringLiteral("%1 is a directory, not a regular file").arg(path);
    const std::pair<std::function<bool()>, QString> cases[] = {
        {[&] { return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; }, fifo},
        {[&] { return QFile::link(QStringLiteral("/dev/zero"), path); }, zero},
        {[&] { return QDir().mkdir(path); }, directory},
    };
    const auto kind = [&path] {
        struct stat info {};
        return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & S_IFMT : 0;
    };
    for (const auto& [make, problem] : cases) {
        ASSERT_TRUE(make()) << problem.toStdString();
        const auto kindBefore = kind();
        const QStringList before = QDir(folder.folder()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        platform::Messages caseMessages;
        testsupport::MessageRecorder caseBoxes(caseMessages);
        StationCore fresh(caseMessages);
        EXPECT_FALSE(fresh.Form_Load()); // returns at once: nothing is opened
        EXPECT_EQ(fresh.exitStatus(), 1);
        ASSERT_EQ(caseBoxes.count(), 1);
        EXPECT_EQ(caseBoxes.messages()[0].title, QStringLiteral("Settings file not available"));
        EXPECT_EQ(caseBoxes.messages()[0].text,
                  QStringLiteral("WARNING ! Settings file %1 can be neither read nor created\r\r"
                                 "Check that the folder %2 exists and can be written\r\r%3")
                      .arg(path, folder.folder(), problem));
        fresh.shutDown();
        // Left as it was (a FIFO, the link, the folder), and nothing made beside it.
        EXPECT_EQ(kind(), kindBefore);
        EXPECT_EQ(QDir(folder.folder()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), before);
        if (problem == zero) {
            EXPECT_EQ(QFileInfo(path).symLinkTarget(), QStringLiteral("/dev/zero"));
        }
        QDir().rmdir(path);
        QFile::remove(path);
    }
    EXPECT_EQ(boxes.count(), 0);
}

TEST_F(SettingsPath, ALinkToARegularSettingsFileIsReadAndWrittenThroughAsBefore)
{
    const QString target = folder.folder() + QStringLiteral("/elsewhere.ini");
    QStringList lines = settingsLinesFor(testsupport::freePort());
    folder.writeLines(lines);
    ASSERT_TRUE(QFile::rename(folder.settingsFile(), target));
    ASSERT_TRUE(QFile::link(target, folder.settingsFile()));
    ASSERT_TRUE(start());
    EXPECT_EQ(boxes.count(), 0);
    // Written back through the link, in the shutdown's forms.
    for (int line = 1; line < lines.size(); ++line)
        lines[line] = lines[line].trimmed();
    EXPECT_EQ(shutDown(), lines);
    EXPECT_EQ(QFileInfo(folder.settingsFile()).symLinkTarget(), target);
}

TEST_F(SettingsPath, AFifoPutInTheSettingsFilesPlaceWhileItRunsIsNeitherReadNorReplacedAtShutdown)
{
    const QByteArray path = QFile::encodeName(folder.settingsFile());
    for (const bool headless : {false, true}) {
        folder.writeLines(settingsLinesFor(testsupport::freePort()));
        platform::Messages caseMessages;
        testsupport::MessageRecorder caseBoxes(caseMessages);
        testsupport::EventLines events;
        StationCore fresh(caseMessages);
        fresh.setHeadless(headless);
        ASSERT_TRUE(fresh.Form_Load());
        ASSERT_TRUE(QFile::remove(folder.settingsFile()));
        ASSERT_EQ(::mkfifo(path.constData(), 0600), 0);
        fresh.shutDown(); // returns: the FIFO is not opened, for reading or writing
        EXPECT_EQ(fresh.exitStatus(), 1) << "headless " << headless;
        const QString text = QStringLiteral("WARNING ! Settings could not be written to %1\r\r%1 is a FIFO, not a regular file")
                                 .arg(folder.settingsFile());
        ASSERT_EQ(caseBoxes.count(), 1);
        EXPECT_EQ(caseBoxes.messages()[0].title, QStringLiteral("Settings not saved"));
        EXPECT_EQ(caseBoxes.messages()[0].text, text);
        struct stat info {};
        ASSERT_EQ(::lstat(path.constData(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "headless " << headless;
        ASSERT_TRUE(QFile::remove(folder.settingsFile()));
    }
}

TEST_F(SettingsPath, AHeadlessStationLeavesASettingsFileItCannotReadAtShutdownAndSaysSo)
{
    folder.writeLines(settingsLinesFor(testsupport::freePort()));
    const QByteArray before = bytesOf(folder.settingsFile());
    testsupport::EventLines events;
    station->setHeadless(true);
    ASSERT_TRUE(start());
    {
        UnreadableFile unreadable(folder.settingsFile());
        if (!unreadable.unreadable())
            GTEST_SKIP() << "cannot make a file unreadable here";
        station->shutDown();
    }
    EXPECT_EQ(events.matching(QStringLiteral("changed since the start")), QStringList());
    EXPECT_EQ(events.matching(QStringLiteral("cannot be read")),
              QStringList{QStringLiteral("Settings file %1 cannot be read (Permission denied): left as it is").arg(folder.settingsFile())});
    EXPECT_EQ(station->exitStatus(), 0);
    EXPECT_EQ(bytesOf(folder.settingsFile()), before);
}
