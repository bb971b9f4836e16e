#include "filelimit.h"

#include "eventlog.h"

#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace platform {

qint64 chosenSoftLimit(OpenFileLimit current, qint64 wanted)
{
    if (current.soft == OpenFileLimit::kUnlimited)
        return current.soft;
    const qint64 ceiling = current.hard == OpenFileLimit::kUnlimited ? wanted : std::min(current.hard, wanted);
    return std::max(current.soft, ceiling);
}

#ifdef Q_OS_UNIX

namespace {

qint64 fromRlim(rlim_t value)
{
    return value == RLIM_INFINITY ? OpenFileLimit::kUnlimited : static_cast<qint64>(value);
}

rlim_t toRlim(qint64 value)
{
    return value == OpenFileLimit::kUnlimited ? RLIM_INFINITY : static_cast<rlim_t>(value);
}

} // namespace

OpenFileLimit currentOpenFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return {};
    return {fromRlim(limit.rlim_cur), fromRlim(limit.rlim_max)};
}

OpenFileLimit raiseOpenFileLimit(qint64 wanted, bool reportShortfall)
{
    const OpenFileLimit before = currentOpenFileLimit();
    const qint64 soft = chosenSoftLimit(before, wanted);
    if (soft != before.soft) {
        const rlimit raised{toRlim(soft), toRlim(before.hard)};
        if (::setrlimit(RLIMIT_NOFILE, &raised) != 0) {
            logEvent(QStringLiteral("Open-file limit stays at %1: raising it to %2 failed (%3)")
                         .arg(before.soft)
                         .arg(soft)
                         .arg(QString::fromLocal8Bit(std::strerror(errno))));
            return currentOpenFileLimit();
        }
    }
    const OpenFileLimit after = currentOpenFileLimit();
    // Below a few thousand a busy station turns connections away; above, a lower hard limit than
    // `wanted` is a machine's ordinary setting and not worth a line at every start.
    constexpr qint64 kWorthALine = 4096;
    // What the process holds besides connections (the toolkit's files, the listeners, the serial line,
    // connections still closing) and the descriptors the listener keeps in reserve.
    constexpr qint64 kHeldBesides = 64;
    if (reportShortfall && after.hard != OpenFileLimit::kUnlimited && after.hard < std::min(wanted, kWorthALine)) {
        logEvent(QStringLiteral("Open-file limit: the hard limit of %1 open files lets the station serve about %2 "
                                "connections at once; raise it for more (ulimit -Hn, systemd LimitNOFILE=)")
                     .arg(after.hard)
                     .arg(std::max<qint64>(0, after.hard - kHeldBesides)));
    }
    return after;
}

#else

OpenFileLimit currentOpenFileLimit()
{
    return {};
}

OpenFileLimit raiseOpenFileLimit(qint64, bool)
{
    return {};
}

#endif

} // namespace platform
