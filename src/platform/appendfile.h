#pragma once
// A text file that only ever grows by whole lines, for logs a person reads or a program replays. It
// writes only to a file of its own: one that is empty, new, or begins with the log's header line;
// anything else at the path (a person's notes, a FIFO, a device, a folder) is refused untouched. It is
// opened for appending, each line handed to the system in one write, a short write (disk full, file
// size limit) cut back so that the file ends with a complete line, and a log rotated away from its
// path (renamed, removed, replaced) noticed so that it can be opened again by that path.
//
// On POSIX systems the file is opened with O_APPEND, and SIGXFSZ is ignored so that a file size limit
// makes the write fail instead of killing the program.

#include <QByteArray>
#include <QString>

namespace platform {

class AppendFile
{
public:
    explicit AppendFile(QString path);
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    QString path() const { return m_path; }
    bool isOpen() const { return m_fd >= 0; }
    QString errorString() const { return m_error; }

    // Opens (creating) the regular file at the path. An unfinished last line (shorter than a few KiB),
    // left by a crash in mid-line, is cut off; `header` is written when the file is empty. False when
    // the file cannot be opened, is refused, or the header not written (errorString() says why).
    bool open(const QByteArray& header);
    void close();

    // Whether the last open() found something at the path that is not this log's: no regular file, or
    // a file that does not begin with `header`. It was left exactly as it was.
    bool refused() const { return m_refused; }

    // Appends `lines` (each ended by "\n") in one write, `header` in front of them when the file is
    // empty (new, or truncated by a rotation that copies and truncates). False when they are not all
    // in the file; whatever part of them got there has then been cut off again.
    bool append(const QByteArray& lines, const QByteArray& header);

    // Whether the path still leads to the open file: false once it was renamed, removed or replaced.
    bool stillAtPath() const;

private:
    bool writeWhole(const QByteArray& bytes);
    bool refuse(const QString& why);

    QString m_path;
    int m_fd = -1;
    QString m_error;
    qint64 m_cutPending = -1;      // a partial tail not cut yet: cut the file back to this size
    bool m_lineEndPending = false; // the file ends in a long unfinished line not written by us
    bool m_refused = false;
};

} // namespace platform
