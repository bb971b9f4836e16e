#pragma once
// Every connection the station holds is an open file. The usual soft limit of 1,024 would let a
// port scanner or a handful of misbehaving clients use up all of them, so the station raises its soft
// limit towards the hard one at start-up, as far as it can use.

#include <QtGlobal>

namespace platform {

// One descriptor per channel (channel indices are 16-bit) and room for everything else the process
// holds: listening sockets, the serial line, the toolkit's own files and connections still closing.
constexpr qint64 kWantedOpenFiles = 32767 + 1024;

// A soft and a hard limit; kUnlimited stands for no limit.
struct OpenFileLimit
{
    static constexpr qint64 kUnlimited = -1;
    qint64 soft = 0;
    qint64 hard = 0;
};

// The soft limit to ask for: up to `wanted`, never above the hard limit, never below `current.soft`.
qint64 chosenSoftLimit(OpenFileLimit current, qint64 wanted = kWantedOpenFiles);

// The process's limits now (both 0 where the system has no such limit).
OpenFileLimit currentOpenFileLimit();

// Raises the process's soft open-file limit to chosenSoftLimit() and says on standard error (one line)
// when the system refuses, and, with `reportShortfall`, when the hard limit keeps it below `wanted`.
// Returns the limits in force afterwards (both 0 where the system has no such limit).
OpenFileLimit raiseOpenFileLimit(qint64 wanted = kWantedOpenFiles, bool reportShortfall = true);

} // namespace platform
