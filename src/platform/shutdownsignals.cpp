#include "shutdownsignals.h"

#include <QSocketNotifier>

#include <csignal>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace platform {

#ifdef Q_OS_UNIX
namespace {

int g_pipe[2] = {-1, -1};

extern "C" void onShutdownSignal(int signalNumber)
{
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Nothing else is safe in here; a full pipe already holds a request.
    [[maybe_unused]] const auto written = ::write(g_pipe[1], &byte, 1);
}

} // namespace

ShutdownSignals::ShutdownSignals(QObject* parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) != 0)
        return;
    for (int fd : g_pipe) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ShutdownSignals::drain);

    struct sigaction action {};
    action.sa_handler = onShutdownSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigset_t watched;
    sigemptyset(&watched);
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signalNumber, &action, nullptr);
        sigaddset(&watched, signalNumber);
    }
    // A supervisor's stop must reach the station even when its parent left these signals blocked.
    ::pthread_sigmask(SIG_UNBLOCK, &watched, nullptr);
}

ShutdownSignals::~ShutdownSignals()
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signalNumber, &action, nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    for (int& fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

int ShutdownSignals::takePending()
{
    unsigned char byte = 0;
    int last = 0;
    while (g_pipe[0] >= 0 && ::read(g_pipe[0], &byte, 1) == 1)
        last = byte;
    return last;
}

void ShutdownSignals::drain()
{
    if (const int last = takePending(); last != 0)
        emit shutdownRequested(last);
}

#else
// Elsewhere the station closes with its window only.
ShutdownSignals::ShutdownSignals(QObject* parent)
    : QObject(parent)
{
}
ShutdownSignals::~ShutdownSignals() = default;
int ShutdownSignals::takePending()
{
    return 0;
}
void ShutdownSignals::drain() {}
#endif

QString signalName(int signalNumber)
{
    switch (signalNumber) {
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGINT:
        return QStringLiteral("SIGINT");
#ifdef Q_OS_UNIX
    case SIGHUP:
        return QStringLiteral("SIGHUP");
#endif
    default:
        return QStringLiteral("signal %1").arg(signalNumber);
    }
}

} // namespace platform
