#include "livemap.h"

#include "platform/connectionguard.h"
#include "platform/httplistener.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QLoggingCategory>
#include <QTcpSocket>

#include <utility>
#include <vector>

namespace web {

namespace {

using Method = QHttpServerRequest::Method;
using Status = QHttpServerResponder::StatusCode;
using Headers = std::vector<std::pair<QByteArray, QByteArray>>;

bool isWebSocketUpgrade(const QHttpServerRequest& request)
{
    return request.value("connection").toLower().contains("upgrade")
        && request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0;
}

// Nothing here takes a body: the module has read it before the request reaches us.
bool hasBody(const QHttpServerRequest& request)
{
    return !request.body().isEmpty() || !request.value("transfer-encoding").isEmpty()
        || request.value("content-length").trimmed().toLongLong() > 0;
}

bool acceptsGzip(const QHttpServerRequest& request)
{
    return request.value("accept-encoding").toLower().contains("gzip");
}

bool wantsClose(const QHttpServerRequest& request)
{
    return request.value("connection").toLower().contains("close");
}

// Ends the connection once what was written has gone, as the listener ends the ones it refuses.
void closeAfterAnswer(QTcpSocket* socket, const QByteArray& answer = {})
{
    if (platform::ConnectionGuard* guard = platform::HttpListener::guardOf(socket)) {
        guard->finish(answer);
        return;
    }
    if (!answer.isEmpty())
        socket->write(answer);
    socket->disconnectFromHost();
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

bool LiveMap::listen(int port)
{
    auto* listener = new platform::HttpListener(this);
    if (!listener->listenOnPort(port)) {
        m_error = port < 1 || port > 65535 ? QStringLiteral("not a port from 1 to 65535") : listener->errorString();
        delete listener;
        return false;
    }
    bind(listener);
    m_listener = listener;
    return true;
}

bool LiveMap::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    // Not served here (the updates are an event stream): the module then calls missingHandler.
    if (isWebSocketUpgrade(request))
        return false;

    const auto answer = [&](Status status, const QByteArray& contentType, const QByteArray& body,
                            Headers headers = {}) {
        QHttpServerResponder responder = makeResponder(request, socket);
        responder.writeStatusLine(status);
        if (!contentType.isEmpty())
            responder.writeHeader("Content-Type", contentType);
        responder.writeHeader("Content-Length", QByteArray::number(body.size()));
        responder.writeHeader("X-Content-Type-Options", "nosniff");
        for (const auto& [name, value] : headers)
            responder.writeHeader(name, value);
        const bool close = wantsClose(request);
        if (close)
            responder.writeHeader("Connection", "close");
        responder.writeBody(request.method() == Method::Head ? QByteArray() : body);
        if (close)
            closeAfterAnswer(socket);
    };

    const Method method = request.method();
    if (method != Method::Get && method != Method::Head) {
        answer(Status::MethodNotAllowed, "text/plain; charset=utf-8", "Only GET and HEAD are served here.\n",
               {{"Allow", "GET, HEAD"}});
        return true;
    }
    if (hasBody(request)) {
        closeAfterAnswer(socket, platform::ConnectionGuard::closingAnswer(413, "Payload Too Large"));
        return true;
    }

    const QString path = request.url().path();
    if (path == QStringLiteral("/status.json")) {
        answer(Status::Ok, "application/geo+json", m_status(), {{"Cache-Control", "no-store"}});
        return true;
    }
    if (path == QStringLiteral("/live")) {
        // An open-ended stream: no length, the events follow as they come.
        QHttpServerResponder responder = makeResponder(request, socket);
        responder.writeStatusLine(Status::Ok);
        responder.writeHeader("Content-Type", "text/event-stream");
        responder.writeHeader("Cache-Control", "no-store");
        responder.writeHeader("X-Content-Type-Options", "nosniff");
        responder.writeBody(QByteArray());
        if (method == Method::Head)
            closeAfterAnswer(socket);
        else
            m_feed.subscribe(socket);
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
    closeAfterAnswer(socket, platform::ConnectionGuard::closingAnswer(404, "Not Found"));
}

} // namespace web
