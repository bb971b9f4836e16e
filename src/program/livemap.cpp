#include "livemap.h"

#include "platform/connectionguard.h"
#include "platform/httplistener.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QLoggingCategory>

#include <utility>
#include <vector>

namespace web {

namespace {

using Method = QHttpServerRequest::Method;
using Status = QHttpServerResponder::StatusCode;
using Headers = std::vector<std::pair<QByteArray, QByteArray>>;

const QByteArray kNoStore = QByteArrayLiteral("no-store");
// What is served before the station gives its own: no fix (there is no line to cross), no bearings.
const QByteArray kNoFixJson = QByteArrayLiteral(R"({"type":"FeatureCollection","features":[],"reason":"one line","lines":0})");
const QByteArray kNoFixKml = QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                               "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
                                               "<Document>\n</Document>\n</kml>\n");
const QByteArray kNoHistory = QByteArrayLiteral(R"({"minutes":30,"bearings":[]})");

bool isWebSocketUpgrade(const QHttpServerRequest& request)
{
    return request.value("connection").toLower().contains("upgrade")
        && request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0;
}

// Nothing here takes a body: the module has read it before the request reaches us. (A length that
// is no number at all the listener has answered 400.)
bool hasBody(const QHttpServerRequest& request)
{
    const QByteArray length = request.value("content-length").trimmed();
    return !request.body().isEmpty() || !request.value("transfer-encoding").isEmpty()
        || (!length.isEmpty() && length.toLongLong() != 0);
}

bool acceptsGzip(const QHttpServerRequest& request)
{
    return request.value("accept-encoding").toLower().contains("gzip");
}

bool wantsClose(const QHttpServerRequest& request)
{
    return request.value("connection").toLower().contains("close");
}

QByteArray reasonPhrase(Status status)
{
    switch (status) {
    case Status::Ok:
        return "OK";
    case Status::NotFound:
        return "Not Found";
    case Status::MethodNotAllowed:
        return "Method Not Allowed";
    case Status::ServiceUnavailable:
        return "Service Unavailable";
    default:
        return {};
    }
}

// The module's responder always writes "HTTP/1.1": the status line and head are written here, in
// the request's own version, with the same bytes the responder writes otherwise.
QByteArray answerHead(bool http10, Status status, const Headers& headers)
{
    QByteArray head = http10 ? QByteArrayLiteral("HTTP/1.0 ") : QByteArrayLiteral("HTTP/1.1 ");
    head += QByteArray::number(static_cast<int>(status)) + ' ' + reasonPhrase(status) + "\r\n";
    for (const auto& [name, value] : headers)
        head += name + ": " + value + "\r\n";
    return head + "\r\n";
}

} // namespace

LiveMap::LiveMap(std::function<QByteArray()> status, MapAssets assets, QObject* parent)
    : QAbstractHttpServer(parent)
    , m_status(std::move(status))
    , m_assets(std::move(assets))
    , m_feed(m_status)
{
    // The module warns once per WebSocket request it cannot hand on: a client could fill the log.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.httpserver.warning=false"));
}

LiveMap::~LiveMap() = default;

void LiveMap::setFixDocuments(std::function<QByteArray()> json, std::function<QByteArray()> kml)
{
    m_fixJson = std::move(json);
    m_fixKml = std::move(kml);
    m_feed.setFix(m_fixJson);
}

void LiveMap::setHistory(std::function<QByteArray()> json)
{
    m_history = std::move(json);
}

std::optional<MapAsset> LiveMap::document(const QString& path) const
{
    const auto now = [](const std::function<QByteArray()>& given, const QByteArray& otherwise) {
        return given ? given() : otherwise;
    };
    if (path == QStringLiteral("/status.json"))
        return MapAsset{m_status(), "application/geo+json", kNoStore};
    if (path == QStringLiteral("/fix.json"))
        return MapAsset{now(m_fixJson, kNoFixJson), "application/geo+json", kNoStore};
    if (path == QStringLiteral("/fix.kml"))
        return MapAsset{now(m_fixKml, kNoFixKml), "application/vnd.google-earth.kml+xml", kNoStore};
    if (path == QStringLiteral("/history.json"))
        return MapAsset{now(m_history, kNoHistory), "application/json", kNoStore};
    return std::nullopt;
}

