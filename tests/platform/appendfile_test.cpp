// A log file that only ever holds whole lines: the header in an empty file, unfinished lines left by a
// crash, short writes at a file size limit, and a file rotated away from its path.
#include "platform/appendfile.h"
#include "support/filesizelimit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const QByteArray kHeader = "when,what\n";

class AppendFileTest : public ::testing::Test
{
protected:
    QString path() const { return dir.filePath(QStringLiteral("bearings.csv")); }
    QByteArray content(const QString& file = {}) const
    {
        QFile f(file.isEmpty() ? path() : file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void put(const QByteArray& bytes) const
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    QTemporaryDir dir;
};

TEST_F(AppendFileTest, TheHeaderGoesIntoAnEmptyFileOnlyAndLinesFollowInOrder)
{
    {
        platform::AppendFile file(path());
        ASSERT_TRUE(file.open(kHeader)) << file.errorString().toStdString();
        EXPECT_EQ(content(), kHeader);
        ASSERT_TRUE(file.append("1,a\n", kHeader));
        ASSERT_TRUE(file.append("2,b\n3,c\n", kHeader));
    }
    platform::AppendFile again(path());
    ASSERT_TRUE(again.open(kHeader));
    ASSERT_TRUE(again.append("4,d\n", kHeader));
    EXPECT_EQ(content(), kHeader + "1,a\n2,b\n3,c\n4,d\n");

    // Rotated by copying and truncating: the same file, empty, and the next line comes under a header.
    ASSERT_TRUE(QFile::resize(path(), 0));
    EXPECT_TRUE(again.stillAtPath());
    ASSERT_TRUE(again.append("5,e\n", kHeader));
    EXPECT_EQ(content(), kHeader + "5,e\n");
}

TEST_F(AppendFileTest, AnUnfinishedLastLineIsCutOffAtOpenAndNoWholeLineWithIt)
{
    const std::pair<QByteArray, QByteArray> cases[] = {
        {kHeader + "1,a\n2,b", kHeader + "1,a\n3,c\n"},
        {kHeader + "1,a\n", kHeader + "1,a\n3,c\n"},
        {kHeader + "1,a\n" + QByteArray(3000, 'x'), kHeader + "1,a\n3,c\n"},
    };
    for (const auto& [before, after] : cases) {
        put(before);
        platform::AppendFile file(path());
        ASSERT_TRUE(file.open(kHeader));
        ASSERT_TRUE(file.append("3,c\n", kHeader));
        EXPECT_EQ(content(), after) << before.left(40).toStdString();
    }
    // A long text without a line end is no line of ours: it stays, and the next line starts afresh.
    const QByteArray foreign = kHeader + "notes\n" + QByteArray(5000, 'y');
    put(foreign);
    platform::AppendFile file(path());
    ASSERT_TRUE(file.open(kHeader));
    ASSERT_TRUE(file.append("3,c\n", kHeader));
    ASSERT_TRUE(file.append("4,d\n", kHeader));
    EXPECT_EQ(content(), foreign + "\n3,c\n4,d\n");
}

TEST_F(AppendFileTest, AWriteCutShortByAFileSizeLimitIsTakenBackAndTheNextOneWorks)
{
    platform::AppendFile file(path());
    ASSERT_TRUE(file.open(kHeader)); // ignores SIGXFSZ from here on: the write fails instead
    ASSERT_TRUE(file.append("1,first line\n", kHeader));
    const QByteArray whole = content();
    {
        // Room for part of the next line only.
        testsupport::FileSizeLimit limit(static_cast<rlim_t>(whole.size() + 5));
        ASSERT_TRUE(limit.isSet());
        EXPECT_FALSE(file.append("2,a line too long for the room left\n", kHeader));
        EXPECT_FALSE(file.errorString().isEmpty());
        EXPECT_EQ(content(), whole);
        // A line that fits still goes in whole.
        EXPECT_TRUE(file.append("3\n", kHeader));
        EXPECT_FALSE(file.append("4,too long again\n", kHeader));
        EXPECT_EQ(content(), whole + "3\n");
    }
    EXPECT_TRUE(file.append("5,room again\n", kHeader));
    EXPECT_EQ(content(), whole + "3\n5,room again\n");
}

TEST_F(AppendFileTest, AFileRenamedRemovedOrReplacedIsNoLongerAtItsPath)
{
    platform::AppendFile file(path());
    ASSERT_TRUE(file.open(kHeader));
    ASSERT_TRUE(file.append("1,a\n", kHeader));
    EXPECT_TRUE(file.stillAtPath());

    const QString rotated = path() + QStringLiteral(".1");
    ASSERT_TRUE(QFile::rename(path(), rotated));
    EXPECT_FALSE(file.stillAtPath());
    ASSERT_TRUE(file.open(kHeader));
    ASSERT_TRUE(file.append("2,b\n", kHeader));
    EXPECT_TRUE(file.stillAtPath());
    EXPECT_EQ(content(rotated), kHeader + "1,a\n");
    EXPECT_EQ(content(), kHeader + "2,b\n");

    ASSERT_TRUE(QFile::remove(path()));
    EXPECT_FALSE(file.stillAtPath());

    ASSERT_TRUE(file.open(kHeader));
    const QString other = dir.filePath(QStringLiteral("other"));
    {
        QFile f(other);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(path()).constData()), 0);
    EXPECT_FALSE(file.stillAtPath());
}

TEST_F(AppendFileTest, WhatCannotBeALogIsRefusedWithAReason)
{
    platform::AppendFile inMissingFolder(dir.filePath(QStringLiteral("no/such/folder/log.csv")));
    EXPECT_FALSE(inMissingFolder.open(kHeader));
    EXPECT_FALSE(inMissingFolder.isOpen());
    EXPECT_FALSE(inMissingFolder.errorString().isEmpty());
    EXPECT_FALSE(inMissingFolder.append("1\n", kHeader));

    platform::AppendFile folder(dir.path());
    EXPECT_FALSE(folder.open(kHeader));

    // A FIFO nobody reads would hold the station up, a device never ends: refused without a write.
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    platform::AppendFile pipe(fifo);
    EXPECT_FALSE(pipe.open(kHeader));
    EXPECT_TRUE(pipe.refused());
    const QString full = dir.filePath(QStringLiteral("full"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), full));
    platform::AppendFile device(full);
    EXPECT_FALSE(device.open(kHeader));
    EXPECT_TRUE(device.refused());
    EXPECT_EQ(device.errorString(), full + QStringLiteral(" leads to /dev/full, a character device, not a regular file"));

    // Text without the header, even a crash's fragment of one, is someone else's.
    for (const QByteArray& text : {QByteArray("1,"), QByteArray("when\n"), QByteArray("notes\n") + kHeader}) {
        put(text);
        platform::AppendFile file(path());
        EXPECT_FALSE(file.open(kHeader));
        EXPECT_TRUE(file.refused());
        EXPECT_EQ(content(), text);
    }
    // A folder missing is no refusal: it may come.
    EXPECT_FALSE(inMissingFolder.refused());
}

} // namespace
