#include "pty.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace testsupport {

Pty::Pty()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0)
        return;
    // A station started as a process must not inherit the master: closing it here would then not
    // take the device away.
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        closeMaster();
        return;
    }
    m_slavePath = QString::fromLocal8Bit(ptsname(m_master));
    // Raw mode on the slave so bytes pass unchanged (CR stays CR).
    const int slave = ::open(ptsname(m_master), O_RDWR | O_NOCTTY);
    if (slave >= 0) {
        termios tio{};
        if (tcgetattr(slave, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(slave, TCSANOW, &tio);
        }
        ::close(slave);
    }
}

Pty::~Pty()
{
    closeMaster();
}

bool Pty::linkAs(const QString& folder, int portNumber)
{
    const QString link = folder + QStringLiteral("/COM%1").arg(portNumber);
    QFile::remove(link);
    if (!QFile::link(m_slavePath, link))
        return false;
    m_links << link;
    return true;
}

bool Pty::write(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                usleep(1000);
                continue;
            }
            return false;
        }
        done += n;
    }
    return true;
}

QByteArray Pty::readAvailable()
{
    QByteArray out;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, n);
    }
    return out;
}

void Pty::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void Pty::unplug()
{
    closeMaster();
    // Only links still pointing here: another device may have been linked under the name since. A
    // link is left leading nowhere rather than removed, as a missing COMn means /dev/ttyS<n-1>.
    for (const QString& link : std::as_const(m_links)) {
        if (QFile::symLinkTarget(link) == m_slavePath && QFile::remove(link))
            QFile::link(link + QStringLiteral(".unplugged"), link);
    }
    m_links.clear();
}

} // namespace testsupport