bool LiveMap::listen(int port)
{
    auto* listener = new platform::HttpListener(this);
    if (!listener->listenOnPort(port)) {
        m_error = !platform::connection::isPort(port) ? QStringLiteral("not a port from 1 to 65535") : listener->errorString();
        delete listener;
        return false;
    }
    bind(listener);
    m_listener = listener;
    m_feed.setListener(listener);
    return true;
}

bool LiveMap::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    // Not served here (the updates are an event stream): the module then calls missingHandler.
    if (isWebSocketUpgrade(request))
        return false;

    // The module is bound to the listener alone (listen()), so every request comes on one of its
    // connections, which the listener writes to and closes.
    const platform::ConnectionId connection = m_listener ? m_listener->connectionOf(socket) : 0;
    if (connection == 0)
        return true;
    platform::HttpListener& listener = *m_listener;

    // HTTP/1.0 is answered in kind and closed after its answer unless it asked to keep the connection
    // (which the answer then confirms); HTTP/1.1 is kept unless it asked to close.
    const bool http10 = listener.isHttp10(connection);
    const bool keptHttp10 = http10 && listener.keepAliveAsked(connection);
    const Method method = request.method();

    const auto answer = [&](Status status, const QByteArray& contentType, const QByteArray& body, Headers extra = {},
                            bool close = false) {
        Headers headers;
        if (!contentType.isEmpty())
            headers.push_back({"Content-Type", contentType});
        headers.push_back({"Content-Length", QByteArray::number(body.size())});
        headers.push_back({"X-Content-Type-Options", "nosniff"});
        headers.insert(headers.end(), extra.begin(), extra.end());
        close = close || (http10 ? !keptHttp10 : wantsClose(request));
        if (close)
            headers.push_back({"Connection", "close"});
        else if (keptHttp10)
            headers.push_back({"Connection", "keep-alive"});
        listener.write(connection, answerHead(http10, status, headers) + (method == Method::Head ? QByteArray() : body));
        if (close)
            listener.close(connection);
    };

    if (method != Method::Get && method != Method::Head) {
        answer(Status::MethodNotAllowed, "text/plain; charset=utf-8", "Only GET and HEAD are served here.\n",
               {{"Allow", "GET, HEAD"}});
        return true;
    }
    if (hasBody(request)) {
        listener.close(connection, platform::ConnectionGuard::closingAnswer(413, "Payload Too Large", http10));
        return true;
    }

    const QString path = request.url().path();
    if (const std::optional<MapAsset> current = document(path)) {
        answer(Status::Ok, current->contentType, current->body, {{"Cache-Control", current->cacheControl}});
        return true;
    }
    if (path == QStringLiteral("/live")) {
        if (method == Method::Get && !listener.startStream(connection)) {
            // Every stream in use: the page asks for the status once a second meanwhile.
            answer(Status::ServiceUnavailable, "text/plain; charset=utf-8",
                   "Every live stream is in use: ask /status.json, or try again shortly.\n",
                   {{"Retry-After", QByteArray::number(kStreamRetrySeconds)}}, true);
            return true;
        }
        // An open-ended stream: no length, the events follow as they come.
        listener.write(connection, answerHead(http10, Status::Ok,
                                              {{"Content-Type", "text/event-stream"},
                                               {"Cache-Control", "no-store"},
                                               {"X-Content-Type-Options", "nosniff"}}));
        if (method == Method::Head)
            listener.close(connection);
        else
            m_feed.subscribe(connection);
        return true;
    }
    if (const std::optional<MapAsset> asset = m_assets.find(path, acceptsGzip(request))) {
        Headers headers{{"Cache-Control", asset->cacheControl}};
        if (asset->gzipped)
            headers.push_back({"Content-Encoding", "gzip"});
        if (path.startsWith(QStringLiteral("/leaflet/")) && !path.endsWith(QStringLiteral(".png")))
            headers.push_back({"Vary", "Accept-Encoding"});
        answer(Status::Ok, asset->contentType, asset->body, std::move(headers));
        return true;
    }
    answer(Status::NotFound, "text/plain; charset=utf-8", "Not found.\n");
    return true;
}

// Only requests this map does not serve at all end here (WebSocket upgrades).
void LiveMap::missingHandler(const QHttpServerRequest&, QTcpSocket* socket)
{
    if (const platform::ConnectionId connection = m_listener ? m_listener->connectionOf(socket) : 0) {
        m_listener->close(connection,
                          platform::ConnectionGuard::closingAnswer(404, "Not Found", m_listener->isHttp10(connection)));
    }
}

} // namespace web
