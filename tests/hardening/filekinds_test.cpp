// The real program given paths that are not the files it expects: a FIFO or a device where the
// settings file should be, a bearing log path holding someone's notes, and a stop signal that is
// already waiting when it starts. Each run must end at once (a FIFO read would wait for a writer, a
// device read would fill the memory) with its status, its line on standard error and the path as it was.
#include "stationsetup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kQuickMs = 5000; // ample for a start-up that reads nothing, even under the sanitizers

mode_t kindOf(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & S_IFMT : 0;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

using FileKinds = hardening::StationSetup;

} // namespace

TEST_F(FileKinds, AFifoOrADeviceAsTheSettingsFileEndsTheStationAtOnceWithStatus1)
{
    const QString path = folder.settingsFile();
    const std::pair<std::function<bool()>, QString> cases[] = {
        {[&] { return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; },
         QStringLiteral("%1 is a FIFO, not a regular file").arg(path)},
        {[&] { return QFile::link(QStringLiteral("/dev/zero"), path); },
         QStringLiteral("%1 leads to /dev/zero, a character device, not a regular file").arg(path)},
        {[&] { return QFile::link(QStringLiteral("/dev/urandom"), path); },
         QStringLiteral("%1 leads to /dev/urandom, a character device, not a regular file").arg(path)},
    };
    for (const auto& [make, problem] : cases) {
        ASSERT_TRUE(QFile::remove(path));
        ASSERT_TRUE(make());
        const mode_t kind = kindOf(path);
        const QStringList before = entries(folder.folder());
        auto station = startStation({QStringLiteral("--headless"), QStringLiteral("--settings-dir"), folder.folder()});
        EXPECT_EQ(station.waitForExit(kQuickMs), 1) << problem.toStdString();
        const QString err = QString::fromLocal8Bit(station.standardError());
        EXPECT_TRUE(err.contains(QStringLiteral("Settings file not available: WARNING ! Settings file %1 can be neither read "
                                                "nor created / Check that the folder %2 exists and can be written / %3\n")
                                     .arg(path, folder.folder(), problem)))
            << err.toStdString();
        EXPECT_EQ(kindOf(path), kind) << problem.toStdString();
        EXPECT_EQ(entries(folder.folder()), before);
    }
    EXPECT_EQ(QFileInfo(path).symLinkTarget(), QStringLiteral("/dev/urandom"));
}

TEST_F(FileKinds, AStopSignalWaitingAtTheStartEndsTheStationBeforeItReadsOrWritesAnything)
{
    QTemporaryDir home;
    const QString settingsDir = home.filePath(QStringLiteral("settings"));
    // Started with SIGTERM blocked and already sent, as a supervisor's stop that came before the
    // station could watch for it: it arrives the moment the station lets it through.
    testsupport::StationProcess station(QStringLiteral(TARNVALE_EXECUTABLE), home.path(),
                                        {QStringLiteral("--headless"), QStringLiteral("--settings-dir"), settingsDir},
                                        [] {
                                            sigset_t term;
                                            sigemptyset(&term);
                                            sigaddset(&term, SIGTERM);
                                            sigprocmask(SIG_BLOCK, &term, nullptr);
                                            ::kill(::getpid(), SIGTERM);
                                        });
    EXPECT_EQ(station.waitForExit(kQuickMs), 0);
    const QString err = QString::fromLocal8Bit(station.standardError());
    EXPECT_TRUE(err.contains(QStringLiteral("Shutting down on SIGTERM before the start-up: nothing read or written\n")))
        << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(settingsDir)); // not even the folder was made
}

TEST_F(FileKinds, ABearingLogPathHoldingSomeonesTextEndsTheRunWithStatus1AndKeepsTheText)
{
    const QString log = folder.folder() + QStringLiteral("/notes.txt");
    for (const QByteArray& text : {QByteArray("my notes"), QByteArray("keep this\nlose this")}) {
        {
            QFile f(log);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(text);
        }
        const QByteArray settings = [this] { QFile f(folder.settingsFile()); return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(); }();
        auto station = startStation({QStringLiteral("--headless"), QStringLiteral("--settings-dir"), folder.folder(),
                                     QStringLiteral("--bearing-log"), log});
        EXPECT_EQ(station.waitForExit(kQuickMs), 1);
        const QString err = QString::fromLocal8Bit(station.standardError());
        EXPECT_EQ(err.count(log), 1) << err.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("Bearing log %1 refused").arg(log))) << err.toStdString();
        QFile f(log);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), text);
        // The station did not start: its settings file was neither read for a run nor written.
        QFile s(folder.settingsFile());
        ASSERT_TRUE(s.open(QIODevice::ReadOnly));
        EXPECT_EQ(s.readAll(), settings);
    }
}
