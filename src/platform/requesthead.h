#pragma once
// What the connection guard needs to know of a request head before the HTTP server module reads it:
// where the head ends, the protocol version it asks in, whether it asks to keep the connection, and
// the body it announces.

#include <QByteArray>
#include <QByteArrayView>

namespace platform {

struct RequestHead
{
    static constexpr qint64 kNoLength = -1;

    bool http10 = false;       // "HTTP/1.0" in the request line: answered in kind
    bool keepAlive = false;    // "Connection: keep-alive"
    bool chunked = false;      // "Transfer-Encoding: chunked": a body of unknown length follows
    qint64 contentLength = kNoLength;
    bool badLength = false;    // a Content-Length that is no small non-negative number
};

// Collects one request head from bytes as they come, skipping the blank lines lax clients send between
// requests. A head ends at its first empty line (CR LF CR LF, LF LF, or a mix of the two).
class RequestHeadReader
{
public:
    // Takes bytes until the head ends; returns how many of `bytes` belong to it (the rest is a body
    // or the next request). Call ended() afterwards.
    qsizetype take(QByteArrayView bytes);
    bool ended() const { return m_ended; }
    // The head so far; once ended, without its blank line.
    const QByteArray& bytes() const { return m_head; }
    void clear();

private:
    QByteArray m_head;
    bool m_ended = false;
};

// Reads the head's request line and fields. A Content-Length must be digits only and at most
// `maxBody`; several must agree.
RequestHead parseRequestHead(QByteArrayView head, qint64 maxBody);

} // namespace platform
