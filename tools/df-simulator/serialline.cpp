#include "serialline.h"

#include "stopsignals.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace dfsim {

namespace {

std::string systemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

void makeRaw(int fd, bool serialSpeed)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return;
    cfmakeraw(&tio);
    if (serialSpeed) {
        cfsetispeed(&tio, B4800);
        cfsetospeed(&tio, B4800);
        tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CSIZE | CRTSCTS);
        tio.c_cflag |= CS8 | CLOCAL | CREAD;
    }
    tcsetattr(fd, TCSANOW, &tio);
}

std::string linkTarget(const std::string& path)
{
    char buffer[4096];
    const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer - 1);
    return n < 0 ? std::string() : std::string(buffer, static_cast<size_t>(n));
}

} // namespace

std::unique_ptr<SerialLine> SerialLine::openDevice(const std::string& path, std::string& error)
{
    // Non-blocking open so a modem line without carrier does not hang here; writes block again below.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = systemError("cannot open " + path);
        return nullptr;
    }
    std::unique_ptr<SerialLine> line(new SerialLine);
    line->m_fd = fd;
    line->m_serialDevice = isatty(fd) != 0;
    if (line->m_serialDevice)
        makeRaw(fd, true);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return line;
}

std::unique_ptr<SerialLine> SerialLine::openPseudoTerminal(std::string& error)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0) {
        error = systemError("cannot create a pseudo-terminal");
        return nullptr;
    }
    std::unique_ptr<SerialLine> line(new SerialLine);
    line->m_fd = master;
    line->m_pseudoTerminal = true;
    const char* name = (grantpt(master) == 0 && unlockpt(master) == 0) ? ptsname(master) : nullptr;
    if (!name) {
        error = systemError("cannot set up the pseudo-terminal");
        return nullptr;
    }
    line->m_slavePath = name;
    // Raw, so CR reaches the reader as CR and nothing is echoed back.
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave >= 0) {
        makeRaw(slave, false);
        ::close(slave);
    }
    return line;
}

SerialLine::~SerialLine()
{
    if (!m_link.empty() && linkTarget(m_link) == m_slavePath)
        ::unlink(m_link.c_str());
    if (m_fd >= 0) {
        if (m_serialDevice && !stopRequested())
            tcdrain(m_fd);
        ::close(m_fd);
    }
}

bool SerialLine::linkAs(const std::string& linkPath, std::string& error)
{
    struct stat entry = {};
    if (lstat(linkPath.c_str(), &entry) == 0) {
        const std::string target = S_ISLNK(entry.st_mode) ? linkTarget(linkPath) : std::string();
        struct stat targetEntry = {};
        const bool leftOver = target.rfind("/dev/pts/", 0) == 0 && stat(target.c_str(), &targetEntry) != 0;
        if (!leftOver || ::unlink(linkPath.c_str()) != 0) {
            error = linkPath + " already exists" + (target.empty() ? std::string() : " (it leads to " + target + ")")
                    + "; choose another port, or remove it if an earlier run left it behind";
            return false;
        }
    }
    if (::symlink(m_slavePath.c_str(), linkPath.c_str()) != 0) {
        error = systemError("cannot link " + linkPath);
        return false;
    }
    m_link = linkPath;
    return true;
}

bool SerialLine::readerPresent() const
{
    // The master side reports a hang-up for as long as nobody has the other side open.
    pollfd fd = {m_fd, 0, 0};
    return poll(&fd, 1, 0) >= 0 && (fd.revents & POLLHUP) == 0;
}

bool SerialLine::waitForReader()
{
    while (!readerPresent()) {
        if (stopRequested())
            return false;
        const timespec pause = {0, 20'000'000};
        nanosleep(&pause, nullptr);
    }
    return !stopRequested();
}

bool SerialLine::sleepUntil(Clock::time_point when)
{
    // Short relative sleeps against the monotonic clock: a signal is noticed within one of them, and
    // a late wake-up does not move the following deadlines.
    for (;;) {
        if (stopRequested())
            return false;
        const auto remaining = when - Clock::now();
        if (remaining <= Clock::duration::zero())
            return true;
        const auto nanoseconds = std::min<long long>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(remaining).count(), 200'000'000LL);
        const timespec pause = {0, static_cast<long>(nanoseconds)};
        nanosleep(&pause, nullptr);
    }
}

bool SerialLine::writeByte(char byte)
{
    // A pseudo-terminal nobody has open, or whose reader has fallen behind, loses the byte, as a real
    // line would; waiting instead would hand a station stale bearings later.
    if (m_pseudoTerminal && !readerPresent())
        return true;
    for (;;) {
        const ssize_t n = ::write(m_fd, &byte, 1);
        if (n == 1)
            return true;
        if (n < 0 && errno == EINTR) {
            if (stopRequested())
                return false;
            continue;
        }
        if (m_pseudoTerminal && n < 0 && (errno == EAGAIN || errno == EIO))
            return true;
        m_error = systemError("writing failed");
        return false;
    }
}

bool SerialLine::stopRequested()
{
    return stopSignalled();
}

} // namespace dfsim
