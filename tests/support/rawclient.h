#pragma once
// Plain loopback client sockets, for tests that hold thousands of connections or must send bytes
// without running the event loop (the bytes then wait unread at the server's end), and that need to
// tell a clean end-of-stream from a reset.

#include <QByteArray>
#include <QtGlobal>

#include <vector>

namespace testsupport {

class RawClient
{
public:
    // Connects (blocking) to 127.0.0.1:port; isOpen() is false when that failed.
    explicit RawClient(quint16 port);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool send(const QByteArray& bytes) const;
    // Ends our side (a half-close): the server sees the end of the request stream, we still read.
    void endSending() const;

    // What the connection shows now, without waiting or consuming anything.
    enum class Seen { Nothing, Bytes, Ended, Reset };
    Seen peek() const;

    // Everything until the server's end-of-stream, or until the time runs out, running the event loop
    // meanwhile; `reset` tells whether it ended in a reset instead.
    QByteArray readUntilEnd(int timeoutMs, bool* reset = nullptr) const;

private:
    int m_fd = -1;
};

// Raises this process's soft open-file limit to at least `needed` where the hard limit allows it;
// false when it does not.
bool allowOpenFiles(int needed);

// Takes every free descriptor below a limit just above the ones open now, but `spare`: the next
// `spare` sockets still open, then the process (both ends of a loopback test) is out of descriptors.
// Everything is given back on destruction.
class DescriptorsUsedUp
{
public:
    explicit DescriptorsUsedUp(int spare);
    ~DescriptorsUsedUp();
    DescriptorsUsedUp(const DescriptorsUsedUp&) = delete;
    DescriptorsUsedUp& operator=(const DescriptorsUsedUp&) = delete;

    bool ok() const { return m_ok; }
    // Gives `count` descriptors back (all with a negative count).
    void release(int count = -1);

private:
    std::vector<int> m_held;
    qint64 m_savedSoft = 0;
    bool m_ok = false;
};

// Descriptors this process has open.
int openDescriptors();

} // namespace testsupport
