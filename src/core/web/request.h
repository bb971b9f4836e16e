#pragma once
// What a request arrival is answered with: the test that picks the document response, and the two
// response headers. Plain functions, so they can be checked without sockets.

#include <QString>
#include <QStringView>

namespace web {

// The name the server gives in every response.
inline constexpr char kServerName[] = "Tarnvale DF Demo WebServer V 1.0";

// Whether `text` matches `pattern` as a whole: "*" stands for any run of characters (empty, or
// holding line ends), "?" for exactly one character, anything else for itself, case significant.
bool matchesPattern(QStringView text, QStringView pattern);

// A GET request line of HTTP version 1.x, judged on this arrival alone: "GET * HTTP/1.?*".
bool isDocumentRequest(QStringView arrival);

// Header of the document response for a body of `bodyLength` characters.
QString documentHeader(qint32 bodyLength);

// The whole error response (header only, no body).
QString errorHeader();

} // namespace web
