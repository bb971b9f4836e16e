// Request matcher: the wildcard match agrees with a table-driven one on any pattern, and an arrival is
// a document request exactly when it begins "GET " and has " HTTP/1." plus one more character after that.
#include "checks.h"
#include "reference.h"

#include "core/web/request.h"

namespace fuzzcheck {

namespace {

bool plainlyDocumentRequest(QStringView text)
{
    if (!text.startsWith(u"GET "))
        return false;
    // " HTTP/1." may start at the fourth character at the earliest (the blank after GET is its own).
    for (qsizetype at = text.indexOf(u" HTTP/1.", 4); at >= 0; at = text.indexOf(u" HTTP/1.", at + 1)) {
        if (at + 8 < text.size())
            return true;
    }
    return false;
}

} // namespace

std::string request(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return {};
    const std::size_t patternLength = std::min<std::size_t>(data[0] % 24, size - 1);
    const QString pattern = QString::fromLatin1(reinterpret_cast<const char*>(data) + 1, qsizetype(patternLength));
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data) + 1 + patternLength,
                                             qsizetype(size - 1 - patternLength));

    if (web::matchesPattern(text, pattern) != referenceMatch(text, pattern))
        return "pattern " + describe(pattern) + " on " + describe(text) + ": got "
            + (web::matchesPattern(text, pattern) ? "match" : "no match");

    // The text as an arrival, as a map viewer (or anyone) might send it.
    const QString& arrival = text;
    if (web::isDocumentRequest(arrival) != plainlyDocumentRequest(arrival))
        return "arrival " + describe(arrival) + " judged " + (web::isDocumentRequest(arrival) ? "a request" : "no request");
    if (web::isDocumentRequest(arrival) != referenceMatch(arrival, u"GET * HTTP/1.?*"))
        return "arrival " + describe(arrival) + " disagrees with the table match";
    return {};
}

} // namespace fuzzcheck
