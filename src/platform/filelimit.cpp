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
    if (reportShortfall && after.hard != OpenFileLimit::kUnlimited && after.hard < wanted) {
        logEvent(QStringLiteral("Open-file limit: the hard limit of %1 is below the %2 open files the station "
                                "may need for its connections; raise it (ulimit -Hn, systemd LimitNOFILE=)")
                     .arg(after.hard)
                     .arg(wanted));
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
