#include "request.h"

#include "platform/numbertext.h"

#include <QStringBuilder>

namespace web {

bool matchesPattern(QStringView text, QStringView pattern)
{
    // Greedy match that returns to the last "*" on a mismatch: linear in the text for a pattern with
    // a single trailing run, and never recursive, whatever a client sends.
    qsizetype t = 0;
    qsizetype p = 0;
    qsizetype starAt = -1;
    qsizetype resumeAt = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starAt = p++;
            resumeAt = t;
        } else if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (starAt >= 0) {
            p = starAt + 1;
            t = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

bool isDocumentRequest(QStringView arrival)
{
    return matchesPattern(arrival, u"GET * HTTP/1.?*");
}

// Made for every request: each header is put together in a single allocation.
QString documentHeader(qint32 bodyLength)
{
    return QStringLiteral("HTTP/1.0 200 OK\r\nServer: ") % QLatin1String(kServerName)
        % QStringLiteral("\r\nContent-Type: */*\r\nContent-Length: ") % platform::numberText(bodyLength)
        % QStringLiteral("\r\n\r\n");
}

QString errorHeader()
{
    return QStringLiteral("HTTP/1.0 Error 404 : File Not Found\r\nServer: ") % QLatin1String(kServerName)
        % QStringLiteral("\r\n\r\n");
}

} // namespace web
