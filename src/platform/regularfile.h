#pragma once
// Files the station reads and writes as its own (the settings file, the bearing log) are regular files.
// Whatever else an operator or an accident puts at such a path (a FIFO, a device, a folder, a socket, or
// a link to one of them) is looked at without being opened: opening a FIFO waits for a writer, and a
// device such as /dev/zero never ends. Reads are bounded, so even a huge regular file costs little.

#include <QByteArray>
#include <QString>

namespace platform {

// Enough for any file the station keeps (its settings file holds a few hundred bytes).
inline constexpr qint64 kSmallFileBound = 64 * 1024;

// What is wrong with `path` as a file of the station's own: empty when it leads to a regular file or to
// nothing at all; otherwise a sentence naming the path and what stands there, such as
// "/srv/Tarnvale_Demo.ini is a FIFO, not a regular file" or
// "/srv/Tarnvale_Demo.ini leads to /dev/zero, a character device, not a regular file".
QString notRegularFile(const QString& path);

struct SmallFile
{
    enum class Status {
        Read,       // `content` holds the file's first bytes (all of them up to the bound)
        Missing,    // nothing at the path (a link that leads nowhere included)
        NotRegular, // something that is no regular file: `problem` says what, and it was not opened
        Unreadable, // a regular file that cannot be opened or read: `problem` gives the system's reason
    };
    Status status = Status::Missing;
    QByteArray content;
    QString problem;
};

// Reads at most `bound` bytes of the regular file at `path`, never blocking on anything else there.
SmallFile readSmallFile(const QString& path, qint64 bound = kSmallFileBound);

} // namespace platform
