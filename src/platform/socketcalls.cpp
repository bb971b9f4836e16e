#include "socketcalls.h"

#include <QTcpSocket>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace platform {

bool bytesWaitingInSystem(int descriptor)
{
    if (descriptor < 0)
        return false;
    char byte = 0;
#ifdef Q_OS_WIN
    return ::recv(static_cast<SOCKET>(descriptor), &byte, 1, MSG_PEEK) > 0;
#else
    return ::recv(descriptor, &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
#endif
}

bool bytesWaitingInSystem(const QTcpSocket* socket)
{
    return bytesWaitingInSystem(static_cast<int>(socket->socketDescriptor()));
}

void shutdownSending(int descriptor)
{
    if (descriptor < 0)
        return;
#ifdef Q_OS_WIN
    ::shutdown(static_cast<SOCKET>(descriptor), SD_SEND);
#else
    ::shutdown(descriptor, SHUT_WR);
#endif
}

void shutdownSending(const QTcpSocket* socket)
{
    shutdownSending(static_cast<int>(socket->socketDescriptor()));
}

#ifndef Q_OS_WIN
namespace {

Transfer failure()
{
    switch (errno) {
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
        return Transfer::WouldBlock;
    case ECONNRESET:
    case EPIPE:
        return Transfer::PeerGone;
    default:
        return Transfer::Failed;
    }
}

// One system call that moves bytes, tried again when a signal interrupts it.
template <typename Call>
Transfer moveBytes(Call call, qint64& moved)
{
    moved = 0;
    for (;;) {
        const ssize_t done = call();
        if (done >= 0) {
            moved = done;
            return Transfer::Moved;
        }
        if (errno != EINTR)
            return failure();
    }
}

} // namespace
#endif

Transfer receiveSome(int descriptor, char* into, qint64 size, qint64& moved)
{
#ifdef Q_OS_WIN
    Q_UNUSED(descriptor);
    Q_UNUSED(into);
    Q_UNUSED(size);
    moved = 0;
    return Transfer::Failed;
#else
    return moveBytes([&] { return ::recv(descriptor, into, static_cast<size_t>(size), MSG_DONTWAIT); }, moved);
#endif
}

Transfer sendSome(int descriptor, const char* from, qint64 size, qint64& moved)
{
#ifdef Q_OS_WIN
    Q_UNUSED(descriptor);
    Q_UNUSED(from);
    Q_UNUSED(size);
    moved = 0;
    return Transfer::Failed;
#else
    return moveBytes([&] { return ::send(descriptor, from, static_cast<size_t>(size), MSG_DONTWAIT | MSG_NOSIGNAL); },
                     moved);
#endif
}

void closeDescriptor(int descriptor)
{
#ifdef Q_OS_WIN
    ::closesocket(static_cast<SOCKET>(descriptor));
#else
    ::close(descriptor);
#endif
}

} // namespace platform
