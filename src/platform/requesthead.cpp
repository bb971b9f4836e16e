#include "requesthead.h"

#include <QList>

namespace platform {

namespace {

bool isBlank(char c)
{
    return c == '\r' || c == '\n' || c == ' ' || c == '\t' || c == '\v';
}

// A non-negative decimal number no larger than `max`; -1 for anything else (sign, spaces inside,
// no digits, overflow).
qint64 smallNumber(QByteArrayView text, qint64 max)
{
    if (text.isEmpty())
        return -1;
    qint64 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
        if (value > max)
            return -1;
    }
    return value;
}

} // namespace

qsizetype RequestHeadReader::take(QByteArrayView bytes)
{
    qsizetype used = 0;
    for (; used < bytes.size() && !m_ended; ++used) {
        const char c = bytes[used];
        if (m_head.isEmpty() && isBlank(c))
            continue;
        m_head.append(c);
        if (c == '\n' && (m_head.endsWith("\n\r\n") || m_head.endsWith("\n\n")))
            m_ended = true;
    }
    return used;
}

void RequestHeadReader::clear()
{
    m_head.clear();
    m_ended = false;
}

RequestHead parseRequestHead(QByteArrayView head, qint64 maxBody)
{
    RequestHead parsed;
    const QList<QByteArray> lines = head.toByteArray().split('\n');
    const QByteArray requestLine = lines.value(0).trimmed();
    parsed.http10 = requestLine.endsWith(" HTTP/1.0");
    bool closeAsked = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "connection") {
            const QByteArray tokens = value.toLower();
            parsed.keepAlive = parsed.keepAlive || tokens.contains("keep-alive");
            closeAsked = closeAsked || tokens.contains("close");
        } else if (name == "transfer-encoding") {
            parsed.chunked = parsed.chunked || value.toLower().contains("chunked");
        } else if (name == "content-length") {
            const qint64 length = smallNumber(value, maxBody);
            if (length < 0 || (parsed.contentLength != RequestHead::kNoLength && parsed.contentLength != length))
                parsed.badLength = true;
            else
                parsed.contentLength = length;
        }
    }
    parsed.keepAlive = parsed.keepAlive && !closeAsked;
    return parsed;
}

} // namespace platform
