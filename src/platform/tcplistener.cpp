#include "tcplistener.h"

#include "connectionshedder.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#endif

namespace platform {

namespace {

// Out of descriptors with nothing to shed, or any other failure: accepting tries again after this.
constexpr int kRetryMs = 150;
// Accepts per readiness notification, so that a flood of connections cannot starve other events.
constexpr int kAcceptsPerTurn = 256;

} // namespace

TcpListener::TcpListener(QObject* parent)
    : QTcpServer(parent)
    , m_retry(new QTimer(this))
{
    m_retry->setSingleShot(true);
#ifdef Q_OS_UNIX
    connect(m_retry, &QTimer::timeout, this, [this] {
        if (m_notifier)
            m_notifier->setEnabled(true);
    });
#else
    connect(m_retry, &QTimer::timeout, this, &QTcpServer::resumeAccepting);
    // Elsewhere the server accepts itself, and pauses on any failure.
    connect(this, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::SocketResourceError)
            makeRoomLater();
        else
            acceptLater(kRetryMs);
    });
#endif
}

TcpListener::~TcpListener()
{
    close();
}

bool TcpListener::listen(const QHostAddress& address, quint16 port)
{
    close();
    if (!QTcpServer::listen(address, port))
        return false;
#ifdef Q_OS_UNIX
    // Qt's notifier stays off (only its own nextPendingConnection() would switch it on again); this
    // one takes over.
    pauseAccepting();
    m_notifier = new QSocketNotifier(socketDescriptor(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TcpListener::acceptWaiting);
#endif
    return true;
}

void TcpListener::close()
{
    m_retry->stop();
    delete m_notifier; // before the descriptor it watches is closed
    m_notifier = nullptr;
    for (QTcpSocket* socket : std::exchange(m_accepted, {}))
        delete socket; // as QTcpServer does with connections nobody took
    m_full = false;
    QTcpServer::close();
}

bool TcpListener::setDescriptorTaker(std::function<void(qintptr)> take)
{
#ifdef Q_OS_UNIX
    m_take = std::move(take);
    return true;
#else
    Q_UNUSED(take);
    return false;
#endif
}

bool TcpListener::hasPendingConnections() const
{
    return !m_accepted.empty() || QTcpServer::hasPendingConnections();
}

QTcpSocket* TcpListener::nextPendingConnection()
{
    if (m_accepted.empty())
        return QTcpServer::nextPendingConnection();
    QTcpSocket* socket = m_accepted.front();
    m_accepted.pop_front();
    if (std::exchange(m_full, false) && m_notifier && !m_retry->isActive())
        m_notifier->setEnabled(true);
    return socket;
}

int TcpListener::waitingConnections() const
{
#ifdef Q_OS_LINUX
    // On a listening socket the system reports the accept queue's length in place of unacknowledged
    // segments.
    tcp_info info{};
    socklen_t size = sizeof info;
    const auto descriptor = static_cast<int>(socketDescriptor());
    if (descriptor >= 0 && ::getsockopt(descriptor, IPPROTO_TCP, TCP_INFO, &info, &size) == 0)
        return static_cast<int>(info.tcpi_unacked);
#endif
    return -1;
}

void TcpListener::acceptWaiting()
{
#ifdef Q_OS_UNIX
    const auto listening = static_cast<int>(socketDescriptor());
    QPointer<TcpListener> guard(this);
    for (int turn = 0; turn < kAcceptsPerTurn && m_notifier; ++turn) {
        if (static_cast<int>(m_accepted.size()) >= maxPendingConnections()) {
            // The rest waits in the system's queue until someone takes these.
            m_full = true;
            m_notifier->setEnabled(false);
            return;
        }
#ifdef Q_OS_LINUX
        const int descriptor = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
#else
        const int descriptor = ::accept(listening, nullptr, nullptr);
        if (descriptor >= 0)
            ::fcntl(descriptor, F_SETFD, FD_CLOEXEC);
#endif
        if (descriptor >= 0) {
            if (m_take) {
                m_take(descriptor);
            } else {
                // As QTcpServer does: a socket joins the pending connections, then newConnection().
                auto* socket = new QTcpSocket(this);
                if (!socket->setSocketDescriptor(descriptor)) {
                    ::close(descriptor);
                    delete socket;
                    continue;
                }
                m_accepted.push_back(socket);
                emit newConnection();
            }
            if (!guard)
                return; // a consumer deleted it
            if (intoReserve(descriptor) && m_notifier) {
                makeRoomLater();
                return;
            }
            continue;
        }
        switch (errno) {
        case EINTR:
        case ECONNABORTED: // a client that gave up while waiting
        case EPROTO:
            continue;
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
            return;
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM:
            makeRoomLater();
            return;
        default:
            // Network errors the system passes on for a connection that failed: try again shortly.
            acceptLater(kRetryMs);
            return;
        }
    }
#endif
}

// The system hands out the lowest free descriptor, so every one below `descriptor` is in use.
bool TcpListener::intoReserve(int descriptor) const
{
#ifdef Q_OS_UNIX
    rlimit limit{};
    return m_reserved > 0 && ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
        && static_cast<rlim_t>(descriptor) + static_cast<rlim_t>(m_reserved) >= limit.rlim_cur;
#else
    Q_UNUSED(descriptor);
    return false;
#endif
}

// Descriptors the process could still open; INT_MAX where nothing tells.
int TcpListener::freeDescriptors() const
{
#ifdef Q_OS_UNIX
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return INT_MAX;
    const auto soft = static_cast<qint64>(std::min<rlim_t>(limit.rlim_cur, INT_MAX));
    const int lowest = ::fcntl(static_cast<int>(socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    if (lowest < 0)
        return 0;
    ::close(lowest);
#ifdef Q_OS_LINUX
    // Exactly: every open descriptor is listed (the listing's own included).
    if (DIR* listing = ::opendir("/proc/self/fd")) {
        qint64 open = -3; // ".", ".." and the listing
        while (::readdir(listing))
            ++open;
        ::closedir(listing);
        return static_cast<int>(std::max<qint64>(0, soft - open));
    }
#endif
    return static_cast<int>(soft - lowest); // at most this many
#else
    return INT_MAX;
#endif
}

void TcpListener::makeRoomLater()
{
#ifdef Q_OS_UNIX
    m_notifier->setEnabled(false);
#endif
    // Closing connections lets events run: that happens from the event loop, not from inside this
    // socket's own notification.
    QMetaObject::invokeMethod(this, &TcpListener::makeRoom, Qt::QueuedConnection);
}

void TcpListener::makeRoom()
{
    if (!isListening())
        return;
    // Room for the connections that wait, and the reserve whole again. (The system takes a
    // descriptor before it looks at the queue, so accepting fails for want of one even when nobody
    // waits.)
    const int queued = waitingConnections();
    const int waiting = queued < 0 ? 1 : queued;
    const int room = freeDescriptors() - m_reserved;
    int shed = 0;
    if (waiting > room) {
        QPointer<TcpListener> guard(this);
        shed = ConnectionShedder::instance().makeRoom(waiting - room);
        if (!guard || !isListening())
            return;
    }
    // Accepting resumes once there is room for one more, or (nobody waiting) the reserve is whole;
    // otherwise the waiting connections stay in the system's queue a little longer.
    acceptLater(room + shed >= std::min(waiting, 1) ? 0 : kRetryMs);
}

void TcpListener::acceptLater(int milliseconds)
{
#ifdef Q_OS_UNIX
    if (m_notifier)
        m_notifier->setEnabled(false);
#else
    pauseAccepting();
#endif
    m_retry->start(milliseconds);
}

} // namespace platform
