#include "appendfile.h"

#include "regularfile.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

// An unfinished tail longer than this was not left by this program: the file is not cut.
constexpr qint64 kLongestUnfinishedLine = 4096;

#ifdef Q_OS_UNIX
QString systemError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

// What to do about an unfinished last line (one without its line end): one left by this program (a
// crash in mid-line) is cut off; a longer one is no line of ours, and the next line starts on a line
// of its own instead.
struct Tail
{
    qint64 cutAt = -1;      // cut the file back to this size
    bool lineEnd = false;   // or put a line end in front of the next line
};

Tail unfinishedTail(int fd, qint64 size)
{
    if (size == 0)
        return {};
    const qint64 from = qMax<qint64>(0, size - kLongestUnfinishedLine);
    QByteArray tail(static_cast<qsizetype>(size - from), '\0');
    if (::pread(fd, tail.data(), static_cast<size_t>(tail.size()), from) != tail.size() || tail.endsWith('\n'))
        return {};
    const qsizetype lineEnd = tail.lastIndexOf('\n');
    if (lineEnd >= 0)
        return {from + lineEnd + 1, false};
    if (from == 0)
        return {0, false};
    return {-1, true};
}
#endif

} // namespace

AppendFile::AppendFile(QString path)
    : m_path(std::move(path))
{
}

AppendFile::~AppendFile()
{
    close();
}

#ifdef Q_OS_UNIX

bool AppendFile::open(const QByteArray& header)
{
    close();
    m_refused = false;
    // A file size limit must fail the write, not end the station.
    ::signal(SIGXFSZ, SIG_IGN);
    // Opening a FIFO or a device can wait or have effects of its own: what is no regular file is refused
    // from a look at it alone.
    if (const QString problem = notRegularFile(m_path); !problem.isEmpty())
        return refuse(problem);
    const QByteArray name = QFile::encodeName(m_path);
    do {
        // Read as well: an unfinished last line is looked for. Not blocking: a FIFO fails at once.
        m_fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0) {
        m_error = systemError("cannot open");
        return false;
    }
    struct stat info {};
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close();
        return refuse(QStringLiteral("not a regular file"));
    }
    if (info.st_size > 0 && !header.isEmpty()) {
        QByteArray start(header.size(), '\0');
        if (::pread(m_fd, start.data(), static_cast<size_t>(start.size()), 0) != start.size() || start != header) {
            close();
            return refuse(QStringLiteral("it does not begin with the log's header line"));
        }
    }
    ::fcntl(m_fd, F_SETFL, O_APPEND);
    const Tail tail = unfinishedTail(m_fd, info.st_size);
    m_cutPending = tail.cutAt;
    m_lineEndPending = tail.lineEnd;
    return append(QByteArray(), header);
}

bool AppendFile::refuse(const QString& why)
{
    m_error = why;
    m_refused = true;
    return false;
}

void AppendFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_cutPending = -1;
    m_lineEndPending = false;
}

bool AppendFile::append(const QByteArray& lines, const QByteArray& header)
{
    if (m_fd < 0) {
        m_error = QStringLiteral("not open");
        return false;
    }
    if (m_cutPending >= 0) {
        if (::ftruncate(m_fd, m_cutPending) != 0) {
            m_error = systemError("cannot cut off an unfinished line");
            return false;
        }
        m_cutPending = -1;
    }
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) {
        m_error = systemError("cannot read the file's size");
        return false;
    }
    QByteArray bytes = info.st_size == 0 ? header + lines : lines;
    if (bytes.isEmpty())
        return true;
    if (m_lineEndPending && info.st_size > 0)
        bytes.prepend('\n');
    if (!writeWhole(bytes))
        return false;
    m_lineEndPending = false;
    return true;
}

bool AppendFile::writeWhole(const QByteArray& bytes)
{
    const char* data = bytes.constData();
    const size_t size = static_cast<size_t>(bytes.size());
    size_t written = 0;
    off_t start = -1; // where these bytes began, known once part of them is in the file
    while (written < size) {
        const ssize_t n = ::write(m_fd, data + written, size - written);
        if (n > 0) {
            if (start < 0)
                start = ::lseek(m_fd, 0, SEEK_CUR) - n; // O_APPEND: the offset now ends our bytes
            written += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        m_error = n < 0 ? systemError("cannot write") : QStringLiteral("cannot write: nothing written");
        break;
    }
    if (written == size)
        return true;
    // The file keeps only whole lines: what got there of these is cut off again (or at the next try).
    if (written > 0 && start >= 0 && ::ftruncate(m_fd, start) != 0)
        m_cutPending = start;
    return false;
}

bool AppendFile::stillAtPath() const
{
    if (m_fd < 0)
        return false;
    struct stat open {};
    struct stat atPath {};
    if (::fstat(m_fd, &open) != 0 || ::stat(QFile::encodeName(m_path).constData(), &atPath) != 0)
        return false;
    return open.st_dev == atPath.st_dev && open.st_ino == atPath.st_ino;
}

#else

// Elsewhere the file is appended to through Qt: one write per call, without cutting a short write.
bool AppendFile::open(const QByteArray& header)
{
    close();
    m_refused = false;
    if (const QString problem = notRegularFile(m_path); !problem.isEmpty())
        return refuse(problem);
    QFile probe(m_path);
    if (probe.size() > 0 && !header.isEmpty() && probe.open(QIODevice::ReadOnly) && probe.read(header.size()) != header)
        return refuse(QStringLiteral("it does not begin with the log's header line"));
    probe.close();
    if (!probe.open(QIODevice::Append)) {
        m_error = probe.errorString();
        return false;
    }
    m_fd = 0;
    return append(QByteArray(), header);
}

void AppendFile::close()
{
    m_fd = -1;
}

bool AppendFile::append(const QByteArray& lines, const QByteArray& header)
{
    QFile file(m_path);
    if (m_fd < 0 || !file.open(QIODevice::Append)) {
        m_error = file.errorString();
        return false;
    }
    const QByteArray bytes = file.size() == 0 ? header + lines : lines;
    if (!bytes.isEmpty() && file.write(bytes) != bytes.size()) {
        m_error = file.errorString();
        return false;
    }
    return true;
}

bool AppendFile::writeWhole(const QByteArray&)
{
    return false;
}

bool AppendFile::refuse(const QString& why)
{
    m_error = why;
    m_refused = true;
    return false;
}

bool AppendFile::stillAtPath() const
{
    return m_fd >= 0 && QFile::exists(m_path);
}

#endif

} // namespace platform
