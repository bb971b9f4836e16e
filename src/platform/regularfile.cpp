#include "regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

#ifdef Q_OS_UNIX
QString kindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    if (S_ISDIR(mode))
        return QStringLiteral("a directory");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("something else");
}

// `info` is what the path leads to; a link on the way is named with where it leads.
QString described(const QString& path, const struct stat& info)
{
    struct stat own {};
    const bool link = ::lstat(QFile::encodeName(path).constData(), &own) == 0 && S_ISLNK(own.st_mode);
    if (!link)
        return QStringLiteral("%1 is %2, not a regular file").arg(shown(path), kindOf(info.st_mode));
    return QStringLiteral("%1 leads to %2, %3, not a regular file")
        .arg(shown(path), shown(QFileInfo(path).canonicalFilePath()), kindOf(info.st_mode));
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
#endif

} // namespace

#ifdef Q_OS_UNIX

QString notRegularFile(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode))
        return {};
    return described(path, info);
}

SmallFile readSmallFile(const QString& path, qint64 bound)
{
    const QByteArray name = QFile::encodeName(path);
    SmallFile result;
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            result.status = SmallFile::Status::Unreadable;
            result.problem = systemError();
        }
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.status = SmallFile::Status::NotRegular;
        result.problem = described(path, info);
        return result;
    }
    int fd = -1;
    do {
        // Not blocking, in case a FIFO took the file's place since the look above.
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        result.status = errno == ENOENT ? SmallFile::Status::Missing : SmallFile::Status::Unreadable;
        result.problem = systemError();
        return result;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        result.status = SmallFile::Status::NotRegular;
        result.problem = described(path, info);
        ::close(fd);
        return result;
    }
    result.content.resize(static_cast<qsizetype>(bound));
    qsizetype got = 0;
    while (got < result.content.size()) {
        const ssize_t n = ::read(fd, result.content.data() + got, static_cast<size_t>(result.content.size() - got));
        if (n > 0) {
            got += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.status = SmallFile::Status::Unreadable;
            result.problem = systemError();
            result.content.clear();
            ::close(fd);
            return result;
        }
        break;
    }
    ::close(fd);
    result.content.truncate(got);
    result.status = SmallFile::Status::Read;
    return result;
}

#else

// Elsewhere Qt's view of the file: a folder, or anything Qt does not call a file, is refused.
QString notRegularFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return {};
    return QStringLiteral("%1 is %2, not a regular file")
        .arg(shown(path), info.isDir() ? QStringLiteral("a directory") : QStringLiteral("something else"));
}

SmallFile readSmallFile(const QString& path, qint64 bound)
{
    SmallFile result;
    if (!QFileInfo::exists(path))
        return result;
    if (const QString problem = notRegularFile(path); !problem.isEmpty()) {
        result.status = SmallFile::Status::NotRegular;
        result.problem = problem;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = SmallFile::Status::Unreadable;
        result.problem = file.errorString();
        return result;
    }
    result.content = file.read(bound);
    result.status = SmallFile::Status::Read;
    return result;
}

#endif

} // namespace platform
