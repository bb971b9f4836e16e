#include "rawclient.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

RawClient::RawClient(quint16 port)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

RawClient::~RawClient()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool RawClient::send(const QByteArray& bytes) const
{
    return m_fd >= 0 && ::send(m_fd, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL) == bytes.size();
}

void RawClient::endSending() const
{
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_WR);
}

RawClient::Seen RawClient::peek() const
{
    char byte = 0;
    const ssize_t n = ::recv(m_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0)
        return Seen::Bytes;
    if (n == 0)
        return Seen::Ended;
    return errno == EAGAIN || errno == EWOULDBLOCK ? Seen::Nothing : Seen::Reset;
}

QByteArray RawClient::readUntilEnd(int timeoutMs, bool* reset) const
{
    QByteArray data;
    if (reset)
        *reset = false;
    QDeadlineTimer deadline(timeoutMs);
    while (m_fd >= 0 && !deadline.hasExpired()) {
        // The server may live in this process.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0)
            continue;
        char buffer[65536];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            data.append(buffer, n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n < 0 && reset)
            *reset = true;
        break;
    }
    return data;
}

bool allowOpenFiles(int needed)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return false;
    const auto wanted = static_cast<rlim_t>(needed);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
        if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < wanted)
            return false;
        limit.rlim_cur = wanted;
        return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
    }
    return true;
}

DescriptorsUsedUp::DescriptorsUsedUp(int spare)
{
    rlimit saved{};
    if (::getrlimit(RLIMIT_NOFILE, &saved) != 0)
        return;
    m_savedSoft = static_cast<qint64>(saved.rlim_cur);
    int highest = 0;
    const QStringList open = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& fd : open)
        highest = std::max(highest, fd.toInt());
    const rlimit tight{static_cast<rlim_t>(highest) + 1 + static_cast<rlim_t>(spare) + 8, saved.rlim_max};
    if (::setrlimit(RLIMIT_NOFILE, &tight) != 0)
        return;
    for (int fd = ::dup(0); fd >= 0; fd = ::dup(0))
        m_held.push_back(fd);
    if (static_cast<int>(m_held.size()) < spare)
        return;
    release(spare);
    m_ok = true;
}

DescriptorsUsedUp::~DescriptorsUsedUp()
{
    release();
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(m_savedSoft);
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

void DescriptorsUsedUp::release(int count)
{
    while (!m_held.empty() && count != 0) {
        ::close(m_held.back());
        m_held.pop_back();
        --count;
    }
}

int openDescriptors()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                                .size()) - 1; // the listing's own
}

} // namespace testsupport
